// DecodeByte on arbitrary containers: it decodes or raises the identification error, the
// checksum error or error 9, always with the array unchanged; DecodeFile of the same bytes ends
// the same way with the same data; what decodes compresses back to a container that decodes to
// it again. The input itself goes through EncodeByte and back too. Inputs of odd length run with
// a progress sink connected and 12000 zero bytes after them, so decoding passes the container
// positions where the data pass reports progress.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "ombrak/encoding/huffman_class.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/object.h"
#include "ombrak/frame/platform.h"
#include "ombrak/frame/text.h"
#include "sandbox.h"

namespace {

using namespace ombrak;

[[noreturn]] void broken() {
    std::abort();
}

struct Outcome {
    std::optional<Bytes> data;  // the decoded bytes, or
    std::int32_t number = 0;    // the error
    std::string source;
};

bool operator==(const Outcome& a, const Outcome& b) {
    return a.data == b.data && a.number == b.number && a.source == b.source;
}

Outcome decode(clsKvVeskEncDecHuffmanA& h, const Bytes& container) {
    Bytes b = container;
    auto n = static_cast<std::int32_t>(b.size());
    try {
        h.DecodeByte(b, n);
        return {b, 0, {}};
    } catch (const Error& e) {
        if (b != container) broken();
        const bool known =
            (e.number() == kObjectErrorBase &&
             (e.source() == "HuffmanDecode()" || e.source() == "clsHuffman.Decode()")) ||
            e.number() == 9;
        if (!known) broken();
        return {std::nullopt, e.number(), e.source()};
    }
}

Bytes read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes input(data, data + size);
    clsKvVeskEncDecHuffmanA h;
    if (size % 2) {
        input.resize(size + 12000, 0);
        h.connect(make_host_object(
            [](std::string_view, MemberKind, std::span<ArgRef>) { return Variant(); }));
    }

    const Outcome memory = decode(h, input);

    // The same bytes as a file, streamed in pieces.
    const std::string src = fuzz::sandbox() + "/container", out = fuzz::sandbox() + "/decoded";
    {
        std::ofstream f(src, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(input.data()),
                static_cast<std::streamsize>(input.size()));
    }
    std::filesystem::remove(out);
    Outcome file;
    Text s = utf8_to_text(src), o = utf8_to_text(out);
    try {
        h.DecodeFile(s, o);
        file.data = read_file(out);
    } catch (const Error& e) {
        if (std::filesystem::exists(out)) broken();  // a failure writes nothing
        file.number = e.number();
        file.source = e.source();
    }
    if (!(file == memory)) broken();

    // What decoded compresses back to a container that decodes to it.
    if (memory.data) {
        Bytes again = *memory.data;
        auto n = static_cast<std::int32_t>(again.size());
        h.EncodeByte(again, n);
        const Outcome round = decode(h, again);
        if (round.data != memory.data) broken();
    }

    // The input as data: compressed, then decompressed.
    Bytes packed = input;
    auto n = static_cast<std::int32_t>(packed.size());
    h.EncodeByte(packed, n);
    if (decode(h, packed).data != input) broken();
    return 0;
}
