// Blowfish kernel.
#include "ombrak/ciphers/blowfish.h"

#include <cstring>

#include "ciphers/blowfish_tables.h"
#include "ombrak/ciphers/block.h"

namespace ombrak::ciphers {

BlowfishKernel::~BlowfishKernel() {
    wipe(p_, sizeof p_);
    wipe(s_, sizeof s_);
}

namespace {
// The initial S-boxes in both layouts, dealt out once per process.
struct InitialBoxes {
    std::uint32_t library[4][256], published[4][256];
    InitialBoxes() {
        for (int k = 0; k < 1024; ++k) {
            library[k % 4][k / 4] = kPiWords[18 + k];
            published[k / 256][k % 256] = kPiWords[18 + k];
        }
    }
};
const InitialBoxes& initial_boxes() {
    static const InitialBoxes boxes;
    return boxes;
}
}  // namespace

void BlowfishKernel::reset() noexcept {
    std::memcpy(p_, kPiWords, sizeof p_);
    const InitialBoxes& boxes = initial_boxes();
    std::memcpy(s_, layout_ == Layout::Library ? boxes.library : boxes.published, sizeof s_);
}

void BlowfishKernel::pack_key(const std::uint8_t* bytes, std::size_t n,
                              std::uint32_t out[18]) noexcept {
    std::size_t pos = 0;
    for (int i = 0; i < 18; ++i) {
        std::uint32_t w = 0;
        for (int k = 0; k < 4; ++k) {
            // The three low bytes move up one place; the lowest keeps its value and takes the new
            // byte by OR.
            w = ((w << 8) | (w & 0xFF)) | bytes[pos];
            pos = pos + 1 == n ? 0 : pos + 1;
        }
        out[i] = w;
    }
}

void BlowfishKernel::expand(const std::uint32_t key_words[18]) noexcept {
    for (int i = 0; i < 18; ++i) p_[i] ^= key_words[i];
    std::uint32_t l = 0, r = 0;
    for (int i = 0; i < 18; i += 2) {
        encrypt(l, r);
        p_[i] = l;
        p_[i + 1] = r;
    }
    for (auto& box : s_) {
        for (int j = 0; j < 256; j += 2) {
            encrypt(l, r);
            box[j] = l;
            box[j + 1] = r;
        }
    }
}

// Two rounds per step. Each P word is XORed into the half that is not waiting for F, so only
// F and one XOR lie on the chain from round to round.
[[gnu::always_inline]] inline void BlowfishKernel::encrypt(std::uint32_t& l0,
                                                           std::uint32_t& r0) const noexcept {
    std::uint32_t l = l0 ^ p_[0], r = r0;
#pragma GCC unroll 8
    for (int i = 0; i < 16; i += 2) {
        r ^= p_[i + 1];
        r ^= f(l);
        l ^= p_[i + 2];
        l ^= f(r);
    }
    l0 = r ^ p_[17];
    r0 = l;  // already XORed with P16
}

// Here each P word already meets the half that is not waiting for F.
void BlowfishKernel::decrypt(std::uint32_t& l0, std::uint32_t& r0) const noexcept {
    std::uint32_t l = r0 ^ p_[16], r = l0 ^ p_[17];
#pragma GCC unroll 8
    for (int i = 14; i >= 0; i -= 2) {
        l ^= f(r);
        r ^= p_[i + 1];
        r ^= f(l);
        l ^= p_[i];
    }
    l0 = l;
    r0 = r;
}

void BlowfishKernel::encrypt_block(std::uint8_t* b) const noexcept {
    on_words(b, [this](std::uint32_t& l, std::uint32_t& r) { encrypt(l, r); });
}

void BlowfishKernel::decrypt_block(std::uint8_t* b) const noexcept {
    on_words(b, [this](std::uint32_t& l, std::uint32_t& r) { decrypt(l, r); });
}

void BlowfishKernel::decrypt_ecb(std::uint8_t* data, std::size_t blocks) const noexcept {
    std::size_t i = 0;
    // Four independent blocks in step keep the table loads of all four in flight at once.
    for (; i + 4 <= blocks; i += 4) {
        std::uint8_t* b = data + i * 8;
        std::uint32_t l[4], r[4];
        for (int k = 0; k < 4; ++k) {
            r[k] = load_be32(b + 8 * k) ^ p_[17];
            l[k] = load_be32(b + 8 * k + 4) ^ p_[16];
        }
        for (int j = 14; j >= 0; j -= 2) {
            for (int k = 0; k < 4; ++k) l[k] ^= f(r[k]);
            for (int k = 0; k < 4; ++k) r[k] ^= p_[j + 1] ^ f(l[k]);
            for (int k = 0; k < 4; ++k) l[k] ^= p_[j];
        }
        for (int k = 0; k < 4; ++k) {
            store_be32(b + 8 * k, l[k]);
            store_be32(b + 8 * k + 4, r[k]);
        }
    }
    for (; i < blocks; ++i) decrypt_block(data + i * 8);
}

void BlowfishKernel::cbc_encrypt(std::uint8_t* data, std::size_t blocks,
                                 std::uint8_t* chain) const noexcept {
    cbc_encrypt_words(*this, data, blocks, chain);
}

void BlowfishKernel::cbc_decrypt(std::uint8_t* data, std::size_t blocks,
                                 std::uint8_t* chain) const noexcept {
    cbc_decrypt_chunked(*this, data, blocks, chain);
}

}  // namespace ombrak::ciphers
