// TEA kernel. Decryption of independent blocks runs eight at a time in SSE2 lanes, since CBC
// decryption does not chain the block transforms.
#include "ombrak/ciphers/tea.h"

#include "ombrak/ciphers/block.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ombrak::ciphers {

namespace {
constexpr std::uint32_t kDelta = 0x9E3779B9;
constexpr std::uint32_t kDecryptSum = 0xC6EF3720;  // 32 * delta mod 2^32
static_assert(kDelta * 32u == kDecryptSum);
}  // namespace

TeaKernel::~TeaKernel() {
    wipe(k_, sizeof k_);
}

void TeaKernel::set_key(const std::uint8_t key[16]) noexcept {
    for (int i = 0; i < 4; ++i) k_[i] = load_be32(key + 4 * i);
}

void TeaKernel::encrypt(std::uint32_t& y0, std::uint32_t& z0) const noexcept {
    std::uint32_t y = y0, z = z0, sum = 0;
    const std::uint32_t k0 = k_[0], k1 = k_[1], k2 = k_[2], k3 = k_[3];
    for (int i = 0; i < 32; ++i) {
        sum += kDelta;
        y += ((z << 4) + k0) ^ (z + sum) ^ ((z >> 5) + k1);
        z += ((y << 4) + k2) ^ (y + sum) ^ ((y >> 5) + k3);
    }
    y0 = y;
    z0 = z;
}

void TeaKernel::decrypt(std::uint32_t& y0, std::uint32_t& z0) const noexcept {
    std::uint32_t y = y0, z = z0, sum = kDecryptSum;
    const std::uint32_t k0 = k_[0], k1 = k_[1], k2 = k_[2], k3 = k_[3];
    for (int i = 0; i < 32; ++i) {
        z -= ((y << 4) + k2) ^ (y + sum) ^ ((y >> 5) + k3);
        y -= ((z << 4) + k0) ^ (z + sum) ^ ((z >> 5) + k1);
        sum -= kDelta;
    }
    y0 = y;
    z0 = z;
}

void TeaKernel::encrypt_block(std::uint8_t* b) const noexcept {
    on_words(b, [this](std::uint32_t& l, std::uint32_t& r) { encrypt(l, r); });
}

void TeaKernel::decrypt_block(std::uint8_t* b) const noexcept {
    on_words(b, [this](std::uint32_t& l, std::uint32_t& r) { decrypt(l, r); });
}

void TeaKernel::decrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i k0 = _mm_set1_epi32(static_cast<int>(k_[0])),
                  k1 = _mm_set1_epi32(static_cast<int>(k_[1]));
    const __m128i k2 = _mm_set1_epi32(static_cast<int>(k_[2])),
                  k3 = _mm_set1_epi32(static_cast<int>(k_[3]));
    auto f = [](__m128i v, __m128i s, __m128i ka, __m128i kb) {
        return _mm_xor_si128(
            _mm_xor_si128(_mm_add_epi32(_mm_slli_epi32(v, 4), ka), _mm_add_epi32(v, s)),
            _mm_add_epi32(_mm_srli_epi32(v, 5), kb));
    };
    for (; i + 8 <= blocks; i += 8) {
        alignas(16) std::uint32_t y[8], z[8];
        std::uint8_t* p = data + i * 8;
        for (int j = 0; j < 8; ++j) {
            y[j] = load_be32(p + 8 * j);
            z[j] = load_be32(p + 8 * j + 4);
        }
        __m128i ya = _mm_load_si128(reinterpret_cast<const __m128i*>(y));
        __m128i yb = _mm_load_si128(reinterpret_cast<const __m128i*>(y + 4));
        __m128i za = _mm_load_si128(reinterpret_cast<const __m128i*>(z));
        __m128i zb = _mm_load_si128(reinterpret_cast<const __m128i*>(z + 4));
        std::uint32_t sum = kDecryptSum;
        for (int r = 0; r < 32; ++r) {
            __m128i s = _mm_set1_epi32(static_cast<int>(sum));
            za = _mm_sub_epi32(za, f(ya, s, k2, k3));
            zb = _mm_sub_epi32(zb, f(yb, s, k2, k3));
            ya = _mm_sub_epi32(ya, f(za, s, k0, k1));
            yb = _mm_sub_epi32(yb, f(zb, s, k0, k1));
            sum -= kDelta;
        }
        _mm_store_si128(reinterpret_cast<__m128i*>(y), ya);
        _mm_store_si128(reinterpret_cast<__m128i*>(y + 4), yb);
        _mm_store_si128(reinterpret_cast<__m128i*>(z), za);
        _mm_store_si128(reinterpret_cast<__m128i*>(z + 4), zb);
        for (int j = 0; j < 8; ++j) {
            store_be32(p + 8 * j, y[j]);
            store_be32(p + 8 * j + 4, z[j]);
        }
    }
#endif
    for (; i < blocks; ++i) decrypt_block(data + i * 8);
}

void TeaKernel::cbc_encrypt(std::uint8_t* data, std::size_t blocks,
                            std::uint8_t* chain) const noexcept {
    cbc_encrypt_words(*this, data, blocks, chain);
}

void TeaKernel::cbc_decrypt(std::uint8_t* data, std::size_t blocks,
                            std::uint8_t* chain) const noexcept {
    cbc_decrypt_chunked(*this, data, blocks, chain);
}

}  // namespace ombrak::ciphers
