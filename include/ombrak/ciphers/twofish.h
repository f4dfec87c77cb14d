// Twofish (Schneier et al.): 128-bit blocks of four little-endian words, 16 rounds, keys of 128,
// 192 or 256 bits as published, and a 64-bit form whose h function has a single key layer. The
// key-dependent g function is precomputed into four tables of 256 words when the key is set.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrak::ciphers {

class TwofishKernel {
  public:
    static constexpr std::size_t kBlockSize = 16;

    TwofishKernel() noexcept = default;
    TwofishKernel(const TwofishKernel&) = default;
    TwofishKernel& operator=(const TwofishKernel&) = default;
    ~TwofishKernel();

    /// Runs the key schedule on 8, 16, 24 or 32 key bytes.
    void set_key(const std::uint8_t* key, std::size_t length) noexcept;
    /// True once a key has been set.
    bool keyed() const noexcept { return keyed_; }

    void encrypt_block(std::uint8_t* b) const noexcept;
    void decrypt_block(std::uint8_t* b) const noexcept;
    /// Decrypts independent blocks in place, two interleaved at a time.
    void decrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept;
    void cbc_encrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;
    void cbc_decrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;

    /// The fixed permutations q0 and q1, for tests.
    static std::uint8_t q(int which, std::uint8_t x) noexcept;

  private:
    bool keyed_ = false;
    std::uint32_t k_[40] = {};
    std::uint32_t s_[4][256] = {};
};

}  // namespace ombrak::ciphers
