// DES kernel. The round works on 32-bit words: each S-box and the permutation P are merged into
// one table of 64 words, the expansion E becomes two rotations, and IP and its inverse are
// table lookups by input byte. The key schedule's permutations are table lookups too: PC-1 by
// key byte, PC-2 by 7-bit piece of each rotated half.
#include "ombrak/ciphers/des.h"

#include <array>
#include <bit>
#include <cstring>

#include "ombrak/ciphers/block.h"

namespace ombrak::ciphers {

namespace {

// clang-format off
constexpr std::uint8_t kIP[64] = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17,  9, 1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
constexpr std::uint8_t kE[48] = {
    32,  1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9, 10, 11, 12, 13, 12, 13, 14, 15, 16, 17,
    16, 17, 18, 19, 20, 21, 20, 21, 22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32,  1};
constexpr std::uint8_t kP[32] = {
    16,  7, 20, 21, 29, 12, 28, 17,  1, 15, 23, 26,  5, 18, 31, 10,
     2,  8, 24, 14, 32, 27,  3,  9, 19, 13, 30,  6, 22, 11,  4, 25};
constexpr std::uint8_t kPC1[56] = {
    57, 49, 41, 33, 25, 17,  9,  1, 58, 50, 42, 34, 26, 18, 10,  2, 59, 51, 43, 35, 27,
    19, 11,  3, 60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15,  7, 62, 54, 46, 38, 30, 22,
    14,  6, 61, 53, 45, 37, 29, 21, 13,  5, 28, 20, 12,  4};
constexpr std::uint8_t kPC2[48] = {
    14, 17, 11, 24,  1,  5,  3, 28, 15,  6, 21, 10, 23, 19, 12,  4, 26,  8, 16,  7, 27, 20, 13,  2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr std::uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr std::uint8_t kS[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7}, {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0}, {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10}, {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15}, {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8}, {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7}, {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15}, {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4}, {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9}, {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14}, {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11}, {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6}, {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1}, {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2}, {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7}, {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8}, {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}}};
// clang-format on

// Every row of every S-box is a permutation of 0..15, and the expansion repeats the edges of
// each 4-bit group, which the rotations below rely on.
constexpr bool rows_are_permutations() {
    for (const auto& box : kS)
        for (const auto& row : box) {
            unsigned seen = 0;
            for (auto v : row) seen |= 1u << v;
            if (seen != 0xFFFF) return false;
        }
    return true;
}
static_assert(rows_are_permutations());
constexpr bool expansion_is_regular() {
    for (int j = 0; j < 8; ++j)
        for (int k = 0; k < 6; ++k)
            if (kE[6 * j + k] != (4 * j + k + 31) % 32 + 1) return false;
    return true;
}
static_assert(expansion_is_regular());

// Bit n (1-based, 1 = most significant) of a w-bit value.
constexpr std::uint64_t bit(std::uint64_t v, int n, int w) {
    return (v >> (w - n)) & 1;
}

// The output of S-box j for a 6-bit input, through P: a 32-bit word.
constexpr std::array<std::array<std::uint32_t, 64>, 8> make_sp() {
    std::array<std::array<std::uint32_t, 64>, 8> t{};
    for (int j = 0; j < 8; ++j) {
        for (int g = 0; g < 64; ++g) {
            int row = ((g >> 4) & 2) | (g & 1), col = (g >> 1) & 15;
            std::uint32_t s = static_cast<std::uint32_t>(kS[j][row][col]) << (28 - 4 * j);
            std::uint32_t p = 0;
            for (int i = 1; i <= 32; ++i)
                p |= static_cast<std::uint32_t>(bit(s, kP[i - 1], 32)) << (32 - i);
            t[j][g] = p;
        }
    }
    return t;
}
constexpr auto kSP = make_sp();

// A selection of N of the 64 bits (a permutation when N is 64) as eight tables, one per input
// byte, each giving an N-bit result.
using Perm64 = std::array<std::array<std::uint64_t, 256>, 8>;
template <int N>
constexpr Perm64 make_perm(const std::uint8_t (&map)[N]) {
    Perm64 t{};
    for (int byte = 0; byte < 8; ++byte)
        for (int v = 0; v < 256; ++v) {
            std::uint64_t in = static_cast<std::uint64_t>(v) << (56 - 8 * byte), out = 0;
            for (int i = 1; i <= N; ++i) out |= bit(in, map[i - 1], 64) << (N - i);
            t[byte][v] = out;
        }
    return t;
}
constexpr std::array<std::uint8_t, 64> inverse(const std::uint8_t (&map)[64]) {
    std::array<std::uint8_t, 64> inv{};
    for (int i = 0; i < 64; ++i) inv[map[i] - 1] = static_cast<std::uint8_t>(i + 1);
    return inv;
}
constexpr auto kFPMap = inverse(kIP);
constexpr std::uint8_t kFP[64] = {
    kFPMap[0],  kFPMap[1],  kFPMap[2],  kFPMap[3],  kFPMap[4],  kFPMap[5],  kFPMap[6],  kFPMap[7],
    kFPMap[8],  kFPMap[9],  kFPMap[10], kFPMap[11], kFPMap[12], kFPMap[13], kFPMap[14], kFPMap[15],
    kFPMap[16], kFPMap[17], kFPMap[18], kFPMap[19], kFPMap[20], kFPMap[21], kFPMap[22], kFPMap[23],
    kFPMap[24], kFPMap[25], kFPMap[26], kFPMap[27], kFPMap[28], kFPMap[29], kFPMap[30], kFPMap[31],
    kFPMap[32], kFPMap[33], kFPMap[34], kFPMap[35], kFPMap[36], kFPMap[37], kFPMap[38], kFPMap[39],
    kFPMap[40], kFPMap[41], kFPMap[42], kFPMap[43], kFPMap[44], kFPMap[45], kFPMap[46], kFPMap[47],
    kFPMap[48], kFPMap[49], kFPMap[50], kFPMap[51], kFPMap[52], kFPMap[53], kFPMap[54], kFPMap[55],
    kFPMap[56], kFPMap[57], kFPMap[58], kFPMap[59], kFPMap[60], kFPMap[61], kFPMap[62], kFPMap[63]};
static_assert(kFP[0] == 40 && kFP[63] == 25);  // FIPS 46-3's IP^-1 begins 40 and ends 25
constexpr Perm64 kIPTable = make_perm(kIP);
constexpr Perm64 kFPTable = make_perm(kFP);

// PC-1 by key byte, giving C and D joined (56 bits).
constexpr Perm64 kPC1Table = make_perm(kPC1);

// A round key's 6-bit groups as the round function takes them: 0, 2, 4, 6 in bytes 3, 2, 1, 0
// of one word (the high half here), 1, 3, 5, 7 likewise in the other (the low half).
constexpr std::uint64_t split_groups(std::uint64_t sub48) {
    std::uint64_t even = 0, odd = 0;
    for (int j = 0; j < 8; ++j) {
        std::uint64_t group = (sub48 >> (42 - 6 * j)) & 63;
        if (j % 2 == 0)
            even |= group << (24 - 4 * j);
        else
            odd |= group << (24 - 4 * (j - 1));
    }
    return even << 32 | odd;
}

// PC-2 as eight tables by 7-bit piece of C (pieces 0..3) and D (4..7), each giving its bits of
// the round key already split into groups. PC-2 takes its first 24 bits from C, the rest from D.
constexpr std::array<std::array<std::uint64_t, 128>, 8> make_pc2() {
    std::array<std::array<std::uint64_t, 128>, 8> t{};
    for (int piece = 0; piece < 8; ++piece)
        for (int v = 0; v < 128; ++v) {
            std::uint64_t half = static_cast<std::uint64_t>(v) << (21 - 7 * (piece % 4));
            std::uint64_t joined = piece < 4 ? half << 28 : half, sub = 0;
            for (int i = 1; i <= 48; ++i) sub |= bit(joined, kPC2[i - 1], 56) << (48 - i);
            t[piece][v] = split_groups(sub);
        }
    return t;
}
constexpr auto kPC2Table = make_pc2();

inline std::uint64_t permute(const Perm64& t, std::uint64_t v) {
    return t[0][v >> 56] | t[1][(v >> 48) & 0xFF] | t[2][(v >> 40) & 0xFF] |
           t[3][(v >> 32) & 0xFF] | t[4][(v >> 24) & 0xFF] | t[5][(v >> 16) & 0xFF] |
           t[6][(v >> 8) & 0xFF] | t[7][v & 0xFF];
}

inline std::uint64_t load_be64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
}
inline void store_be64(std::uint8_t* p, std::uint64_t v) {
    v = __builtin_bswap64(v);
    std::memcpy(p, &v, 8);
}

