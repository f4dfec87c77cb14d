// TEA (Wheeler and Needham): 64-bit blocks, 128-bit key, 32 cycles; words are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrak::ciphers {

class TeaKernel {
  public:
    static constexpr std::size_t kBlockSize = 8;

    TeaKernel() noexcept = default;
    TeaKernel(const TeaKernel&) = default;
    TeaKernel& operator=(const TeaKernel&) = default;
    ~TeaKernel();

    /// Key words k0..k3 from 16 bytes, big-endian.
    void set_key(const std::uint8_t key[16]) noexcept;

    void encrypt(std::uint32_t& y, std::uint32_t& z) const noexcept;
    void decrypt(std::uint32_t& y, std::uint32_t& z) const noexcept;
    void encrypt_block(std::uint8_t* b) const noexcept;
    void decrypt_block(std::uint8_t* b) const noexcept;

    /// Decrypts `blocks` independent blocks in place, several at a time.
    void decrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept;
    /// CBC over whole blocks in place; `chain` is the previous ciphertext block (updated).
    void cbc_encrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;
    void cbc_decrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;

  private:
    std::uint32_t k_[4] = {0, 0, 0, 0};
};

}  // namespace ombrak::ciphers
