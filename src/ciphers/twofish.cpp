// Twofish kernel. The q permutations and the MDS columns (with the final q folded in) are
// constant tables computed at compile time from their definitions; the key schedule builds the
// keyed table g(x) = MDS(chain(x)) one byte position at a time.
#include "ombrak/ciphers/twofish.h"

#include <array>
#include <bit>
#include <cstring>

#include "ombrak/ciphers/block.h"

namespace ombrak::ciphers {

namespace {

using Perm = std::array<std::uint8_t, 256>;

// q0 and q1 from their four 4-bit permutations each.
constexpr std::uint8_t kT[2][4][16] = {
    {{8, 1, 7, 13, 6, 15, 3, 2, 0, 11, 5, 9, 14, 12, 10, 4},
     {14, 12, 11, 8, 1, 2, 3, 5, 15, 4, 10, 6, 7, 0, 9, 13},
     {11, 10, 5, 14, 6, 13, 9, 0, 12, 8, 15, 3, 2, 4, 7, 1},
     {13, 7, 15, 4, 1, 2, 6, 14, 9, 11, 3, 0, 8, 5, 12, 10}},
    {{2, 8, 11, 13, 15, 7, 6, 14, 3, 1, 9, 4, 0, 10, 12, 5},
     {1, 14, 2, 11, 4, 12, 3, 7, 6, 13, 10, 5, 15, 9, 0, 8},
     {4, 12, 7, 5, 1, 6, 9, 10, 0, 14, 13, 8, 2, 11, 3, 15},
     {11, 9, 5, 1, 12, 3, 13, 14, 6, 4, 7, 15, 2, 0, 8, 10}},
};

constexpr Perm make_q(int w) {
    Perm q{};
    auto ror4 = [](int v) { return ((v >> 1) | (v << 3)) & 15; };
    for (int x = 0; x < 256; ++x) {
        int a = x >> 4, b = x & 15;
        int a1 = a ^ b, b1 = (a ^ ror4(b) ^ (a << 3)) & 15;
        int a2 = kT[w][0][a1], b2 = kT[w][1][b1];
        int a3 = a2 ^ b2, b3 = (a2 ^ ror4(b2) ^ (a2 << 3)) & 15;
        int a4 = kT[w][2][a3], b4 = kT[w][3][b3];
        q[x] = static_cast<std::uint8_t>(b4 << 4 | a4);
    }
    return q;
}
constexpr Perm kQ0 = make_q(0), kQ1 = make_q(1);
static_assert(kQ0[0] == 0xA9 && kQ0[1] == 0x67 && kQ0[2] == 0xB3 && kQ0[3] == 0xE8);
static_assert(kQ1[0] == 0x75 && kQ1[1] == 0xF3 && kQ1[2] == 0xC6 && kQ1[3] == 0xF4);

constexpr std::uint8_t lfsr1(std::uint8_t x) {
    return static_cast<std::uint8_t>((x >> 1) ^ ((x & 1) ? 0xB4 : 0));
}
constexpr std::uint8_t lfsr2(std::uint8_t x) {
    return static_cast<std::uint8_t>((x >> 2) ^ ((x & 2) ? 0xB4 : 0) ^ ((x & 1) ? 0x5A : 0));
}
constexpr std::uint8_t mul5b(std::uint8_t x) {
    return static_cast<std::uint8_t>(x ^ lfsr2(x));
}
constexpr std::uint8_t mulef(std::uint8_t x) {
    return static_cast<std::uint8_t>(x ^ lfsr1(x) ^ lfsr2(x));
}

using Mds = std::array<std::array<std::uint32_t, 256>, 4>;
constexpr Mds make_mds() {
    Mds m{};
    auto word = [](std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
        return a | b << 8 | c << 16 | static_cast<std::uint32_t>(d) << 24;
    };
    for (int j = 0; j < 256; ++j) {
        const std::uint8_t x1 = kQ1[j], x0 = kQ0[j];
        m[0][j] = word(x1, mul5b(x1), mulef(x1), mulef(x1));
        m[1][j] = word(mulef(x0), mulef(x0), mul5b(x0), x0);
        m[2][j] = word(mul5b(x1), mulef(x1), x1, mulef(x1));
        m[3][j] = word(mul5b(x0), x0, mulef(x0), mul5b(x0));
    }
    return m;
}
constexpr Mds kMds = make_mds();

// Multiplication in GF(2^8) modulo x^8 + x^6 + x^3 + x^2 + 1, for the Reed-Solomon code.
constexpr std::uint8_t rs_mul(std::uint8_t a, std::uint8_t b) {
    std::uint8_t r = 0;
    while (b) {
        if (b & 1) r ^= a;
        a = static_cast<std::uint8_t>((a & 0x80) ? (a << 1) ^ 0x4D : a << 1);
        b >>= 1;
    }
    return r;
}

constexpr std::uint8_t kRs[4][8] = {
    {0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E},
    {0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5},
    {0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19},
    {0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03},
};

using std::rotl;
using std::rotr;
constexpr std::uint8_t byte(std::uint32_t v, int i) {
    return static_cast<std::uint8_t>(v >> (8 * i));
}

// Which q each layer of h applies at each byte position: the k = 4 layer, the k = 3 layer, and
// the two layers every key has (true: q1).
constexpr bool kUseQ1[4][4] = {
    {true, true, false, false},
    {false, true, true, false},
    {false, false, false, true},
    {true, false, true, true},
};

template <bool One>
constexpr std::uint8_t qq(std::uint8_t v) {
    return One ? kQ1[v] : kQ0[v];
}

// The key layers of h at byte position I with K key words, before the final q and the MDS
// column: the byte that enters MDS column I. `l` holds byte I of each key word.
template <int I, int K>
inline std::uint8_t chain(std::uint8_t y, const std::uint8_t* l) noexcept {
    if constexpr (K == 4) y = qq<kUseQ1[I][0]>(y) ^ l[3];
    if constexpr (K >= 3) y = qq<kUseQ1[I][1]>(y) ^ l[2];
    if constexpr (K >= 2) y = qq<kUseQ1[I][2]>(y) ^ l[1];
    return qq<kUseQ1[I][3]>(y) ^ l[0];
}

// Byte i of each of the K words.
template <int I, int K>
inline void bytes_at(const std::uint32_t* words, std::uint8_t* out) noexcept {
    for (int w = 0; w < K; ++w) out[w] = byte(words[w], I);
}

template <int K>
inline std::uint32_t h(std::uint8_t x, const std::uint8_t (&l)[4][4]) noexcept {
    // x in every byte, as the subkeys use it.
    return kMds[0][chain<0, K>(x, l[0])] ^ kMds[1][chain<1, K>(x, l[1])] ^
           kMds[2][chain<2, K>(x, l[2])] ^ kMds[3][chain<3, K>(x, l[3])];
}

// The products of the Reed-Solomon matrix's entries with every byte.
using RsTable = std::array<std::array<std::array<std::uint8_t, 256>, 8>, 4>;
constexpr RsTable make_rs_table() {
    RsTable t{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 8; ++c)
            for (int v = 0; v < 256; ++v)
                t[r][c][v] = rs_mul(kRs[r][c], static_cast<std::uint8_t>(v));
    return t;
}
constexpr RsTable kRsTable = make_rs_table();

}  // namespace

std::uint8_t TwofishKernel::q(int which, std::uint8_t x) noexcept {
    return which ? kQ1[x] : kQ0[x];
}

TwofishKernel::~TwofishKernel() {
    wipe(k_, sizeof k_);
    wipe(s_, sizeof s_);
}

namespace {

// Not vectorised: the table fill is lookups, which SSE2 can only emulate, slowly (GCC
// vectorises it and takes twice as long; clang leaves it scalar).
#if defined(__GNUC__) && !defined(__clang__)
#define OMBRAK_SCALAR_LOOPS __attribute__((optimize("no-tree-vectorize")))
#else
#define OMBRAK_SCALAR_LOOPS
#endif

template <int K>
OMBRAK_SCALAR_LOOPS void schedule(const std::uint8_t* key, std::uint32_t* subkeys,
                                  std::uint32_t (*table)[256]) noexcept {
    std::uint32_t me[4] = {}, mo[4] = {}, s[4] = {};
    for (int i = 0; i < K; ++i) {
        me[i] = load_le32(key + 8 * i);
        mo[i] = load_le32(key + 8 * i + 4);
        std::uint32_t word = 0;
        for (int r = 0; r < 4; ++r) {
            std::uint8_t v = 0;
            for (int c = 0; c < 8; ++c) v ^= kRsTable[r][c][key[8 * i + c]];
            word |= static_cast<std::uint32_t>(v) << (8 * r);
        }
        s[K - 1 - i] = word;
    }
    // The key words' bytes by position: [position][word].
    std::uint8_t e[4][4], o[4][4], sb[4][4];
    bytes_at<0, K>(me, e[0]), bytes_at<1, K>(me, e[1]), bytes_at<2, K>(me, e[2]),
        bytes_at<3, K>(me, e[3]);
    bytes_at<0, K>(mo, o[0]), bytes_at<1, K>(mo, o[1]), bytes_at<2, K>(mo, o[2]),
        bytes_at<3, K>(mo, o[3]);
    bytes_at<0, K>(s, sb[0]), bytes_at<1, K>(s, sb[1]), bytes_at<2, K>(s, sb[2]),
        bytes_at<3, K>(s, sb[3]);
    for (int i = 0; i < 20; ++i) {
        const std::uint32_t a = h<K>(static_cast<std::uint8_t>(2 * i), e);
        const std::uint32_t b = rotl(h<K>(static_cast<std::uint8_t>(2 * i + 1), o), 8);
        subkeys[2 * i] = a + b;
        subkeys[2 * i + 1] = rotl(a + 2 * b, 9);
    }
    for (int x = 0; x < 256; ++x) {
        const auto v = static_cast<std::uint8_t>(x);
        table[0][x] = kMds[0][chain<0, K>(v, sb[0])];
        table[1][x] = kMds[1][chain<1, K>(v, sb[1])];
        table[2][x] = kMds[2][chain<2, K>(v, sb[2])];
        table[3][x] = kMds[3][chain<3, K>(v, sb[3])];
    }
    wipe(me, sizeof me);
    wipe(mo, sizeof mo);
    wipe(s, sizeof s);
    wipe(e, sizeof e);
    wipe(o, sizeof o);
    wipe(sb, sizeof sb);
}

}  // namespace

void TwofishKernel::set_key(const std::uint8_t* key, std::size_t length) noexcept {
    switch (length / 8) {
        case 1:
            schedule<1>(key, k_, s_);
            break;
        case 2:
            schedule<2>(key, k_, s_);
            break;
        case 3:
            schedule<3>(key, k_, s_);
            break;
        default:
            schedule<4>(key, k_, s_);
            break;
    }
    keyed_ = true;
}

namespace {

struct Tables {
    const std::uint32_t (&s)[4][256];
    const std::uint32_t* k;
    std::uint32_t g0(std::uint32_t x) const noexcept {
        return s[0][byte(x, 0)] ^ s[1][byte(x, 1)] ^ s[2][byte(x, 2)] ^ s[3][byte(x, 3)];
    }
    // g of x rotated left by 8.
    std::uint32_t g1(std::uint32_t x) const noexcept {
        return s[0][byte(x, 3)] ^ s[1][byte(x, 0)] ^ s[2][byte(x, 1)] ^ s[3][byte(x, 2)];
    }
};

// One block's words through the 16 rounds, in registers.
inline void encrypt_words(const Tables& t, std::uint32_t& w0, std::uint32_t& w1, std::uint32_t& w2,
                          std::uint32_t& w3) noexcept {
    std::uint32_t r0 = w0 ^ t.k[0], r1 = w1 ^ t.k[1], r2 = w2 ^ t.k[2], r3 = w3 ^ t.k[3];
    for (int r = 0; r < 16; r += 2) {
        const std::uint32_t* k = t.k + 8 + 2 * r;
        std::uint32_t t0 = t.g0(r0), t1 = t.g1(r1);
        r2 = rotr(r2 ^ (t0 + t1 + k[0]), 1);
        r3 = rotl(r3, 1) ^ (t0 + 2 * t1 + k[1]);
        t0 = t.g0(r2);
        t1 = t.g1(r3);
        r0 = rotr(r0 ^ (t0 + t1 + k[2]), 1);
        r1 = rotl(r1, 1) ^ (t0 + 2 * t1 + k[3]);
    }
    w0 = r2 ^ t.k[4];
    w1 = r3 ^ t.k[5];
    w2 = r0 ^ t.k[6];
    w3 = r1 ^ t.k[7];
}

template <int N>
inline void decrypt_n(const Tables& t, std::uint8_t* b) noexcept {
    std::uint32_t r0[N], r1[N], r2[N], r3[N];
    for (int i = 0; i < N; ++i) {
        r2[i] = load_le32(b + 16 * i) ^ t.k[4];
        r3[i] = load_le32(b + 16 * i + 4) ^ t.k[5];
        r0[i] = load_le32(b + 16 * i + 8) ^ t.k[6];
        r1[i] = load_le32(b + 16 * i + 12) ^ t.k[7];
    }
    for (int r = 14; r >= 0; r -= 2) {
        const std::uint32_t* k = t.k + 8 + 2 * r;
        for (int i = 0; i < N; ++i) {
            std::uint32_t t0 = t.g0(r2[i]), t1 = t.g1(r3[i]);
            r0[i] = rotl(r0[i], 1) ^ (t0 + t1 + k[2]);
            r1[i] = rotr(r1[i] ^ (t0 + 2 * t1 + k[3]), 1);
            t0 = t.g0(r0[i]);
            t1 = t.g1(r1[i]);
            r2[i] = rotl(r2[i], 1) ^ (t0 + t1 + k[0]);
            r3[i] = rotr(r3[i] ^ (t0 + 2 * t1 + k[1]), 1);
        }
    }
    for (int i = 0; i < N; ++i) {
        store_le32(b + 16 * i, r0[i] ^ t.k[0]);
        store_le32(b + 16 * i + 4, r1[i] ^ t.k[1]);
        store_le32(b + 16 * i + 8, r2[i] ^ t.k[2]);
        store_le32(b + 16 * i + 12, r3[i] ^ t.k[3]);
    }
}

}  // namespace

void TwofishKernel::encrypt_block(std::uint8_t* b) const noexcept {
    std::uint32_t w0 = load_le32(b), w1 = load_le32(b + 4), w2 = load_le32(b + 8),
                  w3 = load_le32(b + 12);
    encrypt_words(Tables{s_, k_}, w0, w1, w2, w3);
    store_le32(b, w0);
    store_le32(b + 4, w1);
    store_le32(b + 8, w2);
    store_le32(b + 12, w3);
}

void TwofishKernel::decrypt_block(std::uint8_t* b) const noexcept {
    decrypt_n<1>(Tables{s_, k_}, b);
}

void TwofishKernel::decrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept {
    const Tables t{s_, k_};
    std::size_t i = 0;
    for (; i + 2 <= blocks; i += 2) decrypt_n<2>(t, data + 16 * i);
    for (; i < blocks; ++i) decrypt_n<1>(t, data + 16 * i);
}

void TwofishKernel::cbc_encrypt(std::uint8_t* data, std::size_t blocks,
                                std::uint8_t* chain) const noexcept {
    // The chaining words stay in registers from block to block.
    const Tables t{s_, k_};
    std::uint32_t c0 = load_le32(chain), c1 = load_le32(chain + 4), c2 = load_le32(chain + 8),
                  c3 = load_le32(chain + 12);
    for (std::size_t i = 0; i < blocks; ++i, data += 16) {
        c0 ^= load_le32(data);
        c1 ^= load_le32(data + 4);
        c2 ^= load_le32(data + 8);
        c3 ^= load_le32(data + 12);
        encrypt_words(t, c0, c1, c2, c3);
        store_le32(data, c0);
        store_le32(data + 4, c1);
        store_le32(data + 8, c2);
        store_le32(data + 12, c3);
    }
    store_le32(chain, c0);
    store_le32(chain + 4, c1);
    store_le32(chain + 8, c2);
    store_le32(chain + 12, c3);
}

void TwofishKernel::cbc_decrypt(std::uint8_t* data, std::size_t blocks,
                                std::uint8_t* chain) const noexcept {
    cbc_decrypt_chunked(*this, data, blocks, chain);
}

}  // namespace ombrak::ciphers
