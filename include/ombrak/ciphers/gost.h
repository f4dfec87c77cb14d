// A GOST 28147-89 family cipher with this library's own S-boxes and round function: 64-bit
// blocks as two big-endian words, a 256-bit key of eight little-endian words, 32 rounds. The
// round function splits the sum by truncating division and substitutes its digits in reversed
// order, so ciphertexts differ from a textbook GOST's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrak::ciphers {

class GostKernel {
  public:
    static constexpr std::size_t kBlockSize = 8;

    GostKernel() noexcept = default;
    GostKernel(const GostKernel&) = default;
    GostKernel& operator=(const GostKernel&) = default;
    ~GostKernel();

    /// Key words K0..K7 from 32 bytes, each word little-endian.
    void set_key(const std::uint8_t key[32]) noexcept;

    /// The round function f(x, k), for tests.
    static std::uint32_t round_function(std::uint32_t x, std::uint32_t k) noexcept;

    void encrypt(std::uint32_t& l, std::uint32_t& r) const noexcept;
    void decrypt(std::uint32_t& l, std::uint32_t& r) const noexcept;
    void encrypt_block(std::uint8_t* b) const noexcept;
    void decrypt_block(std::uint8_t* b) const noexcept;
    /// Decrypts independent blocks in place, eight interleaved at a time.
    void decrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept;
    void cbc_encrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;
    void cbc_decrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;

  private:
    std::uint32_t k_[8] = {};
};

}  // namespace ombrak::ciphers
