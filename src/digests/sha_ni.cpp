// SHA-1 and SHA-256 blocks on the SHA extensions: four rounds an instruction, the message
// schedule by its own instructions. Built with -msha -msse4.1.
#include <immintrin.h>

#include <utility>

#include "digests/sha_lanes.h"

namespace ombrak::digests {

namespace {

// Four rounds of group G, then, for the first twelve groups, the schedule words four groups on,
// in place of the ones just used.
template <int G>
inline void sha256_group(__m128i& abef, __m128i& cdgh, __m128i (&w)[4]) {
    __m128i t =
        _mm_add_epi32(w[G % 4], _mm_load_si128(reinterpret_cast<const __m128i*>(kSha256K + 4 * G)));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, t);
    t = _mm_shuffle_epi32(t, 0x0E);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, t);
    if constexpr (G < 12) {
        __m128i next = _mm_sha256msg1_epu32(w[G % 4], w[(G + 1) % 4]);
        next = _mm_add_epi32(next, _mm_alignr_epi8(w[(G + 3) % 4], w[(G + 2) % 4], 4));
        w[G % 4] = _mm_sha256msg2_epu32(next, w[(G + 3) % 4]);
    }
}

template <int... G>
inline void sha256_groups(__m128i& abef, __m128i& cdgh, __m128i (&w)[4],
                          std::integer_sequence<int, G...>) {
    (sha256_group<G>(abef, cdgh, w), ...);
}

// Four rounds of group G (round function G / 5); E carries the fifth word.
template <int G>
inline void sha1_group(__m128i& abcd, __m128i& previous, __m128i (&w)[4]) {
    const __m128i e = _mm_sha1nexte_epu32(previous, w[G % 4]);
    previous = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e, G / 5);
    if constexpr (G < 16) {
        const __m128i next =
            _mm_xor_si128(_mm_sha1msg1_epu32(w[G % 4], w[(G + 1) % 4]), w[(G + 2) % 4]);
        w[G % 4] = _mm_sha1msg2_epu32(next, w[(G + 3) % 4]);
    }
}

template <int... G>
inline void sha1_groups(__m128i& abcd, __m128i& previous, __m128i (&w)[4],
                        std::integer_sequence<int, G...>) {
    (sha1_group<G + 1>(abcd, previous, w), ...);
}

}  // namespace

void sha256_compress_ni(std::uint32_t* state, const std::uint8_t* blocks, std::size_t n,
                        const std::uint8_t* more, std::size_t m) noexcept {
    const __m128i order = _mm_set_epi64x(0x0C0D0E0F08090A0BLL, 0x0405060700010203LL);
    // The state as the instructions take it: (A, B, E, F) and (C, D, G, H).
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i badc = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(badc, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, badc, 0xF0);
    for (std::size_t b = 0; b < n + m; ++b, blocks += 64) {
        if (b == n) blocks = more;
        const __m128i abef0 = abef, cdgh0 = cdgh;
        __m128i w[4];
        for (int i = 0; i < 4; ++i)
            w[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), order);
        sha256_groups(abef, cdgh, w, std::make_integer_sequence<int, 16>{});
        abef = _mm_add_epi32(abef, abef0);
        cdgh = _mm_add_epi32(cdgh, cdgh0);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

void sha1_compress_ni(std::uint32_t* state, const std::uint8_t* blocks, std::size_t n,
                      const std::uint8_t* more, std::size_t m) noexcept {
    const __m128i order = _mm_set_epi64x(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL);
    __m128i abcd =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
    for (std::size_t b = 0; b < n + m; ++b, blocks += 64) {
        if (b == n) blocks = more;
        const __m128i abcd0 = abcd, e00 = e0;
        __m128i w[4];
        for (int i = 0; i < 4; ++i)
            w[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), order);
        // Group 0 takes E from the state; the others from the rounds before.
        __m128i previous = abcd;
        abcd = _mm_sha1rnds4_epu32(abcd, _mm_add_epi32(e0, w[0]), 0);
        {
            const __m128i next = _mm_xor_si128(_mm_sha1msg1_epu32(w[0], w[1]), w[2]);
            w[0] = _mm_sha1msg2_epu32(next, w[3]);
        }
        sha1_groups(abcd, previous, w, std::make_integer_sequence<int, 19>{});
        e0 = _mm_sha1nexte_epu32(previous, e00);
        abcd = _mm_add_epi32(abcd, abcd0);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

}  // namespace ombrak::digests
