// Blowfish: 64-bit blocks, 16 rounds, tables from the digits of pi; words are big-endian.
// The S-boxes start in this library's layout (pi words dealt to the four boxes in turn) unless
// the published layout (box by box) is asked for.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrak::ciphers {

class BlowfishKernel {
  public:
    static constexpr std::size_t kBlockSize = 8;
    enum class Layout { Library, Published };

    explicit BlowfishKernel(Layout layout = Layout::Library) noexcept : layout_(layout) { reset(); }
    BlowfishKernel(const BlowfishKernel&) = default;
    BlowfishKernel& operator=(const BlowfishKernel&) = default;
    ~BlowfishKernel();

    /// Back to the initial tables.
    void reset() noexcept;
    /// XORs 18 key words into the P-array and runs the key schedule (521 block encryptions).
    void expand(const std::uint32_t key_words[18]) noexcept;

    /// This library's key packing: 18 words from the cycle of n (> 0) key bytes, each word built
    /// as c0<<24 | (c0|c1)<<16 | (c0|c1|c2)<<8 | (c0|c1|c2|c3).
    static void pack_key(const std::uint8_t* bytes, std::size_t n, std::uint32_t out[18]) noexcept;

    void encrypt(std::uint32_t& l, std::uint32_t& r) const noexcept;
    void decrypt(std::uint32_t& l, std::uint32_t& r) const noexcept;
    void encrypt_block(std::uint8_t* b) const noexcept;
    void decrypt_block(std::uint8_t* b) const noexcept;
    void decrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept;
    void cbc_encrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;
    void cbc_decrypt(std::uint8_t* data, std::size_t blocks, std::uint8_t* chain) const noexcept;

    std::uint32_t p(int i) const noexcept { return p_[i]; }
    std::uint32_t s(int box, int j) const noexcept { return s_[box][j]; }

  private:
    std::uint32_t f(std::uint32_t x) const noexcept {
        return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) +
               s_[3][x & 0xFF];
    }
    Layout layout_;
    std::uint32_t p_[18];
    std::uint32_t s_[4][256];
};

}  // namespace ombrak::ciphers
