// Huffman: the container byte for byte, round trips over many sizes and skews, progress, every
// error with the caller's data unchanged, corrupt and truncated containers, files.
#include "ombrak/encoding/huffman.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <string>

#include "files_support.h"
#include "ombrak/encoding/huffman_class.h"
#include "ombrak/frame/platform.h"
#include "ombrak/frame/text.h"
#include "support.h"
#include "vectors.h"

namespace ombrak {
namespace {

constexpr std::int32_t kLibraryError = -2147221504;

// The container built literally by its rules, independently of the library: every merge scans
// every node and keeps two candidates by the replacement rules, codes are read off the tree as
// strings, and bits are packed one at a time.
Bytes reference_container(const Bytes& in) {
    if (in.empty()) return {'H', 'E', '0', '\r'};
    std::int64_t count[256] = {};
    std::uint8_t checksum = 0;
    for (std::uint8_t b : in) {
        ++count[b];
        checksum ^= b;
    }
    struct Node {
        int parent, left, right, symbol;
        std::int64_t weight;
    };
    std::vector<Node> t;
    for (int v = 0; v < 256; ++v)
        if (count[v]) t.push_back({-1, -1, -1, v, count[v]});
    const std::size_t leaves = t.size();
    for (std::size_t m = 0; m + 1 < leaves; ++m) {
        int n1 = -1, n2 = -1;
        std::int64_t w1 = 0, w2 = 0;
        for (int j = 0; j < static_cast<int>(t.size()); ++j) {
            if (t[j].parent != -1) continue;
            const std::int64_t w = t[j].weight;
            if (n1 < 0) {
                n1 = j, w1 = w;
            } else if (n2 < 0) {
                n2 = j, w2 = w;
            } else if (w < w1 && w < w2) {
                if (w1 >= w2)
                    n1 = j, w1 = w;
                else
                    n2 = j, w2 = w;
            } else if (w < w1 && w >= w2) {
                n1 = j, w1 = w;
            } else if (w >= w1 && w < w2) {
                n2 = j, w2 = w;
            }
        }
        t.push_back({-1, n1, n2, -1, w1 + w2});
        t[n1].parent = t[n2].parent = static_cast<int>(t.size()) - 1;
    }
    std::string code[256];
    std::function<void(int, std::string)> assign = [&](int n, std::string path) {
        if (t[n].symbol >= 0) {
            code[t[n].symbol] = path;
            return;
        }
        assign(t[n].left, path + "0");
        assign(t[n].right, path + "1");
    };
    assign(static_cast<int>(t.size()) - 1, "");
    std::uint64_t d = 0;
    for (int v = 0; v < 256; ++v) d += count[v] * code[v].size();
    if ((d + 7) / 8 == 0 || (d + 7) / 8 > in.size()) {
        Bytes r{'H', 'E', '0', '\r'};
        r.insert(r.end(), in.begin(), in.end());
        return r;
    }
    Bytes r{'H', 'E', '3', '\r', checksum};
    for (int i = 0; i < 4; ++i) r.push_back(static_cast<std::uint8_t>(in.size() >> 8 * i));
    r.push_back(static_cast<std::uint8_t>(leaves));
    r.push_back(static_cast<std::uint8_t>(leaves >> 8));
    for (int v = 0; v < 256; ++v)
        if (count[v]) {
            r.push_back(static_cast<std::uint8_t>(v));
            r.push_back(static_cast<std::uint8_t>(code[v].size()));
        }
    int used = 8;  // bits used in the last byte; 8: start a fresh byte
    auto put = [&](char bit) {
        if (used == 8) {
            r.push_back(0);
            used = 0;
        }
        if (bit == '1') r.back() |= static_cast<std::uint8_t>(1 << used);
        ++used;
    };
    for (int v = 0; v < 256; ++v)
        for (char c : code[v]) put(c);
    used = 8;
    for (std::uint8_t b : in)
        for (char c : code[b]) put(c);
    return r;
}

Bytes bytes_of(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

Bytes encoded(const Bytes& in) {
    clsKvVeskEncDecHuffmanA h;
    Bytes b = in;
    auto n = static_cast<std::int32_t>(b.size());
    h.EncodeByte(b, n);
    return b;
}

Bytes decoded(const Bytes& in) {
    clsKvVeskEncDecHuffmanA h;
    Bytes b = in;
    auto n = static_cast<std::int32_t>(b.size());
    h.DecodeByte(b, n);
    return b;
}

// Expects DecodeByte to raise error `number` (with `source` for the library's own) and to leave
// the array as it was.
void expect_decode_error(const Bytes& container, std::int32_t number, const char* source = "",
                         std::optional<std::int32_t> byte_len = std::nullopt) {
    clsKvVeskEncDecHuffmanA h;
    Bytes b = container;
    std::int32_t n = byte_len.value_or(static_cast<std::int32_t>(b.size()));
    try {
        h.DecodeByte(b, n);
        ADD_FAILURE() << "no error for " << test::to_hex(container);
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), number) << test::to_hex(container);
        if (*source) {
            EXPECT_EQ(e.source(), source);
        }
    }
    EXPECT_EQ(b, container);
}

const char* const kIdSource = "HuffmanDecode()";
const char* const kSumSource = "clsHuffman.Decode()";

TEST(Huffman, KnownContainers) {
    const struct {
        const char* in;
        const char* container;
    } cases[] = {
        {"", "4845300d"},
        {"aaaa", "4845300d61616161"},  // one distinct value: stored
        {"ab", "4845330d03020000000200610162010202"},
        {"abracadabra", "4845330d660b000000050061016203630364037203ba071a730d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        const Bytes in = bytes_of(c.in), container = test::from_hex(c.container);
        EXPECT_EQ(reference_container(in), container);
        EXPECT_EQ(encoded(in), container);
        EXPECT_EQ(decoded(container), in);
        // Texts: one character per container byte.
        clsKvVeskEncDecHuffmanA h;
        Text text = ascii_to_text(c.in);
        Text packed = h.EncodeString(text);
        EXPECT_EQ(packed, ansi_to_text(container));
        EXPECT_EQ(h.DecodeString(packed), text);
    }
}

TEST(Huffman, OnlyTheFirstByteLenBytesCount) {
    clsKvVeskEncDecHuffmanA h;
    Bytes b = bytes_of("abracadabra and more");
    std::int32_t n = 11;
    h.EncodeByte(b, n);
    EXPECT_EQ(b, encoded(bytes_of("abracadabra")));
    b.push_back(0x55);  // trailing bytes past ByteLen are not read
    n = static_cast<std::int32_t>(b.size()) - 1;
    h.DecodeByte(b, n);
    EXPECT_EQ(b, bytes_of("abracadabra"));
    Bytes stored = bytes_of("HE0\rxyz!");
    n = 7;
    h.DecodeByte(stored, n);
    EXPECT_EQ(stored, bytes_of("xyz"));
}

// Data of many sizes and skews: the container equals the literal construction and decodes back.
TEST(Huffman, RoundTripsMatchTheLiteralConstruction) {
    std::mt19937 rng(test::seed(10));
    const std::size_t sizes[] = {1,   2,   3,   7,    8,    9,    100,  255,
                                 256, 257, 999, 1000, 1001, 4096, 70000};
    for (int skew = 0; skew < 6; ++skew) {
        for (std::size_t size : sizes) {
            Bytes in(size);
            for (auto& b : in) {
                switch (skew) {
                    case 0:  // uniform over all 256 values: mostly stored
                        b = static_cast<std::uint8_t>(rng());
                        break;
                    case 1:  // geometric: long codes for rare values
                        b = static_cast<std::uint8_t>(std::min<std::uint32_t>(
                            255,
                            std::countr_zero(static_cast<std::uint32_t>(rng()) | 1u << 31) * 8u +
                                rng() % 3));
                        break;
                    case 2:  // two values
                        b = static_cast<std::uint8_t>('x' + rng() % 2);
                        break;
                    case 3:  // text-like: letters and spaces
                        b = static_cast<std::uint8_t>(rng() % 6 ? 'a' + rng() % 26 : ' ');
                        break;
                    case 4:  // a dominant value and rare others
                        b = static_cast<std::uint8_t>(rng() % 50 ? 0 : rng());
                        break;
                    default:  // equal counts: every tie rule in play
                        b = static_cast<std::uint8_t>(&b - in.data()) % 37;
                        break;
                }
            }
            SCOPED_TRACE("skew " + std::to_string(skew) + " size " + std::to_string(size));
            const Bytes c = encoded(in);
            ASSERT_EQ(c, reference_container(in));
            ASSERT_EQ(decoded(c), in);
        }
    }
}

TEST(Huffman, StoredOnlyForOneDistinctValue) {
    // All 256 values once: eight bits each, exactly as many bytes as the data, so coded.
    Bytes all(256);
    for (int v = 0; v < 256; ++v) all[v] = static_cast<std::uint8_t>(v);
    Bytes c = encoded(all);
    EXPECT_EQ(Bytes(c.begin(), c.begin() + 4), bytes_of("HE3\r"));
    EXPECT_EQ(c.size(), 11 + 512 + 256 + 256u);  // the table does not enter the decision
    EXPECT_EQ(decoded(c), all);
    // An optimal code never takes more bits than eight a byte, so data with two or more
    // distinct values is always coded, even when the table makes the container larger.
    std::mt19937 rng(test::seed(16));
    Bytes noise(1000);
    for (auto& x : noise) x = static_cast<std::uint8_t>(rng());
    c = encoded(noise);
    EXPECT_EQ(Bytes(c.begin(), c.begin() + 4), bytes_of("HE3\r"));
    EXPECT_GT(c.size(), noise.size());
    // One distinct value codes to no bits at all: stored.
    EXPECT_EQ(encoded(Bytes(5000, 7)), reference_container(Bytes(5000, 7)));
    EXPECT_EQ(encoded(Bytes(5000, 7)).size(), 5004u);
}

// Fibonacci-like counts make the deepest code as long as there are values less one.
TEST(Huffman, CodesLongerThan32Bits) {
    std::vector<std::uint32_t> counts{1, 1};
    while (counts.size() < 34)
        counts.push_back(counts[counts.size() - 1] + counts[counts.size() - 2]);
    Bytes in;
    for (std::size_t v = 0; v < counts.size(); ++v)
        in.insert(in.end(), counts[v], static_cast<std::uint8_t>(v));
    std::mt19937 rng(test::seed(11));
    std::shuffle(in.begin(), in.end(), rng);
    std::array<std::uint32_t, 256> count{};
    for (std::size_t v = 0; v < counts.size(); ++v) count[v] = counts[v];
    const encoding::HuffmanCode code(count);
    EXPECT_EQ(code.max_length(), 33u);
    const Bytes c = encoded(in);
    // The table lists the 34 values with their lengths: 33 for the two rarest.
    EXPECT_EQ(c[11 + 1], 33);
    EXPECT_EQ(c[11 + 3], 33);
    EXPECT_EQ(c[11 + 2 * 33 + 1], 1);
    EXPECT_EQ(decoded(c), in);
}

// A sink that records every value and can write one back into Percent.
struct Recorder {
    std::vector<std::int32_t> values;
    std::vector<std::string> names;
    std::int16_t write_back = -1;
    ObjectRef object() {
        return make_host_object([this](std::string_view m, MemberKind, std::span<ArgRef> args) {
            names.emplace_back(m);
            values.push_back(to_i32(*args[0].var));
            if (write_back >= 0 && args[0].by_ref) *args[0].var = Variant(write_back);
            return Variant();
        });
    }
};

// The progress a pass reports, worked out from its rule: value(i) at every multiple of step
// in [0, n), when it differs from the last value.
void expect_steps(std::vector<std::int32_t>& out, std::int32_t& last, std::uint64_t n,
                  std::uint64_t step, std::uint64_t from, double scale, double offset,
                  std::uint64_t total) {
    for (std::uint64_t i = from; i < n; ++i) {
        if (i % step) continue;
        const auto v = static_cast<std::int32_t>(
            std::nearbyint(static_cast<double>(i) / static_cast<double>(total) * scale + offset));
        if (v != last) out.push_back(last = v);
    }
}

TEST(Huffman, ProgressOfEachPass) {
    {
        // Small inputs: 7, 12, 100 when coded, nothing when stored; 89, 100 decoding.
        clsKvVeskEncDecHuffmanA h;
        Recorder sink;
        h.connect(sink.object());
        Bytes b = bytes_of("abracadabra");
        std::int32_t n = 11;
        h.EncodeByte(b, n);
        EXPECT_EQ(sink.values, (std::vector<std::int32_t>{7, 12, 100}));
        sink.values.clear();
        n = static_cast<std::int32_t>(b.size());
        h.DecodeByte(b, n);
        EXPECT_EQ(sink.values, (std::vector<std::int32_t>{89, 100}));
        sink.values.clear();
        Bytes same(900, 'a'), empty;
        n = 900;
        h.EncodeByte(same, n);
        n = 0;
        h.EncodeByte(empty, n);
        n = 904;
        h.DecodeByte(same, n);
        EXPECT_TRUE(sink.values.empty());
    }
    // Large inputs, in memory and through files (across pieces of the file layer): the values
    // each pass's rule gives. The second input's codes are all eight bits, so symbols end
    // exactly where the data pass's positions start.
    std::mt19937 rng(test::seed(12));
    Bytes letters(123457), aligned(1024000);
    for (auto& b : letters) b = static_cast<std::uint8_t>('a' + rng() % 20);
    for (std::size_t i = 0; i < aligned.size(); ++i) aligned[i] = static_cast<std::uint8_t>(i);
    std::shuffle(aligned.begin(), aligned.end(), rng);
    for (const Bytes& in : {letters, aligned}) {
        std::vector<std::int32_t> expected;
        std::int32_t last = 0;
        expect_steps(expected, last, in.size(), 1000, 0, 7, 0, in.size());
        expect_steps(expected, last, in.size(), 10000, 0, 5, 7, in.size());
        expect_steps(expected, last, in.size(), 10000, 0, 88, 12, in.size());
        if (last != 100) expected.push_back(100);
        const Bytes c = encoded(in);
        std::vector<std::int32_t> expected_decode;
        last = 0;
        // Data pass: the 1-based container positions k of the data bytes.
        const std::size_t symbols = c[9] | c[10] << 8;
        unsigned code_bits = 0;
        for (std::size_t i = 0; i < symbols; ++i) code_bits += c[11 + 2 * i + 1];
        const std::size_t offset = 11 + 2 * symbols + (code_bits + 7) / 8;
        for (std::uint64_t k = offset + 1; k <= c.size(); ++k) {
            if (k % 10000) continue;
            const auto v = static_cast<std::int32_t>(
                std::nearbyint(static_cast<double>(k) / static_cast<double>(c.size()) * 89));
            if (v != last) expected_decode.push_back(last = v);
        }
        expect_steps(expected_decode, last, in.size(), 10000, 0, 11, 89, in.size());
        if (last != 100) expected_decode.push_back(100);

        test::ScratchDir dir;
        test::write_file(dir / "in", std::string(in.begin(), in.end()));
        Text src = utf8_to_text(dir / "in"), packed = utf8_to_text(dir / "packed"),
             back = utf8_to_text(dir / "back");
        clsKvVeskEncDecHuffmanA h;
        Recorder sink;
        h.connect(sink.object());
        Bytes b = in;
        std::int32_t n = static_cast<std::int32_t>(b.size());
        h.EncodeByte(b, n);
        EXPECT_EQ(sink.values, expected);
        EXPECT_EQ(b, c);
        sink.values.clear();
        h.EncodeFile(src, packed);
        EXPECT_EQ(sink.values, expected);
        EXPECT_EQ(test::read_file(dir / "packed"), std::string(c.begin(), c.end()));
        sink.values.clear();
        n = static_cast<std::int32_t>(b.size());
        h.DecodeByte(b, n);
        EXPECT_EQ(sink.values, expected_decode);
        EXPECT_EQ(b, in);
        sink.values.clear();
        h.DecodeFile(packed, back);
        EXPECT_EQ(sink.values, expected_decode);
        EXPECT_EQ(test::read_file(dir / "back"), std::string(in.begin(), in.end()));
    }
}

TEST(Huffman, ProgressWriteBackAndBuddy) {
    // A sink that writes 100 into Percent: the next values still differ and are reported, and
    // the final step sees 100 and reports nothing more.
    clsKvVeskEncDecHuffmanA h;
    Recorder sink;
    sink.write_back = 100;
    h.connect(sink.object());
    Bytes b = bytes_of("abracadabra");
    std::int32_t n = 11;
    h.EncodeByte(b, n);
    EXPECT_EQ(sink.values, (std::vector<std::int32_t>{7, 12}));
    // A buddy takes over from the event: its method by name, the final 100 included.
    Recorder buddy;
    ObjectRef o = buddy.object();
    h.BuddyObject(o);
    sink.values.clear();
    n = static_cast<std::int32_t>(b.size());
    h.DecodeByte(b, n);
    EXPECT_TRUE(sink.values.empty());
    EXPECT_EQ(buddy.values, (std::vector<std::int32_t>{89, 100}));
    EXPECT_EQ(buddy.names, (std::vector<std::string>(2, "czVeskEncDecHuffman_Progress")));
    // A failing buddy fails the operation; the array is as it was.
    auto failing = make_host_object([](std::string_view, MemberKind, std::span<ArgRef>) -> Variant {
        raise_runtime(RuntimeError::NotSupported);
    });
    h.BuddyObject(failing);
    Bytes again = bytes_of("abracadabra");
    n = 11;
    EXPECT_ERROR(h.EncodeByte(again, n), 438);
    EXPECT_EQ(again, bytes_of("abracadabra"));
}

TEST(Huffman, IdentificationAndRangeErrors) {
    const Bytes valid = encoded(bytes_of("abracadabra"));
    for (const char* hex : {"", "48", "484533", "4845340d", "4845330c", "0045330d", "ffffffff00"})
        expect_decode_error(test::from_hex(hex), kLibraryError, kIdSource);
    try {
        decoded(test::from_hex("4845340d"));
    } catch (const Error& e) {
        EXPECT_EQ(e.description(),
                  "The data either was not compressed with HE3 or is corrupt (identification "
                  "string not found)");
    }
    // ByteLen below 0 or past the array: error 9, for both directions.
    expect_decode_error(valid, 9, "", static_cast<std::int32_t>(valid.size()) + 1);
    expect_decode_error(valid, 9, "", -1);
    clsKvVeskEncDecHuffmanA h;
    Bytes b = bytes_of("abc");
    std::int32_t n = 4;
    EXPECT_ERROR(h.EncodeByte(b, n), 9);
    n = -1;
    EXPECT_ERROR(h.EncodeByte(b, n), 9);
    EXPECT_EQ(b, bytes_of("abc"));
}

TEST(Huffman, ChecksumAndLengthErrors) {
    const Bytes valid = encoded(bytes_of("abracadabra"));
    Bytes bad = valid;
    bad[4] ^= 1;
    expect_decode_error(bad, kLibraryError, kSumSource);
    try {
        decoded(bad);
    } catch (const Error& e) {
        EXPECT_EQ(e.description(),
                  "The data might be corrupted (checksum did not match expected value)");
    }
    // L negative, or more symbols than the data bits can hold (here 3 bytes of data, shortest
    // code 1 bit: 24 symbols at most), fail before anything is made.
    for (std::uint32_t l : {0x8000'0000u, 0xFFFF'FFFFu, 25u, 0x7FFF'FFFFu}) {
        Bytes c = valid;
        for (int i = 0; i < 4; ++i) c[5 + i] = static_cast<std::uint8_t>(l >> 8 * i);
        expect_decode_error(c, kLibraryError, kSumSource);
    }
    // 24 fit the bits, but the data end before them.
    Bytes c = valid;
    c[5] = 24;
    expect_decode_error(c, kLibraryError, kSumSource);
    // L of 0: nothing to decode.
    c = valid;
    c[5] = 0;
    EXPECT_EQ(decoded(c), Bytes{});
}

TEST(Huffman, CorruptTablesRaiseError9) {
    // a = "0" only, and data with a 1 bit: a child that does not exist.
    expect_decode_error(test::from_hex("4845330d"
                                       "61"
                                       "02000000"
                                       "0100"
                                       "6101"
                                       "00"
                                       "02"),
                        9);
    // The same bit after the last symbol is ignored.
    EXPECT_EQ(decoded(test::from_hex("4845330d"
                                     "00"
                                     "02000000"
                                     "0100"
                                     "6101"
                                     "00"
                                     "fc")),
              bytes_of("aa"));
    // A zero code length; a table, code bits or header past ByteLen.
    expect_decode_error(test::from_hex("4845330d"
                                       "00"
                                       "01000000"
                                       "0100"
                                       "6100"
                                       "00"
                                       "00"),
                        9);
    expect_decode_error(test::from_hex("4845330d"
                                       "00"
                                       "01000000"
                                       "0200"
                                       "6101"),
                        9);
    expect_decode_error(test::from_hex("4845330d"
                                       "00"
                                       "01000000"
                                       "0100"
                                       "61ff"
                                       "0000"),
                        9);
    expect_decode_error(test::from_hex("4845330d"
                                       "00"
                                       "010000"),
                        9);
    // Two 255-bit codes that part at the first bit take 511 nodes; a third code needs more.
    Bytes two = test::from_hex(
        "4845330d"
        "00"
        "01000000"
        "0200"
        "00ff"
        "01ff");
    Bytes codes(64, 0);
    codes[31] = 0x80;  // the second code's first bit: bit 255 of the code bits
    two.insert(two.end(), codes.begin(), codes.end());
    two.push_back(0);  // data: 255 zero bits begin the first code
    Bytes data(32, 0);
    two.insert(two.end(), data.begin(), data.end());
    two[5] = 1;
    EXPECT_EQ(decoded(two), Bytes{0});
    // A third code "01" needs a new node below the first one.
    Bytes three = test::from_hex(
        "4845330d"
        "00"
        "01000000"
        "0300"
        "00ff"
        "01ff"
        "0202");
    codes[63] = 0x80;
    three.insert(three.end(), codes.begin(), codes.end());
    three.push_back(0x00);
    three.insert(three.end(), data.begin(), data.end());
    expect_decode_error(three, 9);
}

// Every truncation and a corpus of byte mutations of valid containers: each decodes, or
// raises one of the three errors with the array unchanged (under the sanitizers too).
TEST(Huffman, TruncationsAndMutations) {
    std::mt19937 rng(test::seed(13));
    std::vector<Bytes> containers = {
        encoded(bytes_of("abracadabra")),
        encoded(bytes_of("the quick brown fox jumps over the lazy dog"))};
    Bytes skewed(3000);
    for (auto& b : skewed)
        b = static_cast<std::uint8_t>(
            std::countr_zero(static_cast<std::uint32_t>(rng()) | 1u << 20));
    containers.push_back(encoded(skewed));
    for (const Bytes& valid : containers) {
        for (std::size_t cut = 0; cut < valid.size(); ++cut) {
            Bytes t(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(cut));
            clsKvVeskEncDecHuffmanA h;
            Bytes b = t;
            auto n = static_cast<std::int32_t>(b.size());
            try {
                h.DecodeByte(b, n);
                ADD_FAILURE() << "a container cut to " << cut << " bytes decoded";
            } catch (const Error& e) {
                EXPECT_TRUE(e.number() == kLibraryError || e.number() == 9) << e.number();
                EXPECT_EQ(b, t);
            }
        }
        for (int trial = 0; trial < 3000; ++trial) {
            Bytes m = valid;
            const int flips = 1 + static_cast<int>(rng() % 3);
            for (int f = 0; f < flips; ++f)
                m[rng() % std::min<std::size_t>(m.size(), 80)] = static_cast<std::uint8_t>(rng());
            clsKvVeskEncDecHuffmanA h;
            Bytes b = m;
            auto n = static_cast<std::int32_t>(b.size());
            try {
                h.DecodeByte(b, n);
            } catch (const Error& e) {
                EXPECT_TRUE(e.number() == kLibraryError || e.number() == 9) << e.number();
                EXPECT_EQ(b, m);
            }
        }
    }
}

TEST(Huffman, DecodingResumesAcrossPieces) {
    // The data bits fed in two pieces at every split equal one piece.
    std::mt19937 rng(test::seed(14));
    Bytes in(400);
    for (auto& b : in)
        b = static_cast<std::uint8_t>(
            std::countr_zero(static_cast<std::uint32_t>(rng()) | 1u << 14));
    const Bytes c = encoded(in);
    for (std::size_t split = 0; split <= 60; ++split) {
        encoding::HuffmanDecoder d;
        ASSERT_EQ(d.read_head(c, c.size()), encoding::HuffmanDecoder::Head::Ok);
        const std::uint8_t* data = c.data() + d.data_offset();
        const std::size_t bytes = c.size() - d.data_offset();
        const std::size_t cut = std::min(split, bytes);
        Bytes out(in.size());
        std::size_t made = 0, more = 0;
        std::uint64_t bit = 0;
        auto s = d.decode(data, cut, bit, UINT64_MAX, out.data(), out.size(), made);
        if (s == encoding::HuffmanDecoder::Stop::Input) {
            bit = 0;
            s = d.decode(data + cut, bytes - cut, bit, UINT64_MAX, out.data() + made,
                         out.size() - made, more);
        }
        EXPECT_EQ(s, encoding::HuffmanDecoder::Stop::Full) << split;
        EXPECT_EQ(out, in) << split;
    }
}

TEST(Huffman, Files) {
    test::ScratchDir dir;
    clsKvVeskEncDecHuffmanA h;
    auto path = [&](const char* n) { return utf8_to_text(dir / n); };
    Text missing = path("missing"), out = path("out"), src = path("src"), back = path("back");
    try {
        h.EncodeFile(missing, out);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kLibraryError);
        EXPECT_EQ(e.source(), "clsHuffman.EncodeFile()");
        EXPECT_EQ(e.description(), "Source file does not exist");
    }
    try {
        h.DecodeFile(missing, out);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.source(), "clsHuffman.DecodeFile()");
    }
    // An empty file: the stored container of nothing; decoding that gives nothing, decoding an
    // empty file raises the identification error.
    test::write_file(dir / "src", "");
    h.EncodeFile(src, out);
    EXPECT_EQ(test::read_file(dir / "out"), "HE0\r");
    h.DecodeFile(out, back);
    EXPECT_EQ(test::read_file(dir / "back"), "");
    try {
        h.DecodeFile(src, back);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.source(), kIdSource);
    }

