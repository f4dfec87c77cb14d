// Serpent's rounds over any word type: a plain 32-bit word (one block) or a vector holding the
// same word of many blocks. Each S-box output bit is written as a(x0, x1, x2) ^ (x3 & b(x0, x1,
// x2)) with a and b three-input functions derived from the published table at compile time, so
// the circuits follow from the table itself; a word type evaluates a three-input function by
// its truth table (one instruction with AVX-512's ternary logic, its algebraic normal form
// otherwise). Included by one unit per instruction set, hence the internal linkage.
#pragma once

#include <array>
#include <cstdint>

namespace ombrak::ciphers {
namespace {

constexpr std::uint8_t kSerpentS[8][16] = {
    {3, 8, 15, 1, 10, 6, 5, 11, 14, 13, 4, 2, 7, 0, 9, 12},
    {15, 12, 2, 7, 9, 0, 5, 10, 1, 11, 14, 8, 6, 13, 3, 4},
    {8, 6, 7, 9, 3, 12, 10, 15, 13, 1, 14, 4, 0, 11, 5, 2},
    {0, 15, 11, 8, 12, 9, 6, 3, 13, 1, 2, 4, 10, 7, 5, 14},
    {1, 15, 8, 3, 12, 0, 11, 6, 2, 5, 4, 10, 9, 14, 7, 13},
    {15, 5, 2, 11, 4, 10, 9, 12, 0, 3, 14, 8, 13, 6, 7, 1},
    {7, 2, 12, 5, 8, 4, 6, 11, 14, 9, 1, 15, 13, 3, 10, 0},
    {1, 13, 15, 0, 14, 8, 2, 11, 7, 4, 12, 10, 9, 3, 5, 6},
};

// For S-box `box` (8..15: the inverse of box - 8) and output bit j: the truth tables of a and b
// indexed by x2 x1 x0 (x2 the most significant), as AVX-512's ternary logic takes them.
struct BoxTables {
    std::uint8_t a[4], b[4];
};
constexpr std::array<BoxTables, 16> make_box_tables() {
    std::array<BoxTables, 16> t{};
    for (int box = 0; box < 16; ++box) {
        std::uint8_t s[16] = {};
        for (int v = 0; v < 16; ++v) {
            if (box < 8)
                s[v] = kSerpentS[box][v];
            else
                s[kSerpentS[box - 8][v]] = static_cast<std::uint8_t>(v);
        }
        for (int j = 0; j < 4; ++j) {
            int a = 0, b = 0;
            for (int v = 0; v < 8; ++v) {
                const int lo = (s[v] >> j) & 1, hi = (s[v + 8] >> j) & 1;
                a |= lo << v;
                b |= (lo ^ hi) << v;
            }
            t[box].a[j] = static_cast<std::uint8_t>(a);
            t[box].b[j] = static_cast<std::uint8_t>(b);
        }
    }
    return t;
}
constexpr std::array<BoxTables, 16> kBoxTables = make_box_tables();

// The algebraic normal form of a three-input truth table: bit m is the coefficient of the
// product of the inputs in m (bit 2 = a, bit 1 = b, bit 0 = c).
constexpr std::uint8_t anf(std::uint8_t table) {
    std::uint8_t f = table;
    for (int step = 1; step < 8; step <<= 1)
        for (int m = 0; m < 8; ++m)
            if (m & step) f = static_cast<std::uint8_t>(f ^ (((f >> (m ^ step)) & 1) << m));
    return f;
}

/// A three-input function on words of any type with the bitwise operators, by its ANF.
template <std::uint8_t Table, class V>
inline V tern_anf(V a, V b, V c, V ones) {
    constexpr std::uint8_t f = anf(Table);
    V r = (f & 1) ? ones : V(a ^ a);
    if (f & 2) r ^= c;
    if (f & 4) r ^= b;
    if (f & 8) r ^= b & c;
    if (f & 16) r ^= a;
    if (f & 32) r ^= a & c;
    if (f & 64) r ^= a & b;
    if (f & 128) r ^= a & b & c;
    return r;
}

/// The word operations of a type with C++'s shift and arithmetic operators: a plain 32-bit word,
/// or a compiler vector of them (where a scalar operand is applied to every lane).
template <class Word>
struct ShiftWords {
    using V = Word;
    template <std::uint8_t T>
    static V tern(V a, V b, V c) {
        return tern_anf<T>(a, b, c, V{} - 1);
    }
    template <int N>
    static V rotl(V v) {
        return v << N | v >> (32 - N);
    }
    template <int N>
    static V shl(V v) {
        return v << N;
    }
    static V set1(std::uint32_t w) { return V{} + w; }
};

// W provides: type V; tern<Table>(a, b, c); rotl<n>(v); shl<n>(v); set1(word).
template <class W>
struct SerpentRounds {
    using V = typename W::V;

