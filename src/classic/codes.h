// Characters by their ANSI codes, for the text ciphers.
#pragma once

#include <string_view>

#include "ombrak/frame/error.h"
#include "ombrak/frame/text.h"

namespace ombrak::classic {

/// The ANSI code of a character ('?' for one the code page lacks).
inline int code_of(char16_t c) {
    std::uint8_t b;
    ansi_from_text(std::u16string_view(&c, 1), &b);
    return b;
}

/// The character of an ANSI code; a code outside 0..255 is error 5.
inline char16_t char_of(int code) {
    if (code < 0 || code > 255) raise_runtime(RuntimeError::InvalidCall);
    return ansi_char(static_cast<std::uint8_t>(code));
}

/// The operations count in 16-bit signed integers: a count that reaches `limit` (32768, or
/// less where a loop's own arithmetic goes further) overflows, error 6.
inline void fits16(std::size_t count, std::size_t limit = 32768) {
    if (count >= limit) raise_runtime(RuntimeError::Overflow);
}

}  // namespace ombrak::classic
