// The envelope cipher classes: TEA, Blowfish and DES.
#pragma once

#include "ombrak/ciphers/block.h"
#include "ombrak/ciphers/blowfish.h"
#include "ombrak/ciphers/des.h"
#include "ombrak/ciphers/envelope.h"
#include "ombrak/ciphers/tea.h"

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

}  // namespace ombrak