// E(R) XOR K through S and P. Group j of E(R) is rotl(R, 4j + 5) & 63, so rotr(R, 3) holds
// groups 6, 4, 2, 0 in its bytes and rotl(R, 1) groups 7, 5, 3, 1.
inline std::uint32_t feistel(std::uint32_t r, std::uint32_t k_even, std::uint32_t k_odd) {
    std::uint32_t a = std::rotr(r, 3) ^ k_even, b = std::rotl(r, 1) ^ k_odd;
    return kSP[0][(a >> 24) & 63] ^ kSP[2][(a >> 16) & 63] ^ kSP[4][(a >> 8) & 63] ^
           kSP[6][a & 63] ^ kSP[1][(b >> 24) & 63] ^ kSP[3][(b >> 16) & 63] ^
           kSP[5][(b >> 8) & 63] ^ kSP[7][b & 63];
}

}  // namespace

DesKernel::DesKernel() noexcept {
    const std::uint8_t zero[8] = {};
    set_key(zero);
}

DesKernel::~DesKernel() {
    wipe(keys_, sizeof keys_);
}

void DesKernel::set_key(const std::uint8_t key[8]) noexcept {
    const std::uint64_t cd = permute(kPC1Table, load_be64(key));
    std::uint32_t c = static_cast<std::uint32_t>(cd >> 28),
                  d = static_cast<std::uint32_t>(cd & 0xFFFFFFF);
    for (int round = 0; round < 16; ++round) {
        const int s = kShifts[round];
        c = ((c << s) | (c >> (28 - s))) & 0xFFFFFFF;
        d = ((d << s) | (d >> (28 - s))) & 0xFFFFFFF;
        const std::uint64_t k = kPC2Table[0][c >> 21] | kPC2Table[1][(c >> 14) & 127] |
                                kPC2Table[2][(c >> 7) & 127] | kPC2Table[3][c & 127] |
                                kPC2Table[4][d >> 21] | kPC2Table[5][(d >> 14) & 127] |
                                kPC2Table[6][(d >> 7) & 127] | kPC2Table[7][d & 127];
        keys_[2 * round] = static_cast<std::uint32_t>(k >> 32);
        keys_[2 * round + 1] = static_cast<std::uint32_t>(k);
    }
}

