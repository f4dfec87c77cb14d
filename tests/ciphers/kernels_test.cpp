// Block transforms against published and independently computed values; Blowfish's tables.
#include <gtest/gtest.h>

#include <random>

#include "ombrak/ciphers/blowfish.h"
#include "ombrak/ciphers/des.h"
#include "ombrak/ciphers/gost.h"
#include "ombrak/ciphers/rc4.h"
#include "ombrak/ciphers/serpent.h"
#include "ombrak/ciphers/tea.h"
#include "ombrak/ciphers/twofish.h"
#include "vectors.h"

namespace ombrak::ciphers {
namespace {

// Published Blowfish: the key's bytes in a cycle, packed big-endian.
void published_key(BlowfishKernel& k, const Bytes& key) {
    std::uint32_t words[18];
    for (int i = 0; i < 18; ++i) {
        words[i] = 0;
        for (int j = 0; j < 4; ++j) words[i] = words[i] << 8 | key[(4 * i + j) % key.size()];
    }
    k.expand(words);
}

template <class Kernel>
void check_block(const Kernel& k, const Bytes& in, const Bytes& out) {
    Bytes b = in;
    k.encrypt_block(b.data());
    EXPECT_EQ(b, out);
    k.decrypt_block(b.data());
    EXPECT_EQ(b, in);
}

TEST(Kernels, KnownAnswers) {
    auto records = test::read_records("block_ciphers.vec", "Out");
    EXPECT_GE(records.size(), 19u);
    for (const auto& r : records) {
        SCOPED_TRACE("block_ciphers.vec line " + std::to_string(r.line));
        Bytes key = test::from_hex(r["Key"]), in = test::from_hex(r["In"]),
              out = test::from_hex(r["Out"]);
        const std::string& cipher = r["Cipher"];
        if (cipher == "TEA") {
            TeaKernel k;
            k.set_key(key.data());
            check_block(k, in, out);
        } else if (cipher == "BlowfishPublished") {
            BlowfishKernel k(BlowfishKernel::Layout::Published);
            published_key(k, key);
            check_block(k, in, out);
        } else if (cipher == "Blowfish") {
            check_block(BlowfishKernel(), in, out);
        } else if (cipher == "DES") {
            DesKernel k;
            k.set_key(key.data());
            check_block(k, in, out);
        } else if (cipher == "GOST") {
            GostKernel k;
            k.set_key(key.data());
            check_block(k, in, out);
        } else if (cipher == "Twofish") {
            TwofishKernel k;
            k.set_key(key.data(), key.size());
            check_block(k, in, out);
        } else if (cipher == "Serpent") {
            SerpentKernel k;
            k.set_key(key.data());
            Bytes b = in;
            k.encrypt_ecb(b.data(), 1);
            EXPECT_EQ(b, out);
            k.decrypt_ecb(b.data(), 1);
            EXPECT_EQ(b, in);
        } else {
            ADD_FAILURE() << "unknown cipher " << cipher;
        }
    }
}

TEST(Kernels, BlowfishTableLayout) {
    BlowfishKernel k;
    // Pi words dealt to the four boxes in turn.
    EXPECT_EQ(k.p(0), 0x243F6A88u);
    EXPECT_EQ(k.p(17), 0x8979FB1Bu);
    const std::uint32_t expected[][3] = {
        {0, 0, 0xD1310BA6},   {0, 1, 0xB8E1AFED},   {0, 255, 0xB74E6132},
        {1, 0, 0x98DFB5AC},   {1, 255, 0xCE77E25B}, {2, 0, 0x2FFD72DB},
        {2, 255, 0x578FDFE3}, {3, 0, 0xD01ADFB7},   {3, 255, 0x3AC372E6}};
    for (const auto& e : expected)
        EXPECT_EQ(k.s(static_cast<int>(e[0]), static_cast<int>(e[1])), e[2]) << e[0] << "," << e[1];
    // The two layouts agree in exactly four entries.
    BlowfishKernel published(BlowfishKernel::Layout::Published);
    int same = 0;
    for (int b = 0; b < 4; ++b)
        for (int j = 0; j < 256; ++j) same += k.s(b, j) == published.s(b, j);
    EXPECT_EQ(same, 4);
}

TEST(Kernels, BlowfishKeyPacking) {
    // Each byte's bits are ORed into those of the bytes before it.
    const std::uint8_t key[] = {0x01, 0x02, 0x04, 0x08, 0x80};
    std::uint32_t words[18];
    BlowfishKernel::pack_key(key, 5, words);
    EXPECT_EQ(words[0], 0x0103070Fu);
    EXPECT_EQ(words[1], 0x80818387u);  // the cycle goes on: 80 01 02 04
    const std::uint8_t one[] = {0x41};
    BlowfishKernel::pack_key(one, 1, words);
    EXPECT_EQ(words[17], 0x41414141u);
}

// CBC and multi-block entry points agree with block-at-a-time chaining for every count.
template <class Kernel>
void check_cbc(const Kernel& k) {
    constexpr std::size_t B = Kernel::kBlockSize;
    std::mt19937 rng(7);
    for (std::size_t blocks : {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 100}) {
        Bytes data(blocks * B);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        Bytes expected = data;
        std::uint8_t prev[B] = {};
        for (std::size_t i = 0; i < blocks; ++i) {
            for (std::size_t j = 0; j < B; ++j) expected[B * i + j] ^= prev[j];
            k.encrypt_block(&expected[B * i]);
            std::copy_n(&expected[B * i], B, prev);
        }
        Bytes work = data;
        std::uint8_t chain[B] = {};
        k.cbc_encrypt(work.data(), blocks, chain);
        ASSERT_EQ(work, expected) << blocks;
        std::uint8_t chain2[B] = {};
        k.cbc_decrypt(work.data(), blocks, chain2);
        ASSERT_EQ(work, data) << blocks;
        EXPECT_TRUE(std::equal(chain, chain + B, chain2));
    }
}

TEST(Kernels, ChainingOverManyBlocks) {
    TeaKernel tea;
    const std::uint8_t k16[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    tea.set_key(k16);
    check_cbc(tea);
    BlowfishKernel bf;
    std::uint32_t words[18];
    BlowfishKernel::pack_key(k16, 16, words);
    bf.expand(words);
    check_cbc(bf);
    DesKernel des;
    des.set_key(k16);
    check_cbc(des);
    GostKernel gost;
    const std::uint8_t k32[32] = {9, 8, 7, 6, 5, 4, 3,  2,  1,  0,  0xFF, 0x80, 0x7F, 1,  2,  3,
                                  4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14,   15,   16,   17, 18, 19};
    gost.set_key(k32);
    check_cbc(gost);
    for (std::size_t n : {8, 16, 24, 32}) {
        TwofishKernel twofish;
        twofish.set_key(k32, n);
        check_cbc(twofish);
    }
}

TEST(Kernels, GostRoundFunction) {
    // The last two sums are negative as signed words: truncating division moves digits up.
    const std::uint32_t cases[][2] = {{0x00000000, 0xD4373312},
                                      {0x12345678, 0xC4968956},
                                      {0xFFFFFFFF, 0xD437302A},
                                      {0x80000100, 0xCC2BAB12}};
    for (const auto& c : cases) EXPECT_EQ(GostKernel::round_function(c[0], 0), c[1]) << c[0];
    // The key word is added first, with the carry out of bit 31 dropped.
    EXPECT_EQ(GostKernel::round_function(0x7FFFFFFF, 0x80000000), 0xD437302Au);
    EXPECT_EQ(GostKernel::round_function(0x00000001, 0xFFFFFFFF), 0xD4373312u);
}

TEST(Kernels, TwofishFixedPermutations) {
    const std::uint8_t q0[] = {0xA9, 0x67, 0xB3, 0xE8}, q1[] = {0x75, 0xF3, 0xC6, 0xF4};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(TwofishKernel::q(0, static_cast<std::uint8_t>(x)), q0[x]);
        EXPECT_EQ(TwofishKernel::q(1, static_cast<std::uint8_t>(x)), q1[x]);
    }
    // Both are permutations.
    for (int w = 0; w < 2; ++w) {
        std::vector<bool> seen(256);
        for (int x = 0; x < 256; ++x)
            seen[TwofishKernel::q(w, static_cast<std::uint8_t>(x))] = true;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 256);
    }
}

// Every set of lanes the CPU has gives what one block at a time gives, at counts around the
// lane widths (8 and 16 blocks).
TEST(Kernels, SerpentLanesAgreeWithSingleBlocks) {
    std::mt19937 rng(3);
    std::uint8_t key[32];
    for (auto& b : key) b = static_cast<std::uint8_t>(rng());
    SerpentKernel k;
    k.set_key(key);
    for (const char* lanes : {"avx512", "avx2", "portable"}) {
        if (!SerpentKernel::lanes_available(lanes)) continue;
        SCOPED_TRACE(lanes);
        for (std::size_t blocks : {1, 7, 8, 9, 15, 16, 17, 24, 33, 100}) {
            Bytes data(16 * blocks);
            for (auto& b : data) b = static_cast<std::uint8_t>(rng());
            Bytes one = data, many = data;
            for (std::size_t i = 0; i < blocks; ++i) k.encrypt_ecb(&one[16 * i], 1);
            k.crypt_with(lanes, many.data(), blocks, false);
            ASSERT_EQ(many, one) << blocks;
            k.crypt_with(lanes, many.data(), blocks, true);
            ASSERT_EQ(many, data) << blocks;
        }
    }
}

TEST(Kernels, Rc4KnownKeystreams) {
    // Widely published RC4 examples: key, plaintext, ciphertext.
    const char* cases[][3] = {{"Key", "Plaintext", "bbf316e8d940af0ad3"},
                              {"Wiki", "pedia", "1021bf0420"},
                              {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"}};
    for (const auto& c : cases) {
        Rc4Key key;
        const std::string k = c[0], p = c[1];
        key.schedule(reinterpret_cast<const std::uint8_t*>(k.data()), k.size());
        Bytes data(p.begin(), p.end());
        // In two pieces: the stream goes on where the first stopped.
        Rc4Stream stream(key);
        stream.apply(data.data(), 3);
        stream.apply(data.data() + 3, data.size() - 3);
        EXPECT_EQ(data, test::from_hex(c[2])) << c[0];
    }
    // RFC 6229, 40-bit key 0102030405: keystream bytes 0 to 31; and the 128-bit key
    // 0102...10 at offset 4096 (as OpenSSL's RC4 gives it).
    const std::uint8_t k40[] = {1, 2, 3, 4, 5};
    Rc4Key key;
    key.schedule(k40, 5);
    Bytes zeros(32, 0);
    Rc4Stream(key).apply(zeros.data(), zeros.size());
    EXPECT_EQ(zeros, test::from_hex("b2396305f03dc027ccc3524a0a1118a8"
                                    "6982944f18fc82d589c403a47a0d0919"));
    std::uint8_t k128[16];
    for (int i = 0; i < 16; ++i) k128[i] = static_cast<std::uint8_t>(i + 1);
    key.schedule(k128, 16);
    Bytes far(4112, 0);
    Rc4Stream(key).apply(far.data(), far.size());
    EXPECT_EQ(Bytes(far.end() - 16, far.end()), test::from_hex("a36a4c301ae8ac13610ccbc12256cacc"));
}

}  // namespace
}  // namespace ombrak::ciphers
