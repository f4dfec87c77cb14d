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
    std::mt19937 rng(test::seed(20261209));
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

// The lenient rules written out plainly: remove CR LF pairs, then "=", then decode every other
// character by its low byte (anything outside the alphabet is 0) in groups of four.
Bytes reference_lenient(const std::u16string& in, bool& any) {
    std::u16string kept;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == u'\r' && i + 1 < in.size() && in[i + 1] == u'\n') {
            ++i;
            continue;
        }
        if (in[i] != u'=') kept += in[i];
    }
    any = !kept.empty();
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Bytes out;
    std::uint32_t acc = 0;
    std::size_t n = 0;
    for (char16_t c : kept) {
        auto at = alphabet.find(static_cast<char>(c & 0xFF));
        acc = acc << 6 | (at == std::string::npos ? 0 : static_cast<std::uint32_t>(at));
        if (++n % 4 == 0) {
            out.push_back(static_cast<std::uint8_t>(acc >> 16));
            out.push_back(static_cast<std::uint8_t>(acc >> 8));
            out.push_back(static_cast<std::uint8_t>(acc));
        }
    }
    if (n % 4 == 3) {
        out.push_back(static_cast<std::uint8_t>(acc >> 10));
        out.push_back(static_cast<std::uint8_t>(acc >> 2));
    } else if (n % 4 == 2) {
        out.push_back(static_cast<std::uint8_t>(acc >> 4));
    }
    return out;
}

// Decodes in pieces cut at random places (a CR LF pair may be cut in two).
Bytes decode_in_pieces(const std::string& in, encoding::Base64Decoder& d, std::mt19937& rng,
                       encoding::Base64DataCounter* counter = nullptr) {
    Bytes out(encoding::Base64Decoder::capacity(in.size()) + 3);
    std::size_t n = 0;
    for (std::size_t at = 0; at < in.size();) {
        std::size_t piece = std::min<std::size_t>(in.size() - at, 1 + rng() % 40);
        auto span = std::span(reinterpret_cast<const std::uint8_t*>(in.data()) + at, piece);
        n += d.update(span, out.data() + n);
        if (counter) counter->update(span);
        at += piece;
    }
    n += d.finish(out.data() + n);
    out.resize(n);
    return out;
}

TEST(Base64, DecodingInPiecesKeepsTheRules) {
    std::mt19937 rng(test::seed(20261210));
    // Mostly alphabet, with the characters the rules treat apart.
    const std::string noise = "\r\n=\r\n =*\x8C";
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int round = 0; round < 3000; ++round) {
        std::string in(rng() % 300, 'A');
        const unsigned noisy = rng() % 4;  // 0: clean, else one in 2, 8 or 32 is noise
        for (auto& c : in)
            c = noisy && rng() % (1u << (2 * noisy - 1)) == 0 ? noise[rng() % noise.size()]
                                                              : alphabet[rng() % 64];
        SCOPED_TRACE(in);
        bool any;
        const Bytes expected = reference_lenient(ascii_to_text(in), any);
        encoding::Base64Decoder lenient;
        encoding::Base64DataCounter counter;
        EXPECT_EQ(decode_in_pieces(in, lenient, rng, &counter), expected);
        EXPECT_EQ(lenient.any(), any);
        EXPECT_EQ(counter.decoded_length(), expected.size());
        Bytes whole;
        EXPECT_EQ(encoding::base64_decode_lenient(ascii_to_text(in), whole), any);
        EXPECT_EQ(whole, any ? expected : Bytes{});

        // Strict: in pieces as whole; what it accepts, the lenient rules decode the same way.
        encoding::Base64Decoder strict(encoding::Base64Decoder::Rules::Strict);
        Bytes pieces = decode_in_pieces(in, strict, rng);
        auto once = encoding::base64_decode_strict(
            std::span(reinterpret_cast<const std::uint8_t*>(in.data()), in.size()));
        EXPECT_EQ(strict.valid(), once.has_value());
        if (once) {
            EXPECT_EQ(pieces, *once);
            std::string no_breaks;
            for (char c : in)
                if (c != '\r' && c != '\n') no_breaks += c;
            EXPECT_EQ(*once, reference_lenient(ascii_to_text(no_breaks), any));
        }
    }
}

TEST(Base64, HighBytesTakeTheValuesTheyAreGiven) {
    std::uint8_t values[128] = {};
    values[0x8C - 0x80] = 17;  // as "R"
    encoding::Base64Decoder d;
    d.set_high_values(values);
    const std::string in = "TWF\x8C";  // "TWFR"
    Bytes out(16);
    std::size_t n =
        d.update(std::span(reinterpret_cast<const std::uint8_t*>(in.data()), 4), out.data());
    n += d.finish(out.data() + n);
    out.resize(n);
    Bytes expected;
    ASSERT_TRUE(encoding::base64_decode_lenient(u"TWFR", expected));
    EXPECT_EQ(out, expected);
}

TEST(Base64, PartsOfALongerTextBreakEveryLine) {
    // Encoded part by part (whole lines, then the rest), a long text is its whole encoding.
    for (std::size_t n : {58, 114, 171, 200, 57 * 40 + 56}) {
        Bytes data(n);
        for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<std::uint8_t>(i * 7);
        std::string parts;
        for (std::size_t at = 0; at < n; at += 57 * 3) {
            auto part = std::span(data).subspan(at, std::min<std::size_t>(57 * 3, n - at));
            std::string text(encoding::base64_part_length(part.size()), '\0');
            EXPECT_EQ(encoding::base64_encode_lines_part(part, text.data()), text.size());
            parts += text;
        }
        EXPECT_EQ(parts, encoding::base64_encode_lines(data)) << n;
    }
}

}  // namespace
}  // namespace ombrak
