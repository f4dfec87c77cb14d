// Base64: known answers, the library's line layout and decoding rules, round trips.
#include "ombrak/encoding/base64.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "ombrak/encoding/base64_class.h"
#include "ombrak/frame/text.h"
#include "support.h"
#include "vectors.h"

namespace ombrak {
namespace {

TEST(Base64, KnownAnswers) {
    clsKvVeskEncDecBase64A b64;
    auto records = test::read_records("base64.vec", "Out");
    EXPECT_GT(records.size(), 20u);
    for (const auto& r : records) {
        SCOPED_TRACE("base64.vec line " + std::to_string(r.line));
        if (r.section == "encode") {
            Bytes in = test::from_hex(r["In"]);
            EXPECT_EQ(b64.EncodeArray64(in), test::unescape(r["Out"]));
            Text text = ansi_to_text(in);
            EXPECT_EQ(b64.Encode64(text), test::unescape(r["Out"]));
        } else if (r["Out"] == "error 5") {
            Text in = test::unescape(r["In"]);
            EXPECT_ERROR(b64.DecodeArray64(in), 5);
            EXPECT_ERROR(b64.Decode64(in), 5);
        } else {
            Text in = test::unescape(r["In"]);
            EXPECT_EQ(b64.DecodeArray64(in), test::from_hex(r["Out"]));
            EXPECT_EQ(b64.Decode64(in), ansi_to_text(test::from_hex(r["Out"])));
        }
    }
}

TEST(Base64, LineLayout) {
    struct Case {
        std::size_t bytes;
        std::vector<std::size_t> lines;  // line lengths; a trailing 0 means the text ends in CR LF
    };
    const Case cases[] = {{57, {76}},         {58, {76, 4}},          {114, {76, 76, 0}},
                          {115, {76, 76, 4}}, {171, {76, 76, 76, 0}}, {1, {4}},
                          {56, {76}},         {113, {76, 76, 0}}};  // padded last group
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        Text t = encode_array64(Bytes(c.bytes, 0xAB));
        std::vector<std::size_t> lines;
        std::size_t start = 0, crlf;
        while ((crlf = t.find(u"\r\n", start)) != Text::npos) {
            lines.push_back(crlf - start);
            start = crlf + 2;
        }
        lines.push_back(t.size() - start);
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(t.size(), encoding::base64_lines_length(c.bytes));
    }
}

TEST(Base64, EmptyTextsAndArrays) {
    clsKvVeskEncDecBase64A b64;
    Text empty;
    Bytes none;
    EXPECT_EQ(b64.Encode64(empty), Text());
    EXPECT_EQ(b64.Decode64(empty), Text());
    EXPECT_EQ(b64.EncodeArray64(none), Text());
}

// A plain bit-by-bit encoder, independent of the table-driven kernel.
std::string reference_encode(const Bytes& in) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t bits = in.size() * 8;
    for (std::size_t pos = 0; pos < bits; pos += 6) {
        int v = 0;
        for (int k = 0; k < 6; ++k) {
            std::size_t bit = pos + k;
            v = v << 1 | (bit < bits ? (in[bit / 8] >> (7 - bit % 8)) & 1 : 0);
        }
        out += alphabet[v];
    }
    while (out.size() % 4) out += '=';
    return out;
}

TEST(Base64, RoundTripsAgainstAReferenceEncoder) {
    unsigned seed =
        std::getenv("OMBRAK10_SEED") ? std::atoi(std::getenv("OMBRAK10_SEED")) : 20261209;
    std::cout << "seed " << seed << " (set OMBRAK10_SEED to repeat)\n";
    std::mt19937 rng(seed);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 240; ++n) lengths.push_back(n);
    lengths.insert(lengths.end(), {4095, 65536, 100001});
    for (std::size_t n : lengths) {
        Bytes data(n);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        std::string flat = reference_encode(data);
        std::string lines = encoding::base64_encode_lines(data);
        std::string unbroken;
        for (char c : lines)
            if (c != '\r' && c != '\n') unbroken += c;
        ASSERT_EQ(unbroken, flat) << n;
        std::string kernel(encoding::base64_length(n), '\0');
        encoding::base64_encode(data, kernel.data());
        ASSERT_EQ(kernel, flat) << n;
        ASSERT_EQ(encode_array64(data), utf8_to_text(lines)) << n;
        if (n == 0) continue;
        ASSERT_EQ(decode_array64(utf8_to_text(lines)), data) << n;
        auto strict = encoding::base64_decode_strict(
            std::span(reinterpret_cast<const std::uint8_t*>(lines.data()), lines.size()));
        ASSERT_TRUE(strict.has_value()) << n;
        ASSERT_EQ(*strict, data) << n;
    }
}

TEST(Base64, StrictDecodingRejectsWhatIsNotBase64) {
    auto strict = [](std::string s) {
        return encoding::base64_decode_strict(
            std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
    };
    EXPECT_EQ(*strict("TWFu\nTWE=\n"), (Bytes{'M', 'a', 'n', 'M', 'a'}));
    EXPECT_EQ(*strict(""), Bytes{});
    for (const char* bad : {"TWF", "TW Fu", "TW=u", "T===", "TWFu*", "=TWF"})
        EXPECT_FALSE(strict(bad).has_value()) << bad;
}

}  // namespace
}  // namespace ombrak
