// The classic text ciphers and Morse code: schoolbook transformations of texts, character by
// character through the ANSI code page.
#pragma once

#include "ombrak/frame/member_table.h"
#include "ombrak/frame/object.h"
#include "ombrak/frame/text.h"

namespace ombrak {

/// Ten text transformations. None raises: every failure inside gives the empty text.
class clsKvVeskClassicCiphersA final : public Object {
  public:
    Text Ascii2Binary(Text& text);
    Text Binary2Ascii(Text& binary_text);
    Text ReverseString(Text& text);
    /// Reduces the caller's shift by 26 while it is above 26 (the reduced value is written back).
    Text CaesarShift(Text& text, std::int16_t& difference);
    Text Ascii2Transposition(Text& text);
    Text Transposition2Ascii(Text& text);
    Text Ascii2PigLatin(Text& text);
    Text PigLatin2Ascii(Text& text);
    Text Ascii2Random(Text& text, Text& code);
    Text Random2Ascii(const Text& text, const Text& code);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }

  private:
    TextBuilder builder_;
};

/// Morse code with dots and dashes, every code followed by a space; "\ " for a word gap (and
/// other separators), "~ " for a line break.
class clsKvVeskEncDecMorseA final : public Object {
  public:
    Text MorseEncode(Text& text);
    /// Decodes token by token; the caller's text keeps what was not decoded (empty when all was).
    Text MorseDecode(Text& text);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }

  private:
    TextBuilder builder_;
};

}  // namespace ombrak
