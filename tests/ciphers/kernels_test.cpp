// Block transforms against published and independently computed values; Blowfish's tables.
#include <gtest/gtest.h>

#include <random>

#include "ombrak/ciphers/blowfish.h"
#include "ombrak/ciphers/des.h"
#include "ombrak/ciphers/tea.h"
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
    EXPECT_GE(records.size(), 13u);
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
    std::mt19937 rng(7);
    for (std::size_t blocks : {0, 1, 2, 3, 7, 8, 9, 31, 32, 33, 100}) {
        Bytes data(blocks * 8);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        Bytes expected = data;
        std::uint8_t prev[8] = {};
        for (std::size_t i = 0; i < blocks; ++i) {
            for (int j = 0; j < 8; ++j) expected[8 * i + j] ^= prev[j];
            k.encrypt_block(&expected[8 * i]);
            std::copy_n(&expected[8 * i], 8, prev);
        }
        Bytes work = data;
        std::uint8_t chain[8] = {};
        k.cbc_encrypt(work.data(), blocks, chain);
        ASSERT_EQ(work, expected) << blocks;
        std::uint8_t chain2[8] = {};
        k.cbc_decrypt(work.data(), blocks, chain2);
        ASSERT_EQ(work, data) << blocks;
        EXPECT_TRUE(std::equal(chain, chain + 8, chain2));
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
}

}  // namespace
}  // namespace ombrak::ciphers
