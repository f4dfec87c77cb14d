// Serpent (Anderson, Biham, Knudsen): 128-bit blocks, 256-bit keys, 32 rounds, with this
// library's byte order: the 4-byte groups of the key and of every block are taken in reverse
// order (the first group is the last word), each group little-endian. Blocks are independent
// (no chaining): many blocks run at once in AVX-512 or AVX2 lanes when the CPU has them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrak::ciphers {

class SerpentKernel {
  public:
    static constexpr std::size_t kBlockSize = 16;

    SerpentKernel() noexcept;
    SerpentKernel(const SerpentKernel&) = default;
    SerpentKernel& operator=(const SerpentKernel&) = default;
    ~SerpentKernel();

    /// The 33 subkeys from a 32-byte key.
    void set_key(const std::uint8_t key[32]) noexcept;

    void encrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept;
    void decrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept;

    /// Which lanes run: "avx512", "avx2" or "portable".
    static const char* lanes() noexcept;
    /// Whether this CPU has the named lanes.
    static bool lanes_available(const char* lanes) noexcept;
    /// encrypt_ecb or decrypt_ecb through the named lanes, which the CPU must have (tests).
    void crypt_with(const char* lanes, std::uint8_t* data, std::size_t blocks,
                    bool decrypt) const noexcept;

  private:
    std::uint32_t k_[33][4];
};

}  // namespace ombrak::ciphers
