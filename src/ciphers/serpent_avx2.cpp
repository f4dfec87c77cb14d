// Serpent, eight blocks at a time in AVX2 lanes. Built with AVX2 enabled.
#include <immintrin.h>

#include "ciphers/serpent_lanes.h"
#include "ciphers/serpent_rounds.h"

namespace ombrak::ciphers {

namespace {

typedef std::uint32_t u32x8 __attribute__((vector_size(32)));

using Avx2Words = ShiftWords<u32x8>;

// A 4 x 4 transpose in each 128-bit lane: four vectors of two blocks become the four words of
// eight blocks, and back.
inline void transpose(__m256i& a, __m256i& b, __m256i& c, __m256i& d) {
    const __m256i t0 = _mm256_unpacklo_epi32(a, b), t1 = _mm256_unpackhi_epi32(a, b),
                  t2 = _mm256_unpacklo_epi32(c, d), t3 = _mm256_unpackhi_epi32(c, d);
    a = _mm256_unpacklo_epi64(t0, t2);
    b = _mm256_unpackhi_epi64(t0, t2);
    c = _mm256_unpacklo_epi64(t1, t3);
    d = _mm256_unpackhi_epi64(t1, t3);
}

}  // namespace

std::size_t serpent_lanes_avx2(const std::uint32_t (*k)[4], std::uint8_t* data, std::size_t blocks,
                               bool decrypt) noexcept {
    using R = SerpentRounds<Avx2Words>;
    std::size_t i = 0;
    for (; i + 8 <= blocks; i += 8) {
        std::uint8_t* p = data + 16 * i;
        __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)),
                v2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64)),
                v3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 96));
        transpose(v0, v1, v2, v3);
        u32x8 w0 = reinterpret_cast<u32x8>(v0), w1 = reinterpret_cast<u32x8>(v1),
              w2 = reinterpret_cast<u32x8>(v2), w3 = reinterpret_cast<u32x8>(v3);
        if (decrypt)
            R::decrypt(w3, w2, w1, w0, k);
        else
            R::encrypt(w3, w2, w1, w0, k);
        v0 = reinterpret_cast<__m256i>(w0);
        v1 = reinterpret_cast<__m256i>(w1);
        v2 = reinterpret_cast<__m256i>(w2);
        v3 = reinterpret_cast<__m256i>(w3);
        transpose(v0, v1, v2, v3);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v0);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 32), v1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 64), v2);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 96), v3);
    }
    return i;
}

}  // namespace ombrak::ciphers
