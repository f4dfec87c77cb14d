// The Base64 class and the shared Base64 operations.
#include "ombrak/encoding/base64_class.h"

#include "ombrak/frame/error.h"
#include "ombrak/frame/text.h"

namespace ombrak {

Text encode_array64(const Bytes& bytes) noexcept {
    try {
        return encoding::base64_encode_lines_text(bytes);
    } catch (...) {
        return Text();
    }
}

Bytes decode_array64(const Text& text) {
    Bytes out;
    if (!encoding::base64_decode_lenient(text, out)) raise_runtime(RuntimeError::InvalidCall);
    return out;
}

Text encode64(const Text& text) {
    if (text.empty()) return Text();
    return encode_array64(ansi_from_text(text));
}

Text decode64(const Text& text) {
    if (text.empty()) return Text();
    return ansi_to_text(decode_array64(text));
}

void ansi_base64_values(std::uint8_t (&values)[128]) noexcept {
    for (int b = 0x80; b < 0x100; ++b) {
        int v = encoding::base64_value(
            static_cast<std::uint8_t>(ansi_char(static_cast<std::uint8_t>(b)) & 0xFF));
        values[b - 0x80] = static_cast<std::uint8_t>(v < 0 ? 0 : v);
    }
}

const ClassInfo& clsKvVeskEncDecBase64A::info() {
    static const ClassInfo k{"clsKvVeskEncDecBase64A", base64_members<clsKvVeskEncDecBase64A>(),
                             std::nullopt};
    return k;
}

}  // namespace ombrak
