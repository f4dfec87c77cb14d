// RC2 (RFC 2268): 64-bit blocks as four little-endian 16-bit words, a key of 1 to 128 bytes
// and an effective key length in bits that limits the expanded key.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrak::ciphers {

class Rc2Kernel {
  public:
    static constexpr std::size_t kBlockSize = 8;

    Rc2Kernel() noexcept = default;
    Rc2Kernel(const Rc2Kernel&) = default;
    Rc2Kernel& operator=(const Rc2Kernel&) = default;
    ~Rc2Kernel();

    /// Expands `length` key bytes (1 to 128) to the 64 round words, limited to
    /// `effective_bits` (1 to 1024).
    void set_key(const std::uint8_t* key, std::size_t length, unsigned effective_bits) noexcept;

    void encrypt_block(std::uint8_t* b) const noexcept;
    void decrypt_block(std::uint8_t* b) const noexcept;
    void cbc_encrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;
    void cbc_decrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;

  private:
    std::uint64_t encrypt_value(std::uint64_t block) const noexcept;
    template <int Ways>
    void decrypt_values(std::uint64_t (&blocks)[Ways]) const noexcept;
    std::uint16_t k_[64] = {};
};

}  // namespace ombrak::ciphers
