// DES (FIPS 46-3): 64-bit blocks, a 64-bit key of which 56 bits count, 16 rounds. Bit 1 of a
// block or key is the most significant bit of its first byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrak::ciphers {

class DesKernel {
  public:
    static constexpr std::size_t kBlockSize = 8;

    DesKernel() noexcept;
    DesKernel(const DesKernel&) = default;
    DesKernel& operator=(const DesKernel&) = default;
    ~DesKernel();

    /// The sixteen round keys from eight key bytes (the low bit of each byte is parity, unused).
    void set_key(const std::uint8_t key[8]) noexcept;

    void encrypt_block(std::uint8_t* b) const noexcept;
    void decrypt_block(std::uint8_t* b) const noexcept;
    void decrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept;
    void cbc_encrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;
    void cbc_decrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;

    /// The sixteen rounds on the halves of a block after the initial permutation, without the
    /// permutations (triple DES: the inner final and initial permutations cancel); `Ways`
    /// independent blocks at once.
    template <bool Decrypt, int Ways>
    void rounds(std::uint32_t (&l)[Ways], std::uint32_t (&r)[Ways]) const noexcept;
    static std::uint64_t initial_permutation(std::uint64_t block) noexcept;
    static std::uint64_t final_permutation(std::uint64_t block) noexcept;

  private:
    template <bool Decrypt>
    std::uint64_t crypt(std::uint64_t block) const noexcept;
    // Round key i as two words: its 6-bit groups 0, 2, 4, 6 and 1, 3, 5, 7, one per byte.
    std::uint32_t keys_[32];
};

/// Triple DES (EDE): encrypt with the first key, decrypt with the second, encrypt with the third.
/// Two-key triple DES is the three-key form with the first key again as the third.
class TripleDesKernel {
  public:
    static constexpr std::size_t kBlockSize = 8;

    /// Keys from 24 bytes: K1, K2, K3.
    void set_key(const std::uint8_t key[24]) noexcept;

    void encrypt_block(std::uint8_t* b) const noexcept;
    void decrypt_block(std::uint8_t* b) const noexcept;
    void cbc_encrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;
    void cbc_decrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;

  private:
    template <bool Decrypt, int Ways>
    void crypt(std::uint32_t (&l)[Ways], std::uint32_t (&r)[Ways]) const noexcept;
    DesKernel k1_, k2_, k3_;
};

}  // namespace ombrak::ciphers
