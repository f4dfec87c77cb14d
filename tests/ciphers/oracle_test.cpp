// Twofish, Serpent, RC2, triple DES, MD2 and MD4 against an independent implementation
// (Nettle), for random keys, blocks and messages, and a Twofish-CBC envelope built by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "ombrak/ciphers/classes.h"
#include "ombrak/ciphers/rc2.h"
#include "ombrak/digests/legacy.h"
#include "ombrak/frame/platform.h"
#include "support.h"

// Nettle names its functions through macros (cbc_encrypt for nettle_cbc_encrypt), which would
// rename the kernels' members of the same names: its headers come last and the macros go.
#include <nettle/arctwo.h>
#include <nettle/cbc.h>
#include <nettle/des.h>
#include <nettle/md2.h>
#include <nettle/md4.h>
#include <nettle/serpent.h>
#include <nettle/twofish.h>
#undef cbc_encrypt
#undef cbc_decrypt

namespace ombrak {
namespace {

Bytes random_bytes(std::mt19937& rng, std::size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

// This library's Serpent takes the 4-byte groups of keys and blocks in reverse order.
Bytes reverse_groups(Bytes b) {
    for (std::size_t i = 0; i < b.size() / 2; i += 4)
        std::swap_ranges(b.begin() + i, b.begin() + i + 4, b.end() - i - 4);
    return b;
}

TEST(Oracle, TwofishBlocks) {
    std::mt19937 rng(test::seed(61));
    for (std::size_t length : {16, 24, 32}) {
        for (int trial = 0; trial < 50; ++trial) {
            const Bytes key = random_bytes(rng, length), block = random_bytes(rng, 16);
            twofish_ctx theirs;
            twofish_set_key(&theirs, length, key.data());
            Bytes expected(16);
            twofish_encrypt(&theirs, 16, expected.data(), block.data());
            ciphers::TwofishKernel ours;
            ours.set_key(key.data(), length);
            Bytes b = block;
            ours.encrypt_block(b.data());
            ASSERT_EQ(b, expected) << length << " " << trial;
            ours.decrypt_block(b.data());
            ASSERT_EQ(b, block);
        }
    }
}

TEST(Oracle, SerpentBlocksWithTheGroupsReversed) {
    std::mt19937 rng(test::seed(62));
    for (int trial = 0; trial < 50; ++trial) {
        const Bytes key = random_bytes(rng, 32), data = random_bytes(rng, 16 * 40);
        serpent_ctx theirs;
        const Bytes their_key = reverse_groups(key);
        serpent_set_key(&theirs, 32, their_key.data());
        Bytes expected(data.size());
        for (std::size_t o = 0; o < data.size(); o += 16) {
            Bytes in = reverse_groups(Bytes(data.begin() + o, data.begin() + o + 16)), out(16);
            serpent_encrypt(&theirs, 16, out.data(), in.data());
            out = reverse_groups(out);
            std::copy(out.begin(), out.end(), expected.begin() + o);
        }
        ciphers::SerpentKernel ours;
        ours.set_key(key.data());
        Bytes b = data;
        ours.encrypt_ecb(b.data(), 40);
        ASSERT_EQ(b, expected) << trial;
        ours.decrypt_ecb(b.data(), 40);
        ASSERT_EQ(b, data);
    }
}

// An envelope by hand (zero random words, the length, the data, zero padding) in Twofish-CBC
// with a zero initial vector, both ways between Nettle and the class.
TEST(Oracle, Rc2WithEffectiveKeyBits) {
    std::mt19937 rng(test::seed(64));
    for (int trial = 0; trial < 300; ++trial) {
        const std::size_t length = 1 + rng() % 128;
        const unsigned bits = 1 + rng() % 1024;
        const Bytes key = random_bytes(rng, length), block = random_bytes(rng, 8);
        arctwo_ctx theirs;
        arctwo_set_key_ekb(&theirs, length, key.data(), bits);
        Bytes expected(8);
        arctwo_encrypt(&theirs, 8, expected.data(), block.data());
        ciphers::Rc2Kernel ours;
        ours.set_key(key.data(), length, bits);
        Bytes b = block;
        ours.encrypt_block(b.data());
        ASSERT_EQ(b, expected) << "key length " << length << ", " << bits << " bits";
        ours.decrypt_block(b.data());
        ASSERT_EQ(b, block);
    }
}

TEST(Oracle, TripleDesBlocks) {
    std::mt19937 rng(test::seed(65));
    for (int trial = 0; trial < 200; ++trial) {
        const Bytes key = random_bytes(rng, 24), block = random_bytes(rng, 8);
        des3_ctx theirs;
        des3_set_key(&theirs, key.data());  // parity is not checked by the cipher
        Bytes expected(8);
        des3_encrypt(&theirs, 8, expected.data(), block.data());
        ciphers::TripleDesKernel ours;
        ours.set_key(key.data());
        Bytes b = block;
        ours.encrypt_block(b.data());
        ASSERT_EQ(b, expected);
        ours.decrypt_block(b.data());
        ASSERT_EQ(b, block);
    }
}

TEST(Oracle, Md2AndMd4) {
    std::mt19937 rng(test::seed(66));
    for (std::size_t length : {0, 1, 15, 16, 17, 55, 56, 63, 64, 65, 200, 1000}) {
        const Bytes m = random_bytes(rng, length);
        md2_ctx c2;
        md2_init(&c2);
        md2_update(&c2, m.size(), m.data());
        Bytes e2(16), e4(16);
        md2_digest(&c2, 16, e2.data());
        md4_ctx c4;
        md4_init(&c4);
        md4_update(&c4, m.size(), m.data());
        md4_digest(&c4, 16, e4.data());
        digests::Md2 o2;
        digests::Md4 o4;
        // In two pieces, so the buffering is checked too.
        o2.update({m.data(), length / 3});
        o2.update({m.data() + length / 3, length - length / 3});
        o4.update({m.data(), length / 3});
        o4.update({m.data() + length / 3, length - length / 3});
        const auto d2 = o2.final();
        const auto d4 = o4.final();
        EXPECT_EQ(Bytes(d2.begin(), d2.end()), e2) << length;
        EXPECT_EQ(Bytes(d4.begin(), d4.end()), e4) << length;
    }
}

TEST(Oracle, TwofishEnvelopeInterchange) {
    ZeroRandomScope zero;
    const std::string text = "an envelope made by hand, 43 bytes of data";
    Bytes plain(12 + text.size());
    plain[8] = static_cast<std::uint8_t>(text.size());
    std::copy(text.begin(), text.end(), plain.begin() + 12);
    plain.resize((plain.size() + 15) / 16 * 16);
    Bytes key(16, 0);
    const std::string k = "twofish key 16ch";
    std::copy(k.begin(), k.end(), key.begin());

    twofish_ctx theirs;
    twofish_set_key(&theirs, 16, key.data());
    Bytes sealed(plain.size());
    std::uint8_t iv[16] = {};
    nettle_cbc_encrypt(&theirs, reinterpret_cast<nettle_cipher_func*>(twofish_encrypt), 16, iv,
                       plain.size(), sealed.data(), plain.data());

    clsKvVeskEncDec2FishA c;
    Text key_text = utf8_to_text(k);
    Bytes ours(text.begin(), text.end());
    c.EncryptByte(ours, key_text);
    EXPECT_EQ(ours, sealed);
    Bytes back = sealed;
    c.DecryptByte(back, key_text);
    EXPECT_EQ(back, Bytes(text.begin(), text.end()));

    std::uint8_t iv2[16] = {};
    Bytes opened(sealed.size());
    nettle_cbc_decrypt(&theirs, reinterpret_cast<nettle_cipher_func*>(twofish_decrypt), 16, iv2,
                       sealed.size(), opened.data(), sealed.data());
    EXPECT_EQ(opened, plain);
}

}  // namespace
}  // namespace ombrak
