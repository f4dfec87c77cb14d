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

/// Characters in the library layout of one part of a longer text (every line broken).
std::size_t base64_part_length(std::size_t n) noexcept;

/// The library layout of one part of a text longer than one line, for streaming: CR LF after
/// every complete line of 76 characters, a complete last line included. Every part but the last
/// must be a multiple of 57 bytes (whole lines). A text of at most 57 bytes is one line without
/// a break: encode it whole with base64_encode_lines. Returns base64_part_length(in.size()).
std::size_t base64_encode_lines_part(std::span<const std::uint8_t> in, char* out) noexcept;

/// Writes base64_length(in.size()) characters, no line breaks.
void base64_encode(std::span<const std::uint8_t> in, char* out) noexcept;

/// The library layout as ASCII bytes.
std::string base64_encode_lines(std::span<const std::uint8_t> in);
/// The library layout as host text.
Text base64_encode_lines_text(std::span<const std::uint8_t> in);

/// The value (0..63) of an alphabet character, or -1.
int base64_value(std::uint8_t c) noexcept;

/// Base64 decoding in pieces of any size, by one of two rules:
/// - Lenient (the library's): every CR LF pair and every "=" is removed; every other character
///   is data, mapped by its low byte (a character outside the alphabet is the value 0); whole
///   groups of four give three bytes, a last group of three or two gives two or one, a lone last
///   character gives none.
/// - Strict (files and pipes): CR and LF are skipped, every other character must be in the
///   alphabet, and "=" may only pad the last group of four.
/// Both take whole groups of alphabet characters sixteen at a time.
class Base64Decoder {
  public:
    enum class Rules : std::uint8_t { Lenient, Strict };
    explicit Base64Decoder(Rules rules = Rules::Lenient) noexcept : rules_(rules) {}

    /// Lenient rules on bytes: the values (0..63) of the bytes 0x80..0xFF, which otherwise
    /// count as 0. Bytes that stand for the characters of a code page get the value of each
    /// character's low byte. The 128 values must outlive the decoder.
    void set_high_values(const std::uint8_t* values) noexcept { high_ = values; }

    /// Room update() needs for n characters, and finish() at most 3 bytes.
    static constexpr std::size_t capacity(std::size_t n) noexcept { return (n + 3) / 4 * 3 + 16; }

    /// Decodes a piece; returns the bytes written to out.
    std::size_t update(std::span<const std::uint8_t> in, std::uint8_t* out) noexcept;
    std::size_t update(std::u16string_view in, std::uint8_t* out) noexcept;
    /// The bytes of the last, incomplete group. Call once, after the last piece.
    std::size_t finish(std::uint8_t* out) noexcept;

    /// Lenient: a data character was seen (a text of only CR LF pairs and "=" has none).
    bool any() const noexcept { return any_; }
    /// Strict: the input kept the rules so far (after finish: and ended on a whole group).
    /// A decoder that found a fault writes nothing more.
    bool valid() const noexcept { return !bad_; }

  private:
    template <class Char, bool Simd>
    std::size_t run(const Char* in, std::size_t n, std::uint8_t* out) noexcept;
    template <class Char>
    std::size_t run_scalar(const Char* in, std::size_t n, std::uint8_t* out) noexcept;
    template <class Char>
    std::size_t run_ssse3(const Char* in, std::size_t n, std::uint8_t* out) noexcept;
    template <class Char>
    std::size_t dispatch(const Char* in, std::size_t n, std::uint8_t* out) noexcept;
    void push(std::uint32_t value, std::uint8_t*& out) noexcept;

    Rules rules_;
    const std::uint8_t* high_ = nullptr;
    std::uint32_t acc_ = 0;
    std::uint8_t pending_ = 0;  // characters of the current group
    std::uint8_t pads_ = 0;     // strict: "=" seen
    bool any_ = false;
    bool bad_ = false;
    bool held_cr_ = false;  // lenient: a piece ended in CR
};

/// Counts, in pieces, the data characters lenient decoding keeps (all but CR LF pairs and "="),
/// and so the length of the decoded bytes before decoding them.
class Base64DataCounter {
  public:
    void update(std::span<const std::uint8_t> in) noexcept;
    std::uint64_t characters() const noexcept { return characters_; }
    std::uint64_t decoded_length() const noexcept;

  private:
    std::uint64_t characters_ = 0;
    bool held_cr_ = false;
};

/// Decodes by the library's lenient rules (above). every CR LF pair and every "=" is removed; every
/// other character is data, mapped by its low byte (a character outside the alphabet is the value
/// 0); whole groups of four give three bytes, a last group of three or two gives two or one, a lone
/// last character gives none. Returns false (and leaves out empty) when no data character is
/// left after the removals.
bool base64_decode_lenient(std::u16string_view in, Bytes& out);
bool base64_decode_lenient(std::span<const std::uint8_t> in, Bytes& out);

/// Strict decoding for files and pipes: LF and CR are skipped, every other character must be in
/// the alphabet, and "=" may only pad the last group of four. nullopt when the input is not
/// Base64.
std::optional<Bytes> base64_decode_strict(std::span<const std::uint8_t> in);

}  // namespace ombrak::encoding
