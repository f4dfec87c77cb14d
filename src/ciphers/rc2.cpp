// RC2 kernel: the key expansion through the pi-based table, mixing and mashing rounds.
#include "ombrak/ciphers/rc2.h"

#include <bit>
#include <cstring>

#include "ombrak/ciphers/block.h"

namespace ombrak::ciphers {

namespace {

// The key expansion's permutation (RFC 2268, derived there from the digits of pi).
// clang-format off
constexpr std::uint8_t kPiTable[256] = {
    0xd9, 0x78, 0xf9, 0xc4, 0x19, 0xdd, 0xb5, 0xed, 0x28, 0xe9, 0xfd, 0x79, 0x4a, 0xa0, 0xd8, 0x9d,
    0xc6, 0x7e, 0x37, 0x83, 0x2b, 0x76, 0x53, 0x8e, 0x62, 0x4c, 0x64, 0x88, 0x44, 0x8b, 0xfb, 0xa2,
    0x17, 0x9a, 0x59, 0xf5, 0x87, 0xb3, 0x4f, 0x13, 0x61, 0x45, 0x6d, 0x8d, 0x09, 0x81, 0x7d, 0x32,
    0xbd, 0x8f, 0x40, 0xeb, 0x86, 0xb7, 0x7b, 0x0b, 0xf0, 0x95, 0x21, 0x22, 0x5c, 0x6b, 0x4e, 0x82,
    0x54, 0xd6, 0x65, 0x93, 0xce, 0x60, 0xb2, 0x1c, 0x73, 0x56, 0xc0, 0x14, 0xa7, 0x8c, 0xf1, 0xdc,
    0x12, 0x75, 0xca, 0x1f, 0x3b, 0xbe, 0xe4, 0xd1, 0x42, 0x3d, 0xd4, 0x30, 0xa3, 0x3c, 0xb6, 0x26,
    0x6f, 0xbf, 0x0e, 0xda, 0x46, 0x69, 0x07, 0x57, 0x27, 0xf2, 0x1d, 0x9b, 0xbc, 0x94, 0x43, 0x03,
    0xf8, 0x11, 0xc7, 0xf6, 0x90, 0xef, 0x3e, 0xe7, 0x06, 0xc3, 0xd5, 0x2f, 0xc8, 0x66, 0x1e, 0xd7,
    0x08, 0xe8, 0xea, 0xde, 0x80, 0x52, 0xee, 0xf7, 0x84, 0xaa, 0x72, 0xac, 0x35, 0x4d, 0x6a, 0x2a,
    0x96, 0x1a, 0xd2, 0x71, 0x5a, 0x15, 0x49, 0x74, 0x4b, 0x9f, 0xd0, 0x5e, 0x04, 0x18, 0xa4, 0xec,
    0xc2, 0xe0, 0x41, 0x6e, 0x0f, 0x51, 0xcb, 0xcc, 0x24, 0x91, 0xaf, 0x50, 0xa1, 0xf4, 0x70, 0x39,
    0x99, 0x7c, 0x3a, 0x85, 0x23, 0xb8, 0xb4, 0x7a, 0xfc, 0x02, 0x36, 0x5b, 0x25, 0x55, 0x97, 0x31,
    0x2d, 0x5d, 0xfa, 0x98, 0xe3, 0x8a, 0x92, 0xae, 0x05, 0xdf, 0x29, 0x10, 0x67, 0x6c, 0xba, 0xc9,
    0xd3, 0x00, 0xe6, 0xcf, 0xe1, 0x9e, 0xa8, 0x2c, 0x63, 0x16, 0x01, 0x3f, 0x58, 0xe2, 0x89, 0xa9,
    0x0d, 0x38, 0x34, 0x1b, 0xab, 0x33, 0xff, 0xb0, 0xbb, 0x48, 0x0c, 0x5f, 0xb9, 0xb1, 0xcd, 0x2e,
    0xc5, 0xf3, 0xdb, 0x47, 0xe5, 0xa5, 0x9c, 0x77, 0x0a, 0xa6, 0x20, 0x68, 0xfe, 0x7f, 0xc1, 0xad,
};
// clang-format on

constexpr int kShift[4] = {1, 2, 3, 5};

}  // namespace

Rc2Kernel::~Rc2Kernel() {
    wipe(k_, sizeof k_);
}

void Rc2Kernel::set_key(const std::uint8_t* key, std::size_t length,
                        unsigned effective_bits) noexcept {
    std::uint8_t l[128] = {};
    for (std::size_t i = 0; i < length; ++i) l[i] = key[i];
    for (std::size_t i = length; i < 128; ++i) l[i] = kPiTable[(l[i - 1] + l[i - length]) & 0xFF];
    const unsigned t8 = (effective_bits + 7) / 8;
    const unsigned tm = 0xFFu >> (8 * t8 - effective_bits);
    l[128 - t8] = kPiTable[l[128 - t8] & tm];
    for (int i = 127 - static_cast<int>(t8); i >= 0; --i) l[i] = kPiTable[l[i + 1] ^ l[i + t8]];
    for (int i = 0; i < 64; ++i) k_[i] = static_cast<std::uint16_t>(l[2 * i] | l[2 * i + 1] << 8);
    wipe(l, sizeof l);
}

namespace {

// A block as one little-endian 64-bit value and as its four 16-bit words.
std::uint64_t load64(const std::uint8_t* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
void store64(std::uint8_t* p, std::uint64_t v) noexcept {
    std::memcpy(p, &v, 8);
}

}  // namespace

std::uint64_t Rc2Kernel::encrypt_value(std::uint64_t v) const noexcept {
    std::uint16_t r[4] = {static_cast<std::uint16_t>(v), static_cast<std::uint16_t>(v >> 16),
                          static_cast<std::uint16_t>(v >> 32), static_cast<std::uint16_t>(v >> 48)};
    int j = 0;
    auto mix = [&] {
        for (int i = 0; i < 4; ++i) {
            // (r1 & r2) + (~r1 & r3) picks bits of r2 or r3 by r1: r3 ^ (r1 & (r2 ^ r3)), whose
            // only step after r1 is known is one AND and one XOR.
            const std::uint32_t r1 = r[(i + 3) & 3], r2 = r[(i + 2) & 3], r3 = r[(i + 1) & 3];
            std::uint32_t early = r[i] + k_[j++];
            // Keeps the compiler from folding the early sum back behind the newest word.
            asm("" : "+r"(early));
            const std::uint32_t sum = early + (r3 ^ (r1 & (r2 ^ r3)));
            r[i] = std::rotl(static_cast<std::uint16_t>(sum), kShift[i]);
        }
    };
    auto mash = [&] {
        for (int i = 0; i < 4; ++i)
            r[i] = static_cast<std::uint16_t>(r[i] + k_[r[(i + 3) & 3] & 63]);
    };
    for (int n = 0; n < 5; ++n) mix();
    mash();
    for (int n = 0; n < 6; ++n) mix();
    mash();
    for (int n = 0; n < 5; ++n) mix();
    return r[0] | std::uint64_t{r[1]} << 16 | std::uint64_t{r[2]} << 32 | std::uint64_t{r[3]} << 48;
}

template <int Ways>
void Rc2Kernel::decrypt_values(std::uint64_t (&v)[Ways]) const noexcept {
    std::uint16_t r[Ways][4];
    for (int w = 0; w < Ways; ++w)
        for (int i = 0; i < 4; ++i) r[w][i] = static_cast<std::uint16_t>(v[w] >> 16 * i);
    int j = 63;
    auto unmix = [&] {
        for (int i = 3; i >= 0; --i, --j) {
            for (int w = 0; w < Ways; ++w) {
                const std::uint32_t r1 = r[w][(i + 3) & 3], r2 = r[w][(i + 2) & 3],
                                    r3 = r[w][(i + 1) & 3];
                const std::uint16_t v16 = std::rotr(r[w][i], kShift[i]);
                r[w][i] = static_cast<std::uint16_t>(v16 - k_[j] - (r3 ^ (r1 & (r2 ^ r3))));
            }
        }
    };
    auto unmash = [&] {
        for (int i = 3; i >= 0; --i)
            for (int w = 0; w < Ways; ++w)
                r[w][i] = static_cast<std::uint16_t>(r[w][i] - k_[r[w][(i + 3) & 3] & 63]);
    };
    for (int n = 0; n < 5; ++n) unmix();
    unmash();
    for (int n = 0; n < 6; ++n) unmix();
    unmash();
    for (int n = 0; n < 5; ++n) unmix();
    for (int w = 0; w < Ways; ++w)
        v[w] = r[w][0] | std::uint64_t{r[w][1]} << 16 | std::uint64_t{r[w][2]} << 32 |
               std::uint64_t{r[w][3]} << 48;
}

void Rc2Kernel::encrypt_block(std::uint8_t* b) const noexcept {
    store64(b, encrypt_value(load64(b)));
}

void Rc2Kernel::decrypt_block(std::uint8_t* b) const noexcept {
    std::uint64_t v[1] = {load64(b)};
    decrypt_values(v);
    store64(b, v[0]);
}

void Rc2Kernel::cbc_encrypt(std::uint8_t* data, std::size_t blocks,
                            std::uint8_t* chain) const noexcept {
    // The chaining value stays in a register from block to block.
    std::uint64_t c = load64(chain);
    for (; blocks; --blocks, data += 8) {
        c = encrypt_value(c ^ load64(data));
        store64(data, c);
    }
    store64(chain, c);
}

void Rc2Kernel::cbc_decrypt(std::uint8_t* data, std::size_t blocks,
                            std::uint8_t* chain) const noexcept {
    // Blocks decrypt independently: two at a time keep both chains of the rounds busy.
    std::uint64_t c = load64(chain);
    for (; blocks >= 2; blocks -= 2, data += 16) {
        std::uint64_t v[2] = {load64(data), load64(data + 8)};
        const std::uint64_t c0 = v[0], c1 = v[1];
        decrypt_values(v);
        store64(data, v[0] ^ c);
        store64(data + 8, v[1] ^ c0);
        c = c1;
    }
    if (blocks) {
        std::uint64_t v[1] = {load64(data)};
        const std::uint64_t c1 = v[0];
        decrypt_values(v);
        store64(data, v[0] ^ c);
        c = c1;
    }
    store64(chain, c);
}

}  // namespace ombrak::ciphers
