// RC4's DecryptByte on arbitrary data under arbitrary keys: a keyless object raises error 5 and
// leaves the data; otherwise the length is kept, a second call restores the data, and the string
// and file operations (raw and Base64) agree with it.
//
// Input: byte 0 bit 0 selects Base64 input for the string and file checks; byte 1 is the key's
// length in UTF-16 units, which follow little-endian; the rest is the data.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "keyed_input.h"
#include "ombrak/ciphers/classes.h"
#include "ombrak/encoding/base64.h"
#include "ombrak/frame/files.h"
#include "sandbox.h"

namespace {

using namespace ombrak;

[[noreturn]] void broken() {
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto input = fuzz::keyed_input(data, size);
    if (!input) return 0;
    const Text& key = input->key;
    const Bytes& rest = input->data;
    const bool base64 = input->selector & 1;

    clsKvVeskEncDecRC4A c;
    Bytes bytes = rest;
    Text k = key;
    try {
        c.DecryptByte(bytes, k);
    } catch (const Error& e) {
        if (!key.empty() || e.number() != 5 || bytes != rest) broken();
        return 0;  // no key ever applied
    }
    if (key.empty()) broken();
    if (bytes.size() != rest.size()) broken();
    Bytes again = bytes;
    Text none;
    c.DecryptByte(again, none);
    if (again != rest) broken();

    // The string operation on the same bytes, raw or as Base64 text.
    const std::string b64 = encoding::base64_encode_lines(rest);
    Text text = base64 ? ascii_to_text(b64) : ansi_to_text(rest), k2;
    bool in64 = base64;
    try {
        if (c.DecryptString(text, k2, in64) != ansi_to_text(bytes)) broken();
    } catch (const Error& e) {
        if (!base64 || !rest.empty() || e.number() != 5) broken();
    }

    // The file operation streams the same bytes.
    const std::string in = fuzz::sandbox() + "/in", out = fuzz::sandbox() + "/out";
    {
        std::ofstream f(in, std::ios::binary | std::ios::trunc);
        if (base64)
            f << b64;
        else
            f.write(reinterpret_cast<const char*>(rest.data()),
                    static_cast<std::streamsize>(rest.size()));
    }
    std::remove(out.c_str());
    Text i = utf8_to_text(in), o = utf8_to_text(out), k3;
    bool yes = true, file64 = base64;
    const bool written = c.DecryptFile(i, o, yes, k3, file64);
    if (written != !(base64 && rest.empty())) broken();
    if (written) {
        std::ifstream f(out, std::ios::binary);
        if (Bytes(std::istreambuf_iterator<char>(f), {}) != bytes) broken();
    }
    return 0;
}
