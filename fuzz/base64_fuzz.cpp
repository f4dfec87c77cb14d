// Base64 decoders on arbitrary input: no crash, no undefined behaviour. The lenient decoder in
// pieces (cut where the input says) equals the whole-buffer one, and the counter predicts its
// length; what the strict decoder accepts, the lenient one decodes the same way once line ends
// are removed (the lenient rules count a lone LF as data); encoding what was decoded and
// decoding it again gives it back.
#include <cstdint>
#include <cstdlib>

#include "ombrak/encoding/base64.h"

namespace {
using namespace ombrak;
using namespace ombrak::encoding;

Bytes in_pieces(Base64Decoder& d, std::span<const std::uint8_t> in, Base64DataCounter* counter) {
    Bytes out(Base64Decoder::capacity(in.size()) + 3);
    std::size_t n = 0, at = 0, cut = in.empty() ? 1 : in[0] % 37 + 1;
    while (at < in.size()) {
        auto piece = in.subspan(at, std::min(cut, in.size() - at));
        n += d.update(piece, out.data() + n);
        if (counter) counter->update(piece);
        at += piece.size();
        cut = cut * 7 % 41 + 1;
    }
    n += d.finish(out.data() + n);
    out.resize(n);
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> in(data, size);
    Bytes lenient;
    const bool any = base64_decode_lenient(in, lenient);
    Base64Decoder pieces;
    Base64DataCounter counter;
    Bytes piecewise = in_pieces(pieces, in, &counter);
    if (pieces.any() != any || (any && piecewise != lenient)) std::abort();
    if (counter.decoded_length() != piecewise.size()) std::abort();

    auto strict = base64_decode_strict(in);
    Base64Decoder strict_pieces(Base64Decoder::Rules::Strict);
    Bytes strict_piecewise = in_pieces(strict_pieces, in, nullptr);
    if (strict_pieces.valid() != strict.has_value()) std::abort();
    if (strict && strict_piecewise != *strict) std::abort();
    if (strict && !strict->empty()) {
        std::string clean;
        for (std::uint8_t c : in)
            if (c != '\r' && c != '\n') clean.push_back(static_cast<char>(c));
        Bytes relaxed;
        base64_decode_lenient(
            std::span(reinterpret_cast<const std::uint8_t*>(clean.data()), clean.size()), relaxed);
        if (relaxed != *strict) std::abort();
    }
    std::u16string wide(size / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    Bytes from_wide;
    base64_decode_lenient(wide, from_wide);
    std::string again = base64_encode_lines(lenient);
    Bytes back;
    if (!lenient.empty() &&
        (!base64_decode_lenient(
             std::span(reinterpret_cast<const std::uint8_t*>(again.data()), again.size()), back) ||
         back != lenient))
        std::abort();
    return 0;
}
