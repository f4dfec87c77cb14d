// Base64 decoders on arbitrary input: no crash, no undefined behaviour; what the strict decoder
// accepts, the lenient one decodes the same way once line ends are removed (the lenient rules
// count a lone LF as data); and encoding what was decoded round-trips.
#include <cstdint>
#include <cstdlib>

#include "ombrak/encoding/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ombrak::encoding;
    std::span<const std::uint8_t> in(data, size);
    ombrak::Bytes lenient;
    bool any = base64_decode_lenient(in, lenient);
    auto strict = base64_decode_strict(in);
    if (strict && !strict->empty()) {
        std::string clean;
        for (std::uint8_t c : in)
            if (c != '\r' && c != '\n') clean.push_back(static_cast<char>(c));
        ombrak::Bytes relaxed;
        base64_decode_lenient(
            std::span(reinterpret_cast<const std::uint8_t*>(clean.data()), clean.size()), relaxed);
        if (relaxed != *strict) std::abort();
    }
    (void)any;
    std::u16string wide(reinterpret_cast<const char16_t*>(data), size / 2);
    ombrak::Bytes from_wide;
    base64_decode_lenient(wide, from_wide);
    std::string again = base64_encode_lines(lenient);
    ombrak::Bytes back;
    if (!lenient.empty() &&
        (!base64_decode_lenient(
             std::span(reinterpret_cast<const std::uint8_t*>(again.data()), again.size()), back) ||
         back != lenient))
        std::abort();
    return 0;
}
