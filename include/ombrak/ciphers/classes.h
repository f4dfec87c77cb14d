// The cipher classes: the envelope ciphers TEA, Blowfish, DES, GOST and Twofish; RC4, which has
// their operations without the envelope; Serpent, which encrypts texts block by block.
#pragma once

#include "ombrak/ciphers/block.h"
#include "ombrak/ciphers/blowfish.h"
#include "ombrak/ciphers/des.h"
#include "ombrak/ciphers/envelope.h"
#include "ombrak/ciphers/gost.h"
#include "ombrak/ciphers/rc4.h"
#include "ombrak/ciphers/serpent.h"
#include "ombrak/ciphers/tea.h"
#include "ombrak/ciphers/twofish.h"

namespace ombrak {

class clsKvVeskEncDecTeaA final : public Envelope<clsKvVeskEncDecTeaA, ciphers::TeaKernel> {
  public:
    using KernelType = ciphers::TeaKernel;
    static constexpr const char* kSizeError = "Incorrect size descriptor in TEA decryption";
    static constexpr bool kClearsArguments = false;

    /// The first 16 ANSI bytes of the text (zero-padded) as four big-endian key words.
    void Key(const Text& value);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

class clsKvVeskEncDecBlowFishA final
    : public Envelope<clsKvVeskEncDecBlowFishA, ciphers::BlowfishKernel> {
  public:
    using KernelType = ciphers::BlowfishKernel;
    static constexpr const char* kSizeError = "Incorrect size descriptor in Blowfish decryption";
    static constexpr bool kClearsArguments = true;

    /// Runs the key schedule when the text differs from the stored key text. The empty text
    /// after another key resets the tables and raises error 9.
    void Key(const Text& value);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }

  private:
    Text key_text_;
};

class clsKvVeskEncDecDesA final : public Envelope<clsKvVeskEncDecDesA, ciphers::DesKernel> {
  public:
    using KernelType = ciphers::DesKernel;
    static constexpr const char* kSizeError = "Incorrect size descriptor in DES decryption";
    static constexpr bool kClearsArguments = false;

    /// The first eight characters' ANSI bytes (zero-padded) as the DES key, when the text differs
    /// from the stored key text.
    void Key(const Text& value);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }

  private:
    Text key_text_;
};

class clsKvVeskEncDecGostA final : public Envelope<clsKvVeskEncDecGostA, ciphers::GostKernel> {
  public:
    using KernelType = ciphers::GostKernel;
    static constexpr const char* kSizeError = "Incorrect size descriptor in Gost decryption";
    static constexpr bool kClearsArguments = false;

    /// The text's ANSI bytes repeated to 32 as eight little-endian key words, when the text
    /// differs from the stored key text. The empty text after another key raises error 11.
    void Key(const Text& value);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }

  private:
    Text key_text_;
};

class clsKvVeskEncDec2FishA final : public Envelope<clsKvVeskEncDec2FishA, ciphers::TwofishKernel> {
  public:
    using KernelType = ciphers::TwofishKernel;
    static constexpr const char* kSizeError = "Incorrect size descriptor in Twofish decryption";
    static constexpr bool kClearsArguments = false;

    /// Values of the TWOFISHKEYLENGTH enumeration.
    enum : std::int32_t {
        TWOFISH_256 = 256,
        TWOFISH_196 = 196,
        TWOFISH_128 = 128,
        TWOFISH_64 = 64
    };

    /// Keys the cipher from the text, raised to at least `min_key_length` bits: 256, 192, 128 or
    /// 64 bits by the text's length (8 bits a character), the key bytes cut or zero-extended.
    void Key(std::int32_t min_key_length, const Text& value);
    void Key(const Text& value) { Key(0, value); }
    static MemberInfo key_member();

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }
};

/// RC4 over the caller's bytes: the operations of the envelope classes, but the ciphertext is
/// exactly as long as the data. Every call starts the keystream afresh from the key.
class clsKvVeskEncDecRC4A final : public ProgressObject<std::int32_t>,
                                  public Base64Members<clsKvVeskEncDecRC4A> {
  public:
    /// Recomputes the permutation when the text differs from the stored key text. The empty
    /// text after another key leaves the identity permutation and raises error 11.
    void Key(const Text& value);

    /// Encrypts in place; raises every failure (error 5 while no key was ever applied).
    void EncryptByte(Bytes& bytes, Text& key);
    /// The same operation as EncryptByte.
    void DecryptByte(Bytes& bytes, Text& key) { EncryptByte(bytes, key); }
    Text EncryptString(Text& text, Text& key, bool& output_in_64);
    Text DecryptString(Text& text, Text& key, bool& is_text_in_64);
    bool EncryptFile(Text& in_file, Text& out_file, bool& overwrite, Text& key, bool& output_in_64);
    bool DecryptFile(Text& in_file, Text& out_file, bool& overwrite, Text& key,
                     bool& is_file_in_64);

    /// Streams `total` bytes of the input (raw, or Base64 text read by the lenient rules) to out,
    /// encrypted, raw or in the Base64 layout, with the progress of the byte operations.
    void crypt_stream(files::Input& in, std::uint64_t total, bool in_64, files::Sink& out,
                      bool out_64);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }

  private:
    void require_key() const;
    Text key_text_;
    ciphers::Rc4Key key_;
    bool keyed_ = false;
};

/// Serpent over texts: zero-padded to whole blocks, every block encrypted on its own under the
/// key of each call, with a progress step and a turn of the host event pump after every block.
/// Both operations suppress every failure inside them.
class clsKvVeskEncDecSerpentA final : public ProgressObject<std::int16_t>,
                                      public Base64Members<clsKvVeskEncDecSerpentA> {
  public:
    Text EncryptString(Text& text, Text& key, bool& output_in_64);
    Text DecryptString(Text& text, Text& key, bool& is_text_in_64);

    /// The bytes EncryptString or DecryptString make of a text whose ANSI bytes the input holds
    /// (raw, or for decryption Base64 text read by the lenient rules), streamed piece by piece
    /// to out (raw, or for encryption in the Base64 layout). `total` is the input's data length
    /// (envelope_length()). Progress at most once per percent. Raises error 75 when reading or
    /// writing fails.
    void crypt_stream(const Text& key, bool decrypt, files::Input& in, std::uint64_t total,
                      bool in_64, files::Sink& out, bool out_64);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }

  private:
    void set_key(const Text& key);
    // Runs op(offset, blocks) over [0, length) in blocks, with the step after each block.
    template <class Op, class Percent>
    void blocks(std::size_t length, Op&& op, Percent&& percent);
    ciphers::SerpentKernel kernel_;
};

}  // namespace ombrak
