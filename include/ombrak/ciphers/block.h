// Helpers shared by the block cipher kernels: big- and little-endian words (x86 hosts), key wiping,
// and cipher-block chaining over many blocks with an interleaved decryption.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ombrak::ciphers {

inline std::uint32_t load_be32(const std::uint8_t* p) noexcept {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return __builtin_bswap32(v);
}
inline void store_be32(std::uint8_t* p, std::uint32_t v) noexcept {
    v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}
inline std::uint32_t load_le32(const std::uint8_t* p) noexcept {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void store_le32(std::uint8_t* p, std::uint32_t v) noexcept {
    std::memcpy(p, &v, 4);
}

/// Overwrites key material so it does not outlive its object.
void wipe(void* p, std::size_t n) noexcept;

/// CBC encryption with a kernel working on two big-endian words (`encrypt(l, r)`): the chaining
/// value stays in registers from block to block.
template <class Kernel>
void cbc_encrypt_words(const Kernel& k, std::uint8_t* data, std::size_t blocks,
                       std::uint8_t* chain) noexcept {
    std::uint32_t l = load_be32(chain), r = load_be32(chain + 4);
    for (std::size_t i = 0; i < blocks; ++i, data += 8) {
        l ^= load_be32(data);
        r ^= load_be32(data + 4);
        k.encrypt(l, r);
        store_be32(data, l);
        store_be32(data + 4, r);
    }
    store_be32(chain, l);
    store_be32(chain + 4, r);
}

/// One block through a two-word transform, in place.
template <class Transform>
void on_words(std::uint8_t* b, Transform&& t) noexcept {
    std::uint32_t l = load_be32(b), r = load_be32(b + 4);
    t(l, r);
    store_be32(b, l);
    store_be32(b + 4, r);
}

/// CBC decryption of `blocks` blocks (Kernel::kBlockSize bytes each) in place with any kernel
/// that decrypts several blocks at once (`decrypt_ecb`): the ciphertext of each chunk is kept,
/// the chunk decrypted independently block by block, then XORed with the preceding ciphertext.
/// `chain` holds the previous ciphertext block and is updated.
template <class Kernel>
void cbc_decrypt_chunked(const Kernel& k, std::uint8_t* data, std::size_t blocks,
                         std::uint8_t* chain) noexcept {
    constexpr std::size_t kBlock = Kernel::kBlockSize;
    constexpr std::size_t kChunk = 256 / kBlock;  // blocks per chunk: 256 bytes kept
    std::uint8_t kept[kChunk * kBlock];
    while (blocks) {
        std::size_t n = blocks < kChunk ? blocks : kChunk;
        std::memcpy(kept, data, n * kBlock);
        k.decrypt_ecb(data, n);
        for (std::size_t i = 0; i < kBlock; ++i) data[i] ^= chain[i];
        for (std::size_t i = kBlock; i < n * kBlock; ++i) data[i] ^= kept[i - kBlock];
        std::memcpy(chain, kept + (n - 1) * kBlock, kBlock);
        data += n * kBlock;
        blocks -= n;
    }
}

}  // namespace ombrak::ciphers
