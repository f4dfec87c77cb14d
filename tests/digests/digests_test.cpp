// MD5, SHA-1 and SHA-256 kernels: published values, boundary lengths against an independent
// implementation, pieces in any mix, and the SHA instructions against the portable code.
#include "ombrak/digests/digests.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "support.h"
#include "vectors.h"

namespace ombrak::digests {
namespace {

template <class H>
std::string hex_of(std::string_view s) {
    const auto d = H::of(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
    std::string out;
    char buf[3];
    for (auto b : d) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        out += buf;
    }
    return out;
}

TEST(Digests, PublishedValues) {
    // RFC 1321's test suite.
    const std::pair<const char*, const char*> md5[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"}};
    for (auto [in, out] : md5) EXPECT_EQ(hex_of<Md5>(in), out) << in;
    // FIPS 180 examples.
    const std::string two_blocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(hex_of<Sha1>("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hex_of<Sha1>(two_blocks), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(hex_of<Sha256>("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex_of<Sha256>(two_blocks),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const std::string million(1000000, 'a');
    EXPECT_EQ(hex_of<Md5>(million), "7707d6ae4e027c70eea2a935c2296f21");
    EXPECT_EQ(hex_of<Sha1>(million), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    EXPECT_EQ(hex_of<Sha256>(million),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Digests, BoundaryLengths) {
    auto records = test::read_records("digests.vec", "Out");
    EXPECT_EQ(records.size(), 45u);
    for (const auto& r : records) {
        SCOPED_TRACE("digests.vec line " + std::to_string(r.line));
        const Bytes in = test::from_hex(r["In"]), out = test::from_hex(r["Out"]);
        Bytes got;
        if (r["Algo"] == "md5") {
            auto d = Md5::of(in);
            got.assign(d.begin(), d.end());
        } else if (r["Algo"] == "sha1") {
            auto d = Sha1::of(in);
            got.assign(d.begin(), d.end());
        } else {
            auto d = Sha256::of(in);
            got.assign(d.begin(), d.end());
        }
        EXPECT_EQ(got, out);
    }
}

template <class H>
void check_pieces(std::mt19937& rng) {
    Bytes data(3000);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    const auto whole = H::of(data);
    for (int trial = 0; trial < 50; ++trial) {
        H h;
        for (std::size_t at = 0; at < data.size();) {
            const std::size_t n = std::min<std::size_t>(rng() % 150, data.size() - at);
            h.update(std::span(data.data() + at, n));
            at += n;
        }
        ASSERT_EQ(h.final(), whole) << trial;
        // final starts the object over.
        h.update(data);
        ASSERT_EQ(h.final(), whole);
    }
}

TEST(Digests, PiecesInAnyMixEqualOneCall) {
    std::mt19937 rng(test::seed(19));
    check_pieces<Md5>(rng);
    check_pieces<Sha1>(rng);
    check_pieces<Sha256>(rng);
}

TEST(Digests, LengthFieldHoldsTheFullBitCount) {
    // 2^29 + 5 bytes: a bit count of 2^32 + 40, whose high half a 32-bit field would lose.
    const std::uint64_t length = (std::uint64_t{1} << 29) + 5;
    std::uint8_t last[128];
    std::memset(last, 0xEE, sizeof last);
    ASSERT_EQ(Sha1::pad(last, 5, length), 1u);
    EXPECT_EQ(last[5], 0x80);
    EXPECT_EQ(last[55], 0);
    const Bytes sha_field(last + 56, last + 64);
    EXPECT_EQ(sha_field, (Bytes{0, 0, 0, 1, 0, 0, 0, 40}));
    ASSERT_EQ(Md5::pad(last, 60, length + 55), 2u);  // fewer than 9 bytes left: two blocks
    EXPECT_EQ(last[60], 0x80);
    const Bytes md5_field(last + 120, last + 128);
    EXPECT_EQ(md5_field, (Bytes{0xE0, 1, 0, 0, 1, 0, 0, 0}));
    ASSERT_EQ(Sha256::pad(last, 0, ~std::uint64_t{0}), 1u);  // the count modulo 2^64
    EXPECT_EQ(Bytes(last + 56, last + 64), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF8}));
}

TEST(Digests, ShaInstructionsAgreeWithThePortableCode) {
    if (!sha_instructions()) GTEST_SKIP() << "this CPU has no SHA instructions";
    std::mt19937 rng(test::seed(23));
    for (std::size_t blocks : {1, 2, 3, 17}) {
        Bytes data(64 * blocks);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        Sha1Algo::State a = Sha1Algo::initial(), b = a;
        Sha1Algo::compress(a, data.data(), blocks);
        Sha1Algo::compress_portable(b, data.data(), blocks);
        EXPECT_EQ(a, b) << blocks;
        Sha256Algo::State c = Sha256Algo::initial(), d = c;
        Sha256Algo::compress(c, data.data(), blocks);
        Sha256Algo::compress_portable(d, data.data(), blocks);
        EXPECT_EQ(c, d) << blocks;
    }
}

}  // namespace
}  // namespace ombrak::digests