    template <int Box>
    static inline void sbox(V& x0, V& x1, V& x2, V& x3) {
        constexpr BoxTables t = kBoxTables[Box];
        const V y0 = W::template tern<0x78>(W::template tern<t.a[0]>(x2, x1, x0),
                                            W::template tern<t.b[0]>(x2, x1, x0), x3);
        const V y1 = W::template tern<0x78>(W::template tern<t.a[1]>(x2, x1, x0),
                                            W::template tern<t.b[1]>(x2, x1, x0), x3);
        const V y2 = W::template tern<0x78>(W::template tern<t.a[2]>(x2, x1, x0),
                                            W::template tern<t.b[2]>(x2, x1, x0), x3);
        const V y3 = W::template tern<0x78>(W::template tern<t.a[3]>(x2, x1, x0),
                                            W::template tern<t.b[3]>(x2, x1, x0), x3);
        x0 = y0;
        x1 = y1;
        x2 = y2;
        x3 = y3;
    }

    static inline void lt(V& x0, V& x1, V& x2, V& x3) {
        x0 = W::template rotl<13>(x0);
        x2 = W::template rotl<3>(x2);
        x1 = W::template tern<0x96>(x1, x0, x2);
        x3 = W::template tern<0x96>(x3, x2, W::template shl<3>(x0));
        x1 = W::template rotl<1>(x1);
        x3 = W::template rotl<7>(x3);
        x0 = W::template tern<0x96>(x0, x1, x3);
        x2 = W::template tern<0x96>(x2, x3, W::template shl<7>(x1));
        x0 = W::template rotl<5>(x0);
        x2 = W::template rotl<22>(x2);
    }

    static inline void inverse_lt(V& x0, V& x1, V& x2, V& x3) {
        x2 = W::template rotl<10>(x2);
        x0 = W::template rotl<27>(x0);
        x2 = W::template tern<0x96>(x2, x3, W::template shl<7>(x1));
        x0 = W::template tern<0x96>(x0, x1, x3);
        x3 = W::template rotl<25>(x3);
        x1 = W::template rotl<31>(x1);
        x3 = W::template tern<0x96>(x3, x2, W::template shl<3>(x0));
        x1 = W::template tern<0x96>(x1, x0, x2);
        x2 = W::template rotl<29>(x2);
        x0 = W::template rotl<19>(x0);
    }

    static inline void mix(V& x0, V& x1, V& x2, V& x3, const std::uint32_t* k) {
        x0 ^= W::set1(k[0]);
        x1 ^= W::set1(k[1]);
        x2 ^= W::set1(k[2]);
        x3 ^= W::set1(k[3]);
    }

    template <int Box>
    static inline void round(V& x0, V& x1, V& x2, V& x3, const std::uint32_t (*k)[4], int r) {
        mix(x0, x1, x2, x3, k[r]);
        sbox<Box>(x0, x1, x2, x3);
        if (r < 31)
            lt(x0, x1, x2, x3);
        else
            mix(x0, x1, x2, x3, k[32]);
    }

    template <int Box>
    static inline void inverse_round(V& x0, V& x1, V& x2, V& x3, const std::uint32_t (*k)[4],
                                     int r) {
        if (r < 31)
            inverse_lt(x0, x1, x2, x3);
        else
            mix(x0, x1, x2, x3, k[32]);
        sbox<Box + 8>(x0, x1, x2, x3);
        mix(x0, x1, x2, x3, k[r]);
    }

    static void encrypt(V& x0, V& x1, V& x2, V& x3, const std::uint32_t (*k)[4]) {
        for (int r = 0; r < 32; r += 8) {
            round<0>(x0, x1, x2, x3, k, r);
            round<1>(x0, x1, x2, x3, k, r + 1);
            round<2>(x0, x1, x2, x3, k, r + 2);
            round<3>(x0, x1, x2, x3, k, r + 3);
            round<4>(x0, x1, x2, x3, k, r + 4);
            round<5>(x0, x1, x2, x3, k, r + 5);
            round<6>(x0, x1, x2, x3, k, r + 6);
            round<7>(x0, x1, x2, x3, k, r + 7);
        }
    }

    static void decrypt(V& x0, V& x1, V& x2, V& x3, const std::uint32_t (*k)[4]) {
        for (int r = 24; r >= 0; r -= 8) {
            inverse_round<7>(x0, x1, x2, x3, k, r + 7);
            inverse_round<6>(x0, x1, x2, x3, k, r + 6);
            inverse_round<5>(x0, x1, x2, x3, k, r + 5);
            inverse_round<4>(x0, x1, x2, x3, k, r + 4);
            inverse_round<3>(x0, x1, x2, x3, k, r + 3);
            inverse_round<2>(x0, x1, x2, x3, k, r + 2);
            inverse_round<1>(x0, x1, x2, x3, k, r + 1);
            inverse_round<0>(x0, x1, x2, x3, k, r);
        }
    }
};

}  // namespace
}  // namespace ombrak::ciphers