template <bool Decrypt>
std::uint64_t DesKernel::crypt(std::uint64_t block) const noexcept {
    std::uint64_t v = permute(kIPTable, block);
    std::uint32_t l = static_cast<std::uint32_t>(v >> 32), r = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 16; i += 2) {
        int a = Decrypt ? 15 - i : i, b = Decrypt ? 14 - i : i + 1;
        l ^= feistel(r, keys_[2 * a], keys_[2 * a + 1]);
        r ^= feistel(l, keys_[2 * b], keys_[2 * b + 1]);
    }
    return permute(kFPTable, (static_cast<std::uint64_t>(r) << 32) | l);
}

void DesKernel::encrypt_block(std::uint8_t* b) const noexcept {
    store_be64(b, crypt<false>(load_be64(b)));
}
void DesKernel::decrypt_block(std::uint8_t* b) const noexcept {
    store_be64(b, crypt<true>(load_be64(b)));
}

void DesKernel::decrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept {
    std::size_t i = 0;
    // Two independent blocks per pass overlap their table loads.
    for (; i + 2 <= blocks; i += 2) {
        std::uint64_t x = permute(kIPTable, load_be64(data + 8 * i));
        std::uint64_t y = permute(kIPTable, load_be64(data + 8 * i + 8));
        std::uint32_t l0 = static_cast<std::uint32_t>(x >> 32), r0 = static_cast<std::uint32_t>(x);
        std::uint32_t l1 = static_cast<std::uint32_t>(y >> 32), r1 = static_cast<std::uint32_t>(y);
        for (int k = 15; k > 0; k -= 2) {
            const std::uint32_t* ka = keys_ + 2 * k;
            const std::uint32_t* kb = keys_ + 2 * (k - 1);
            l0 ^= feistel(r0, ka[0], ka[1]);
            l1 ^= feistel(r1, ka[0], ka[1]);
            r0 ^= feistel(l0, kb[0], kb[1]);
            r1 ^= feistel(l1, kb[0], kb[1]);
        }
        store_be64(data + 8 * i, permute(kFPTable, (static_cast<std::uint64_t>(r0) << 32) | l0));
        store_be64(data + 8 * i + 8,
                   permute(kFPTable, (static_cast<std::uint64_t>(r1) << 32) | l1));
    }
    for (; i < blocks; ++i) decrypt_block(data + 8 * i);
}

void DesKernel::cbc_encrypt(std::uint8_t* data, std::size_t blocks,
                            std::uint8_t* chain) const noexcept {
    std::uint64_t c = load_be64(chain);
    for (std::size_t i = 0; i < blocks; ++i, data += 8) {
        c = crypt<false>(c ^ load_be64(data));
        store_be64(data, c);
    }
    store_be64(chain, c);
}

void DesKernel::cbc_decrypt(std::uint8_t* data, std::size_t blocks,
                            std::uint8_t* chain) const noexcept {
    cbc_decrypt_chunked(*this, data, blocks, chain);
}

void TripleDesKernel::set_key(const std::uint8_t key[24]) noexcept {
    k1_.set_key(key);
    k2_.set_key(key + 8);
    k3_.set_key(key + 16);
}

