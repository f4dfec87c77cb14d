// GOST kernel. The round function's four pair-table lookups, the shift into place and the
// rotation by 11 are folded into four tables of words, so f is an addition, a digit correction
// and four lookups. Decryption of independent blocks interleaves eight of them to hide the
// lookups' latency.
#include "ombrak/ciphers/gost.h"

#include <array>
#include <bit>
#include <cstring>

#include "ombrak/ciphers/block.h"

namespace ombrak::ciphers {

namespace {

constexpr std::uint8_t kS[8][16] = {
    {6, 5, 1, 7, 14, 0, 4, 10, 11, 9, 3, 13, 8, 12, 2, 15},
    {14, 13, 9, 0, 8, 10, 12, 4, 7, 15, 6, 11, 3, 1, 5, 2},
    {6, 5, 1, 7, 2, 4, 10, 0, 11, 13, 14, 3, 8, 12, 15, 9},
    {8, 7, 3, 9, 6, 4, 14, 5, 2, 13, 0, 12, 1, 11, 10, 15},
    {10, 9, 6, 11, 5, 1, 8, 4, 0, 13, 7, 2, 14, 3, 15, 12},
    {5, 3, 0, 6, 11, 13, 4, 14, 10, 7, 1, 12, 2, 8, 15, 9},
    {2, 1, 12, 3, 11, 13, 15, 7, 10, 6, 9, 14, 0, 8, 4, 5},
    {6, 5, 1, 7, 8, 9, 4, 2, 15, 3, 13, 12, 10, 14, 11, 0},
};

// Table m (0..3) gives, for a digit v, the pair table T(2m+1)(2m) of v shifted to byte m of w and
// rotated left by 11. Digit d3 goes through table 0, d2 through 1, d1 through 2, d0 through 3.
using Tables = std::array<std::array<std::uint32_t, 256>, 4>;
constexpr Tables make_tables() {
    Tables t{};
    for (int m = 0; m < 4; ++m)
        for (int v = 0; v < 256; ++v) {
            const std::uint32_t pair = kS[2 * m + 1][v / 16] * 16u + kS[2 * m][v % 16];
            t[m][v] = std::rotl(pair << (8 * m), 11);
        }
    return t;
}
constexpr Tables kT = make_tables();
static_assert(kT[0][0] == std::rotl(0xE6u, 11));

inline std::uint32_t f(std::uint32_t x, std::uint32_t k) noexcept {
    const std::uint32_t s = x + k;
    // Digit j of s read as signed, by truncating division: for a negative s, truncation toward
    // zero is the division of s + 256^j - 1, whose byte j is the digit; a non-negative s's
    // digits are its bytes. The biased sums come straight from s, so only the choice between
    // them waits for its sign.
    const std::uint32_t m = static_cast<std::uint32_t>(static_cast<std::int32_t>(s) >> 31);
    const std::uint32_t d1 = s + (m >> 24), d2 = s + (m >> 16), d3 = s + (m >> 8);
    return (kT[3][s & 0xFF] ^ kT[0][d3 >> 24]) ^
           (kT[2][(d1 >> 8) & 0xFF] ^ kT[1][(d2 >> 16) & 0xFF]);
}

}  // namespace

GostKernel::~GostKernel() {
    wipe(k_, sizeof k_);
}

void GostKernel::set_key(const std::uint8_t key[32]) noexcept {
    static_assert(std::endian::native == std::endian::little, "key words are little-endian");
    std::memcpy(k_, key, sizeof k_);
}

std::uint32_t GostKernel::round_function(std::uint32_t x, std::uint32_t k) noexcept {
    return f(x, k);
}

void GostKernel::encrypt(std::uint32_t& l, std::uint32_t& r) const noexcept {
    std::uint32_t p = l, q = r;
    const std::uint32_t* k = k_;
    for (int n = 0; n < 3; ++n)
        for (int j = 0; j < 8; j += 2) {
            q ^= f(p, k[j]);
            p ^= f(q, k[j + 1]);
        }
    for (int j = 7; j > 0; j -= 2) {
        q ^= f(p, k[j]);
        p ^= f(q, k[j - 1]);
    }
    l = p;
    r = q;
}

void GostKernel::decrypt(std::uint32_t& l, std::uint32_t& r) const noexcept {
    std::uint32_t p = r, q = l;
    const std::uint32_t* k = k_;
    for (int j = 0; j < 8; j += 2) {
        q ^= f(p, k[j]);
        p ^= f(q, k[j + 1]);
    }
    for (int n = 0; n < 3; ++n)
        for (int j = 7; j > 0; j -= 2) {
            q ^= f(p, k[j]);
            p ^= f(q, k[j - 1]);
        }
    l = q;
    r = p;
}

void GostKernel::encrypt_block(std::uint8_t* b) const noexcept {
    on_words(b, [this](std::uint32_t& l, std::uint32_t& r) { encrypt(l, r); });
}

void GostKernel::decrypt_block(std::uint8_t* b) const noexcept {
    on_words(b, [this](std::uint32_t& l, std::uint32_t& r) { decrypt(l, r); });
}

namespace {

// Decrypts N blocks at once: the rounds of different blocks are independent, so their lookups
// overlap.
template <int N>
inline void decrypt_n(const std::uint32_t* k, std::uint8_t* b) noexcept {
    std::uint32_t p[N], q[N];
    for (int i = 0; i < N; ++i) {
        q[i] = load_be32(b + 8 * i);
        p[i] = load_be32(b + 8 * i + 4);
    }
    auto pair = [&](std::uint32_t ka, std::uint32_t kb) {
        for (int i = 0; i < N; ++i) q[i] ^= f(p[i], ka);
        for (int i = 0; i < N; ++i) p[i] ^= f(q[i], kb);
    };
    for (int j = 0; j < 8; j += 2) pair(k[j], k[j + 1]);
    for (int n = 0; n < 3; ++n)
        for (int j = 7; j > 0; j -= 2) pair(k[j], k[j - 1]);
    for (int i = 0; i < N; ++i) {
        store_be32(b + 8 * i, q[i]);
        store_be32(b + 8 * i + 4, p[i]);
    }
}

}  // namespace

void GostKernel::decrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept {
    std::size_t i = 0;
    for (; i + 8 <= blocks; i += 8) decrypt_n<8>(k_, data + 8 * i);
    for (; i < blocks; ++i) decrypt_n<1>(k_, data + 8 * i);
}

void GostKernel::cbc_encrypt(std::uint8_t* data, std::size_t blocks,
                             std::uint8_t* chain) const noexcept {
    cbc_encrypt_words(*this, data, blocks, chain);
}

void GostKernel::cbc_decrypt(std::uint8_t* data, std::size_t blocks,
                             std::uint8_t* chain) const noexcept {
    cbc_decrypt_chunked(*this, data, blocks, chain);
}

}  // namespace ombrak::ciphers
