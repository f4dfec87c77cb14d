// Serpent, sixteen blocks at a time in AVX-512 lanes: a three-input function is one ternary
// logic instruction and a rotation one instruction. Built with AVX-512F enabled.
// GCC 12 sees the intrinsics' deliberately undefined pass-through operand as uninitialized.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include "ciphers/serpent_lanes.h"
#include "ciphers/serpent_rounds.h"

namespace ombrak::ciphers {

namespace {

struct Avx512Words {
    using V = __m512i;
    template <std::uint8_t T>
    static V tern(V a, V b, V c) {
        return _mm512_ternarylogic_epi32(a, b, c, T);
    }
    template <int N>
    static V rotl(V v) {
        return _mm512_rol_epi32(v, N);
    }
    template <int N>
    static V shl(V v) {
        return _mm512_slli_epi32(v, N);
    }
    static V set1(std::uint32_t w) { return _mm512_set1_epi32(static_cast<int>(w)); }
};

// Four vectors of four blocks each become the four words of sixteen blocks (a 4 x 4 transpose
// in every 128-bit lane); the same transpose turns them back.
inline void transpose(__m512i& a, __m512i& b, __m512i& c, __m512i& d) {
    const __m512i t0 = _mm512_unpacklo_epi32(a, b), t1 = _mm512_unpackhi_epi32(a, b),
                  t2 = _mm512_unpacklo_epi32(c, d), t3 = _mm512_unpackhi_epi32(c, d);
    a = _mm512_unpacklo_epi64(t0, t2);
    b = _mm512_unpackhi_epi64(t0, t2);
    c = _mm512_unpacklo_epi64(t1, t3);
    d = _mm512_unpackhi_epi64(t1, t3);
}

}  // namespace

std::size_t serpent_lanes_avx512(const std::uint32_t (*k)[4], std::uint8_t* data,
                                 std::size_t blocks, bool decrypt) noexcept {
    using R = SerpentRounds<Avx512Words>;
    std::size_t i = 0;
    for (; i + 16 <= blocks; i += 16) {
        std::uint8_t* p = data + 16 * i;
        __m512i w0 = _mm512_loadu_si512(p), w1 = _mm512_loadu_si512(p + 64),
                w2 = _mm512_loadu_si512(p + 128), w3 = _mm512_loadu_si512(p + 192);
        transpose(w0, w1, w2, w3);
        // wj holds the 4-byte group j of each block; X0 is the last group.
        if (decrypt)
            R::decrypt(w3, w2, w1, w0, k);
        else
            R::encrypt(w3, w2, w1, w0, k);
        transpose(w0, w1, w2, w3);
        _mm512_storeu_si512(p, w0);
        _mm512_storeu_si512(p + 64, w1);
        _mm512_storeu_si512(p + 128, w2);
        _mm512_storeu_si512(p + 192, w3);
    }
    return i;
}

}  // namespace ombrak::ciphers
