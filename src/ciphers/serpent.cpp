// Serpent kernel: key schedule, one block at a time on plain words, and the choice of lanes.
#include "ombrak/ciphers/serpent.h"

#include <cstring>
#include <optional>
#include <string_view>

#include "ciphers/serpent_lanes.h"
#include "ciphers/serpent_rounds.h"
#include "ombrak/ciphers/block.h"

namespace ombrak::ciphers {

namespace {

using PlainWords = ShiftWords<std::uint32_t>;
using Plain = SerpentRounds<PlainWords>;

template <bool Decrypt>
void plain_blocks(const std::uint32_t (*k)[4], std::uint8_t* b, std::size_t blocks) {
    for (std::size_t i = 0; i < blocks; ++i, b += 16) {
        // Word X0 is the last 4-byte group, X3 the first.
        std::uint32_t x0 = load_le32(b + 12), x1 = load_le32(b + 8), x2 = load_le32(b + 4),
                      x3 = load_le32(b);
        if constexpr (Decrypt)
            Plain::decrypt(x0, x1, x2, x3, k);
        else
            Plain::encrypt(x0, x1, x2, x3, k);
        store_le32(b + 12, x0);
        store_le32(b + 8, x1);
        store_le32(b + 4, x2);
        store_le32(b, x3);
    }
}

template <int Box>
void subkey(std::uint32_t* w, std::uint32_t* out) {
    std::uint32_t x0 = w[0], x1 = w[1], x2 = w[2], x3 = w[3];
    Plain::sbox<Box>(x0, x1, x2, x3);
    out[0] = x0;
    out[1] = x1;
    out[2] = x2;
    out[3] = x3;
}

enum class Lanes { Portable, Avx2, Avx512 };

Lanes lanes_in_use() {
    static const Lanes lanes = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f")) return Lanes::Avx512;
        if (__builtin_cpu_supports("avx2")) return Lanes::Avx2;
        return Lanes::Portable;
    }();
    return lanes;
}

std::optional<Lanes> lanes_named(std::string_view name) {
    if (name == "avx512") return Lanes::Avx512;
    if (name == "avx2") return Lanes::Avx2;
    if (name == "portable") return Lanes::Portable;
    return std::nullopt;
}

template <bool Decrypt>
void run(const std::uint32_t (*k)[4], std::uint8_t* data, std::size_t blocks,
         Lanes lanes = lanes_in_use()) {
    std::size_t done = 0;
    switch (lanes) {
        case Lanes::Avx512:
            done = serpent_lanes_avx512(k, data, blocks, Decrypt);
            break;
        case Lanes::Avx2:
            done = serpent_lanes_avx2(k, data, blocks, Decrypt);
            break;
        case Lanes::Portable:
            break;
    }
    plain_blocks<Decrypt>(k, data + 16 * done, blocks - done);
}

}  // namespace

SerpentKernel::SerpentKernel() noexcept {
    const std::uint8_t zero[32] = {};
    set_key(zero);
}

SerpentKernel::~SerpentKernel() {
    wipe(k_, sizeof k_);
}

void SerpentKernel::set_key(const std::uint8_t key[32]) noexcept {
    // w[0..7] are the prekey words w-8..w-1: w-8 is the last 4-byte group of the key.
    std::uint32_t w[140];
    for (int m = 0; m < 8; ++m) w[m] = load_le32(key + 28 - 4 * m);
    // The last eight words stay in registers (r[m] holds the word at an index = m mod 8), and
    // everything but the word before is XORed first: the chain from word to word is one XOR
    // and one rotation, with no store and reload on it.
    std::uint32_t r[8];
    for (int m = 0; m < 8; ++m) r[m] = w[m];
    auto step = [&](int i, int m) {
        std::uint32_t rest =
            r[m] ^ r[(m + 3) & 7] ^ r[(m + 5) & 7] ^ (0x9E3779B9u ^ static_cast<std::uint32_t>(i));
        // Keeps the compiler from reassociating the XORs, which would put the word before
        // first and lengthen the chain to five XORs.
        asm("" : "+r"(rest));
        const std::uint32_t v = rest ^ r[(m + 7) & 7];
        r[m] = v << 11 | v >> 21;
        w[i + 8] = r[m];
    };
    int i = 0;
    for (; i + 8 <= 132; i += 8) {
        step(i, 0), step(i + 1, 1), step(i + 2, 2), step(i + 3, 3);
        step(i + 4, 4), step(i + 5, 5), step(i + 6, 6), step(i + 7, 7);
    }
    step(i, 0), step(i + 1, 1), step(i + 2, 2), step(i + 3, 3);  // 132 = 16 * 8 + 4
    // Subkey j through S-box (3 - j) mod 8.
    for (int j = 0; j < 33; ++j) {
        std::uint32_t* in = w + 8 + 4 * j;
        switch ((3 - j) & 7) {
            case 0:
                subkey<0>(in, k_[j]);
                break;
            case 1:
                subkey<1>(in, k_[j]);
                break;
            case 2:
                subkey<2>(in, k_[j]);
                break;
            case 3:
                subkey<3>(in, k_[j]);
                break;
            case 4:
                subkey<4>(in, k_[j]);
                break;
            case 5:
                subkey<5>(in, k_[j]);
                break;
            case 6:
                subkey<6>(in, k_[j]);
                break;
            default:
                subkey<7>(in, k_[j]);
                break;
        }
    }
    wipe(w, sizeof w);
}

void SerpentKernel::encrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept {
    run<false>(k_, data, blocks);
}

void SerpentKernel::decrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept {
    run<true>(k_, data, blocks);
}

bool SerpentKernel::lanes_available(const char* name) noexcept {
    const auto lanes = lanes_named(name);
    return lanes && *lanes <= lanes_in_use();
}

void SerpentKernel::crypt_with(const char* name, std::uint8_t* data, std::size_t blocks,
                               bool decrypt) const noexcept {
    const Lanes lanes = lanes_available(name) ? *lanes_named(name) : Lanes::Portable;
    if (decrypt)
        run<true>(k_, data, blocks, lanes);
    else
        run<false>(k_, data, blocks, lanes);
}

const char* SerpentKernel::lanes() noexcept {
    switch (lanes_in_use()) {
        case Lanes::Avx512:
            return "avx512";
        case Lanes::Avx2:
            return "avx2";
        default:
            return "portable";
    }
}

}  // namespace ombrak::ciphers
