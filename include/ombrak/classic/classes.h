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

/// The depth cipher: every code shifted by a depth, wrapping at 255. Failures are skipped.
class clsKvVeskEncDecCeaserA final : public Object {
  public:
    /// A depth of 0 becomes 40 and one above 254 becomes 254, written back (once a character).
    Text Encode(Text& data, std::int16_t& depth);
    Text Decode(Text& data, std::int16_t& depth);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

/// The codes of an upper-cased password added or subtracted modulo 256. Nothing is trapped.
class clsKvVeskEncDecSoftCktA final : public Object {
  public:
    Variant EncryptText(Text& text, const Text& password);
    Variant DecryptText(Text& text, const Text& password);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

/// Codes shifted by a six-step pattern from a number made of a password. Failures are skipped;
/// the caller's password variable is replaced by that number.
class clsKvVeskEncDecSalasanaA final : public Object {
  public:
    Text Crypt(Variant& text, Variant& password);
    Text Decrypt(Variant& text, Variant& password);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

/// A table cipher over 97 characters that is its own inverse under a key. Nothing is trapped.
class clsKvVeskEncDecSabreA final : public Object {
  public:
    void KeyString(const Text& key) { key_ = key; }
    Text Encrypt(Text& text);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }

  private:
    Text key_;
};

/// The text reversed, its codes moved by 2, framed by two characters; every failure is reported
/// and the operation goes on.
class clsKvVeskEncDecSmokeA final : public Object {
  public:
    Text SmokeCryptString(Text& text, bool& encrypt);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

}  // namespace ombrak
