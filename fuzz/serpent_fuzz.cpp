// Serpent's DecryptString on arbitrary texts under arbitrary keys: it never raises, gives one
// character per ciphertext byte, agrees with the tool's streaming path, and on whole blocks
// EncryptString undoes it.
//
// Input: byte 0 bit 0 selects Base64 input; byte 1 is the key's length in UTF-16 units, which
// follow little-endian; the rest is the ciphertext's bytes (or its Base64 text).
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "keyed_input.h"
#include "ombrak/ciphers/classes.h"
#include "ombrak/encoding/base64_class.h"
#include "ombrak/frame/files.h"
#include "sandbox.h"

namespace {

using namespace ombrak;

[[noreturn]] void broken() {
    std::abort();
}

// A streaming input over bytes: an unnamed file in the sandbox's file system.
files::Input input_of(const Bytes& data, int& fd) {
    const std::string path = fuzz::sandbox() + "/stream";
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) broken();
    if (!data.empty() && ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size()))
        broken();
    ::lseek(fd, 0, SEEK_SET);
    return files::Input::standard(fd);
}

struct Collect final : files::Sink {
    Bytes data;
    using files::Sink::write;
    void write(std::span<const std::uint8_t> d) override {
        data.insert(data.end(), d.begin(), d.end());
    }
    int error() const noexcept override { return 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto input = fuzz::keyed_input(data, size);
    if (!input) return 0;
    const Text& key = input->key;
    const Bytes& rest = input->data;
    const bool base64 = input->selector & 1;

    clsKvVeskEncDecSerpentA c;
    Text text = ansi_to_text(rest), k = key;
    bool b64 = base64;
    const Text plain = c.DecryptString(text, k, b64);  // never raises

    // The ciphertext it worked on: the decoded text written back, or the text as it came when
    // it held no Base64 data.
    Bytes cipher = ansi_from_text(text);
    if (plain.size() != cipher.size()) broken();
    if (base64) {
        Bytes expected = rest;
        try {
            expected = decode_array64(ansi_to_text(rest));
        } catch (const Error& e) {
            if (e.number() != 5) broken();
        }
        if (cipher != expected) broken();
    }

    // The streaming path on the same ciphertext bytes.
    int fd = -1;
    files::Input in = input_of(cipher, fd);
    Collect out;
    c.crypt_stream(key, true, in, cipher.size(), false, out, false);
    ::close(fd);
    if (ansi_to_text(out.data) != plain) broken();

    // Whole blocks: encryption undoes decryption exactly.
    if (!cipher.empty() && cipher.size() % 16 == 0) {
        Text p = plain, k2 = key;
        bool no = false;
        if (c.EncryptString(p, k2, no) != ansi_to_text(cipher)) broken();
    }
    return 0;
}
