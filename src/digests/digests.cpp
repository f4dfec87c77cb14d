// MD5, SHA-1 and SHA-256 block functions, portable, and the choice of SHA instructions.
#include "ombrak/digests/digests.h"

#include <cpuid.h>

#include <bit>
#include <cstring>

#include "digests/sha_lanes.h"

namespace ombrak::digests {

namespace {

using std::rotl;
using std::rotr;

inline std::uint32_t load_le(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline std::uint32_t load_be(const std::uint8_t* p) {
    return __builtin_bswap32(load_le(p));
}

bool cpu_has_sha() {
    // Read from CPUID directly: not every compiler's __builtin_cpu_supports knows "sha".
    static const bool yes = [] {
        unsigned a, b, c, d;
        if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSE4_1)) return false;
        return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_SHA);
    }();
    return yes;
}

// The SHA instructions when the CPU has them, the portable code otherwise.
template <class Algo, auto Ni>
void sha_compress(typename Algo::State& s, const std::uint8_t* blocks, std::size_t n,
                  const std::uint8_t* more, std::size_t m) noexcept {
    if (cpu_has_sha()) {
        Ni(s.data(), blocks, n, more, m);
    } else {
        Algo::compress_portable(s, blocks, n);
        Algo::compress_portable(s, more, m);
    }
}

// ---- MD5 ---------------------------------------------------------------------------------

constexpr std::uint32_t kMd5K[64] = {
    0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE, 0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
    0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE, 0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
    0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA, 0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
    0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED, 0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
    0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C, 0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
    0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05, 0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
    0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039, 0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
    0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1, 0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391};
constexpr int kMd5R[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// Step I of MD5 with its round function, message word and rotation fixed at compile time.
template <int I>
inline void md5_step(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                     const std::uint32_t* x) {
    constexpr int round = I / 16;
    constexpr int word = round == 0   ? I
                         : round == 1 ? (5 * I + 1) % 16
                         : round == 2 ? (3 * I + 5) % 16
                                      : (7 * I) % 16;
    // The sum is taken in the order that leaves the fewest operations after b is known: the
    // terms without b first, then the part of the round function that needs it.
    const std::uint32_t early = a + kMd5K[I] + x[word];
    std::uint32_t sum;
    if constexpr (round == 0)
        sum = early + (d ^ (b & (c ^ d)));
    else if constexpr (round == 1)
        sum = (early + (c & ~d)) + (b & d);  // the two parts share no bits
    else if constexpr (round == 2)
        sum = early + (b ^ (c ^ d));
    else
        sum = early + (c ^ (b | ~d));
    a = b + rotl(sum, kMd5R[round][I % 4]);
}

template <int... I>
inline void md5_steps(std::uint32_t (&v)[4], const std::uint32_t* x,
                      std::integer_sequence<int, I...>) {
    // Step I updates register (-I mod 4) from the three after it.
    ((md5_step<I>(v[(4 - I % 4) % 4], v[(5 - I % 4) % 4], v[(6 - I % 4) % 4], v[(7 - I % 4) % 4],
                  x)),
     ...);
}

}  // namespace

void Md5Algo::compress(State& s, const std::uint8_t* blocks, std::size_t n) noexcept {
    for (std::size_t b = 0; b < n; ++b, blocks += 64) {
        std::uint32_t x[16];
        for (int i = 0; i < 16; ++i) x[i] = load_le(blocks + 4 * i);
        std::uint32_t v[4] = {s[0], s[1], s[2], s[3]};
        md5_steps(v, x, std::make_integer_sequence<int, 64>{});
        for (int i = 0; i < 4; ++i) s[i] += v[i];
    }
}

// ---- SHA-1 and SHA-256, portable -----------------------------------------------------------

void Sha1Algo::compress_portable(State& s, const std::uint8_t* blocks, std::size_t n) noexcept {
    for (std::size_t b = 0; b < n; ++b, blocks += 64) {
        std::uint32_t w[80];
        for (int i = 0; i < 16; ++i) w[i] = load_be(blocks + 4 * i);
        for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = s[0], bb = s[1], c = s[2], d = s[3], e = s[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f, k;
            if (i < 20)
                f = d ^ (bb & (c ^ d)), k = 0x5A827999;
            else if (i < 40)
                f = bb ^ c ^ d, k = 0x6ED9EBA1;
            else if (i < 60)
                f = (bb & c) | (d & (bb | c)), k = 0x8F1BBCDC;
            else
                f = bb ^ c ^ d, k = 0xCA62C1D6;
            const std::uint32_t t = rotl(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = rotl(bb, 30);
            bb = a;
            a = t;
        }
        s[0] += a, s[1] += bb, s[2] += c, s[3] += d, s[4] += e;
    }
}

void Sha1Algo::compress2(State& s, const std::uint8_t* blocks, std::size_t n,
                         const std::uint8_t* more, std::size_t m) noexcept {
    sha_compress<Sha1Algo, sha1_compress_ni>(s, blocks, n, more, m);
}

void Sha256Algo::compress_portable(State& s, const std::uint8_t* blocks, std::size_t n) noexcept {
    for (std::size_t b = 0; b < n; ++b, blocks += 64) {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i) w[i] = load_be(blocks + 4 * i);
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = s[0], bb = s[1], c = s[2], d = s[3], e = s[4], f = s[5], g = s[6],
                      h = s[7];
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) +
                                     (g ^ (e & (f ^ g))) + kSha256K[i] + w[i];
            const std::uint32_t t2 =
                (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & bb) | (c & (a | bb)));
            h = g, g = f, f = e, e = d + t1, d = c, c = bb, bb = a, a = t1 + t2;
        }
        s[0] += a, s[1] += bb, s[2] += c, s[3] += d, s[4] += e, s[5] += f, s[6] += g, s[7] += h;
    }
}

void Sha256Algo::compress2(State& s, const std::uint8_t* blocks, std::size_t n,
                           const std::uint8_t* more, std::size_t m) noexcept {
    sha_compress<Sha256Algo, sha256_compress_ni>(s, blocks, n, more, m);
}

bool sha_instructions() noexcept {
    return cpu_has_sha();
}

}  // namespace ombrak::digests