template <bool Decrypt, int Ways>
void DesKernel::rounds(std::uint32_t (&l)[Ways], std::uint32_t (&r)[Ways]) const noexcept {
    for (int i = 0; i < 16; i += 2) {
        const std::uint32_t* ka = keys_ + 2 * (Decrypt ? 15 - i : i);
        const std::uint32_t* kb = keys_ + 2 * (Decrypt ? 14 - i : i + 1);
        for (int w = 0; w < Ways; ++w) l[w] ^= feistel(r[w], ka[0], ka[1]);
        for (int w = 0; w < Ways; ++w) r[w] ^= feistel(l[w], kb[0], kb[1]);
    }
}

std::uint64_t DesKernel::initial_permutation(std::uint64_t block) noexcept {
    return permute(kIPTable, block);
}

std::uint64_t DesKernel::final_permutation(std::uint64_t block) noexcept {
    return permute(kFPTable, block);
}

// The three passes between one initial and one final permutation: each pass's output halves,
// swapped, are the next pass's input.
template <bool Decrypt, int Ways>
void TripleDesKernel::crypt(std::uint32_t (&l)[Ways], std::uint32_t (&r)[Ways]) const noexcept {
    auto swap = [&] {
        for (int w = 0; w < Ways; ++w) std::swap(l[w], r[w]);
    };
    (Decrypt ? k3_ : k1_).template rounds<Decrypt, Ways>(l, r);
    swap();
    k2_.rounds<!Decrypt, Ways>(l, r);
    swap();
    (Decrypt ? k1_ : k3_).template rounds<Decrypt, Ways>(l, r);
}

namespace {

template <class F>
void on_halves(std::uint8_t* b, F&& f) {
    const std::uint64_t v = DesKernel::initial_permutation(load_be64(b));
    std::uint32_t l[1] = {static_cast<std::uint32_t>(v >> 32)},
                  r[1] = {static_cast<std::uint32_t>(v)};
    f(l, r);
    store_be64(b, DesKernel::final_permutation((static_cast<std::uint64_t>(r[0]) << 32) | l[0]));
}

}  // namespace

void TripleDesKernel::encrypt_block(std::uint8_t* b) const noexcept {
    on_halves(b, [this](auto& l, auto& r) { crypt<false, 1>(l, r); });
}

void TripleDesKernel::decrypt_block(std::uint8_t* b) const noexcept {
    on_halves(b, [this](auto& l, auto& r) { crypt<true, 1>(l, r); });
}

void TripleDesKernel::cbc_encrypt(std::uint8_t* data, std::size_t blocks,
                                  std::uint8_t* chain) const noexcept {
    std::uint64_t c = load_be64(chain);
    for (; blocks; --blocks, data += 8) {
        const std::uint64_t v = DesKernel::initial_permutation(c ^ load_be64(data));
        std::uint32_t l[1] = {static_cast<std::uint32_t>(v >> 32)},
                      r[1] = {static_cast<std::uint32_t>(v)};
        crypt<false, 1>(l, r);
        c = DesKernel::final_permutation((static_cast<std::uint64_t>(r[0]) << 32) | l[0]);
        store_be64(data, c);
    }
    store_be64(chain, c);
}

void TripleDesKernel::cbc_decrypt(std::uint8_t* data, std::size_t blocks,
                                  std::uint8_t* chain) const noexcept {
    std::uint64_t c = load_be64(chain);
    // Two blocks at a time: CBC decryption of one block does not wait for the other.
    for (; blocks >= 2; blocks -= 2, data += 16) {
        const std::uint64_t c0 = load_be64(data), c1 = load_be64(data + 8);
        const std::uint64_t v0 = DesKernel::initial_permutation(c0),
                            v1 = DesKernel::initial_permutation(c1);
        std::uint32_t l[2] = {static_cast<std::uint32_t>(v0 >> 32),
                              static_cast<std::uint32_t>(v1 >> 32)},
                      r[2] = {static_cast<std::uint32_t>(v0), static_cast<std::uint32_t>(v1)};
        crypt<true, 2>(l, r);
        store_be64(data, c ^ DesKernel::final_permutation((static_cast<std::uint64_t>(r[0]) << 32) |
                                                          l[0]));
        store_be64(data + 8, c0 ^ DesKernel::final_permutation(
                                      (static_cast<std::uint64_t>(r[1]) << 32) | l[1]));
        c = c1;
    }
    if (blocks) {
        const std::uint64_t c0 = load_be64(data);
        decrypt_block(data);
        store_be64(data, load_be64(data) ^ c);
        c = c0;
    }
    store_be64(chain, c);
}

}  // namespace ombrak::ciphers