    // Across several pieces of the file layer, coded and stored: the bytes of the array
    // operations; an existing destination is replaced.
    std::mt19937 rng(test::seed(15));
    for (bool text : {true, false}) {
        std::string data(2 * files::kPiece + 12345, '\0');
        for (auto& ch : data) ch = static_cast<char>(text ? 'a' + rng() % 26 : rng());
        test::write_file(dir / "src", data);
        test::write_file(dir / "out", "old");
        h.EncodeFile(src, out);
        const Bytes c = encoded(Bytes(data.begin(), data.end()));
        EXPECT_EQ(test::read_file(dir / "out"), std::string(c.begin(), c.end()));
        h.DecodeFile(out, back);
        EXPECT_EQ(test::read_file(dir / "back"), data);
    }

    // A corrupt container or a full disk: the destination stays as it was.
    test::write_file(dir / "src", "abracadabra");
    h.EncodeFile(src, out);
    std::string packed = test::read_file(dir / "out");
    packed[4] ^= 1;
    test::write_file(dir / "bad", packed);
    test::write_file(dir / "back", "keep");
    Text bad = path("bad");
    try {
        h.DecodeFile(bad, back);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.source(), kSumSource);
    }
    EXPECT_EQ(test::read_file(dir / "back"), "keep");
    {
        files::FaultScope full({.write_budget = 5});
        EXPECT_ERROR(h.EncodeFile(src, back), 75);
    }
    EXPECT_EQ(test::read_file(dir / "back"), "keep");
}

}  // namespace
}  // namespace ombrak
