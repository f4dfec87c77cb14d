// MD2 (RFC 1319) and MD4 (RFC 1320), the provider's older hashes.
#include "ombrak/digests/legacy.h"

#include <bit>
#include <cstring>

namespace ombrak::digests {

namespace {

// MD2's substitution table, printed by tools/gen_md2_table.py from the digits of pi.
// clang-format off
constexpr std::uint8_t kMd2S[256] = {
    41, 46, 67, 201, 162, 216, 124, 1, 61, 54, 84, 161, 236, 240, 6, 19,
    98, 167, 5, 243, 192, 199, 115, 140, 152, 147, 43, 217, 188, 76, 130, 202,
    30, 155, 87, 60, 253, 212, 224, 22, 103, 66, 111, 24, 138, 23, 229, 18,
    190, 78, 196, 214, 218, 158, 222, 73, 160, 251, 245, 142, 187, 47, 238, 122,
    169, 104, 121, 145, 21, 178, 7, 63, 148, 194, 16, 137, 11, 34, 95, 33,
    128, 127, 93, 154, 90, 144, 50, 39, 53, 62, 204, 231, 191, 247, 151, 3,
    255, 25, 48, 179, 72, 165, 181, 209, 215, 94, 146, 42, 172, 86, 170, 198,
    79, 184, 56, 210, 150, 164, 125, 182, 118, 252, 107, 226, 156, 116, 4, 241,
    69, 157, 112, 89, 100, 113, 135, 32, 134, 91, 207, 101, 230, 45, 168, 2,
    27, 96, 37, 173, 174, 176, 185, 246, 28, 70, 97, 105, 52, 64, 126, 15,
    85, 71, 163, 35, 221, 81, 175, 58, 195, 92, 249, 206, 186, 197, 234, 38,
    44, 83, 13, 110, 133, 40, 132, 9, 211, 223, 205, 244, 65, 129, 77, 82,
    106, 220, 55, 200, 108, 193, 171, 250, 36, 225, 123, 8, 12, 189, 177, 74,
    120, 136, 149, 139, 227, 99, 232, 109, 233, 203, 213, 254, 59, 0, 29, 57,
    242, 239, 183, 14, 102, 88, 208, 228, 166, 119, 114, 248, 235, 117, 75, 10,
    49, 68, 80, 180, 143, 237, 31, 26, 219, 153, 141, 51, 159, 17, 131, 20,
};
// clang-format on
static_assert(kMd2S[0] == 41 && kMd2S[1] == 46 && kMd2S[255] == 20);

}  // namespace

void Md2::update(std::span<const std::uint8_t> data) noexcept {
    for (const std::uint8_t b : data) {
        block_[used_++] = b;
        if (used_ == 16) {
            compress(block_.data());
            used_ = 0;
        }
    }
}

void Md2::compress(const std::uint8_t* block) noexcept {
    for (int j = 0; j < 16; ++j) {
        x_[16 + j] = block[j];
        x_[32 + j] = static_cast<std::uint8_t>(x_[16 + j] ^ x_[j]);
        checksum_[j] ^= kMd2S[block[j] ^ last_];
        last_ = checksum_[j];
    }
    // A serial chain through the table: kept in a local copy and in full-width integers so
    // nothing but the lookup and the XOR lies on it.
    std::uint32_t x[48];
    for (int k = 0; k < 48; ++k) x[k] = x_[k];
    std::uint32_t t = 0;
    for (std::uint32_t round = 0; round < 18; ++round) {
#pragma GCC unroll 48
        for (int k = 0; k < 48; ++k) t = x[k] ^= kMd2S[t];
        t = (t + round) & 0xFF;
    }
    for (int k = 0; k < 48; ++k) x_[k] = static_cast<std::uint8_t>(x[k]);
}

std::array<std::uint8_t, 16> Md2::final() noexcept {
    const auto pad = static_cast<std::uint8_t>(16 - used_);
    while (used_ < 16) block_[used_++] = pad;
    compress(block_.data());
    const auto checksum = checksum_;
    compress(checksum.data());
    std::array<std::uint8_t, 16> d;
    std::memcpy(d.data(), x_.data(), 16);
    *this = Md2();
    return d;
}

void Md4Algo::compress(State& s, const std::uint8_t* blocks, std::size_t n) noexcept {
    using std::rotl;
    for (; n; --n, blocks += 64) {
        std::uint32_t x[16];
        std::memcpy(x, blocks, 64);  // little-endian words
        std::uint32_t a = s[0], b = s[1], c = s[2], d = s[3];
        // Each step's sum is ordered so that only the part of the round function that needs
        // the newest word follows it: the data word and the other two words are added first.
        auto f = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) {
            return z ^ (x & (y ^ z));
        };

        for (int i = 0; i < 16; i += 4) {
            a = rotl((a + x[i]) + f(b, c, d), 3);
            d = rotl((d + x[i + 1]) + f(a, b, c), 7);
            c = rotl((c + x[i + 2]) + f(d, a, b), 11);
            b = rotl((b + x[i + 3]) + f(c, d, a), 19);
        }
        constexpr std::uint32_t k2 = 0x5A827999, k3 = 0x6ED9EBA1;
        // The majority of u, v, w is (v & w) + (u & (v ^ w)): the two parts share no bit, so the
        // part without u joins the early sum.
        for (int i = 0; i < 4; ++i) {
            a = rotl((a + x[i] + k2 + (c & d)) + (b & (c ^ d)), 3);
            d = rotl((d + x[i + 4] + k2 + (b & c)) + (a & (b ^ c)), 5);
            c = rotl((c + x[i + 8] + k2 + (a & b)) + (d & (a ^ b)), 9);
            b = rotl((b + x[i + 12] + k2 + (d & a)) + (c & (d ^ a)), 13);
        }
        constexpr int kOrder[4] = {0, 2, 1, 3};
        for (int i : kOrder) {
            a = rotl((a + x[i] + k3) + (b ^ (c ^ d)), 3);
            d = rotl((d + x[i + 8] + k3) + (a ^ (b ^ c)), 9);
            c = rotl((c + x[i + 4] + k3) + (d ^ (a ^ b)), 11);
            b = rotl((b + x[i + 12] + k3) + (c ^ (d ^ a)), 15);
        }
        s[0] += a;
        s[1] += b;
        s[2] += c;
        s[3] += d;
    }
}

}  // namespace ombrak::digests
