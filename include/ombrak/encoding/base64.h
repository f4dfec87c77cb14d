// Base64 with the standard alphabet (RFC 4648) and the library's line layout: lines of 76
// characters, each complete line followed by CR LF once the text is longer than 76 characters.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ombrak/frame/variant.h"

namespace ombrak::encoding {

inline constexpr std::size_t kBase64LineLength = 76;

/// Characters in the encoding of n bytes without line breaks.
constexpr std::size_t base64_length(std::size_t n) noexcept {
    return (n + 2) / 3 * 4;
}

/// Characters in the library layout for n bytes (line breaks included).
std::size_t base64_lines_length(std::size_t n) noexcept;

/// Writes base64_length(in.size()) characters, no line breaks.
void base64_encode(std::span<const std::uint8_t> in, char* out) noexcept;

/// The library layout as ASCII bytes.
std::string base64_encode_lines(std::span<const std::uint8_t> in);
/// The library layout as host text.
Text base64_encode_lines_text(std::span<const std::uint8_t> in);

/// Decodes by the library's lenient rules: every CR LF pair and every "=" is removed; every other
/// character is data, mapped by its low byte (a character outside the alphabet is the value 0);
/// whole groups of four give three bytes, a last group of three or two gives two or one, a lone
/// last character gives none. Returns false (and leaves out empty) when no data character is
/// left after the removals.
bool base64_decode_lenient(std::u16string_view in, Bytes& out);
bool base64_decode_lenient(std::span<const std::uint8_t> in, Bytes& out);

/// Strict decoding for files and pipes: LF and CR are skipped, every other character must be in
/// the alphabet, and "=" may only pad the last group of four. nullopt when the input is not
/// Base64.
std::optional<Bytes> base64_decode_strict(std::span<const std::uint8_t> in);

}  // namespace ombrak::encoding
