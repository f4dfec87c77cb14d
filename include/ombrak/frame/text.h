// Text conversions: UTF-8 and UTF-16, the ANSI code page, and the shared text builder.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ombrak/frame/variant.h"

namespace ombrak {

/// ASCII (or Latin-1) bytes widened to UTF-16 code units.
Text ascii_to_text(std::string_view s);

/// UTF-8 to UTF-16; invalid sequences become U+FFFD.
Text utf8_to_text(std::string_view s);
/// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string text_to_utf8(std::u16string_view t);
/// True when t holds a surrogate code unit that is not part of a pair.
bool has_lone_surrogate(std::u16string_view t) noexcept;

/// The lower-case form of a character, the same in every locale: ASCII, Latin-1, Latin
/// Extended-A, Greek and Cyrillic letters (every letter a Windows single-byte code page holds);
/// any other character is its own lower-case form.
char16_t lower_case(char16_t c) noexcept;
/// The upper-case form, the inverse of lower_case for the same letters (ÿ gives Ÿ; ß, µ and
/// the final sigma have no single upper-case letter in those pages and stay).
char16_t upper_case(char16_t c) noexcept;

/// Case-insensitive comparison of ASCII names (programmatic names, member names).
bool iequals(std::string_view a, std::string_view b) noexcept;

/// The Windows single-byte code pages the ANSI conversion supports.
bool code_page_supported(int code_page) noexcept;
/// The ANSI code page in force on this thread: the one pinned by a running operation, else the
/// process-wide one (1252 unless OMBRAK10_CODEPAGE or set_code_page chose another).
int code_page() noexcept;
/// Selects the process-wide ANSI code page; returns false (and changes nothing) if unsupported.
/// Operations running on other threads keep the page they started with.
bool set_code_page(int code_page) noexcept;

/// Pins this thread's ANSI conversions to the code page in force when the outermost scope
/// began, until that scope ends: an operation reads the code page once, so a switch (by another
/// thread, or by a callback the operation makes) affects only operations that start after it.
class CodePageScope {
  public:
    CodePageScope() noexcept;
    ~CodePageScope();
    CodePageScope(const CodePageScope&) = delete;
    CodePageScope& operator=(const CodePageScope&) = delete;

  private:
    bool outer_;
};

/// The character the code page in force assigns to a byte.
char16_t ansi_char(std::uint8_t b) noexcept;

/// ANSI conversion, text to bytes: one byte per code unit; unmappable units become '?'.
Bytes ansi_from_text(std::u16string_view t);
/// ANSI conversion, bytes to text: one code unit per byte.
Text ansi_to_text(std::span<const std::uint8_t> b);
/// The same conversions into a caller's buffer of t.size() bytes or b.size() characters.
void ansi_from_text(std::u16string_view t, std::uint8_t* out) noexcept;
void ansi_to_text(std::span<const std::uint8_t> b, char16_t* out) noexcept;

/// Accumulates an operation's output text as ANSI bytes, so a character outside the code page
/// comes back as '?'. The buffer grows by 1024 bytes at a time.
class TextBuilder {
  public:
    TextBuilder() { clear(); }
    void append(std::u16string_view t);
    void append_byte(std::uint8_t b);
    /// The accumulated bytes as text.
    Text take() const;
    std::size_t size() const noexcept { return length_; }
    void clear();

  private:
    void reserve_for(std::size_t extra);
    std::vector<std::uint8_t> buffer_;
    std::size_t length_ = 0;
};

}  // namespace ombrak
