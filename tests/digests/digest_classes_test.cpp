// The digest classes: their text-to-byte rules and hex cases, the MD5 context operations with
// their limits and write-backs, the file digests, and the calls by name.
#include "ombrak/digests/classes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "files_support.h"
#include "ombrak/frame/components.h"
#include "ombrak/frame/text.h"
#include "support.h"
#include "vectors.h"

namespace ombrak {
namespace {

Text widen(const Bytes& b) {
    return Text(b.begin(), b.end());
}

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string utf8(const Text& t) {
    return text_to_utf8(t);
}

// Every vector of the kernels (lengths 0 to 1000 around the padding boundaries) through the
// classes: texts of those bytes and files of them.
TEST(DigestClasses, KnownAnswersThroughTextsAndFiles) {
    test::ScratchDir dir;
    clsKvVeskMessageDigestA md5_text;
    clsKvVeskEncDecMD5A md5a;
    clsKvVeskMessageDigestB md5b;
    clsKvVeskEncDecShaA sha1;
    clsKvVeskEncDecSha256A sha256;
    for (const auto& r : test::read_records("digests.vec", "Out")) {
        SCOPED_TRACE("digests.vec line " + std::to_string(r.line));
        const Bytes in = test::from_hex(r["In"]);
        const std::string& out = r["Out"];
        // Code page 1252 gives every byte a character that converts back to it.
        Text ansi = ansi_to_text(in), low = widen(in);
        ASSERT_EQ(ansi_from_text(ansi), in);
        if (r["Algo"] == "md5") {
            EXPECT_EQ(utf8(md5_text.MD5(low)), out);
            EXPECT_EQ(utf8(md5a.DigestStrToHexStr(ansi)), upper(out));
            const std::string path = dir / ("f" + std::to_string(in.size()));
            test::write_file(path, std::string(in.begin(), in.end()));
            Text p = utf8_to_text(path);
            EXPECT_EQ(utf8(md5a.DigestFileToHexStr(p)), upper(out));
            EXPECT_EQ(utf8(md5b.DigestFileToHexStr(p)), upper(out));
            EXPECT_EQ(utf8(md5b.GetValues()), upper(out));
        } else if (r["Algo"] == "sha1") {
            EXPECT_EQ(utf8(sha1.SHA1(ansi)), upper(out));
        } else {
            EXPECT_EQ(utf8(sha256.SHA256(low)), out);
        }
    }
}

TEST(DigestClasses, TextToBytesRules) {
    ASSERT_EQ(code_page(), 1252);
    const Text euro = u"\u20AC", mixed = u"price: 12 \u20AC";
    Text t = euro;
    // The low byte of the code unit (0xAC) against the ANSI code (0x80).
    EXPECT_EQ(utf8(clsKvVeskMessageDigestA().MD5(t)), "20a7f30fb9f8e145422b66b3d4f4da70");
    EXPECT_EQ(utf8(clsKvVeskEncDecMD5A().DigestStrToHexStr(t)),
              "8D39DD7EEF115EA6975446EF4082951F");
    EXPECT_EQ(utf8(clsKvVeskEncDecShaA().SHA1(t)), "C78EBD3C85A39A596D9F5CFD2B8D240BC1B9C125");
    t = euro;
    EXPECT_EQ(utf8(clsKvVeskEncDecSha256A().SHA256(t)),
              "ee6bb86b44339392bae631c8f61dd8f009243c635adab33c0b20923a2794bf22");
    // Printable ASCII gives the same bytes both ways; the euro sign does not.
    Text ascii = u" ~Hello, World!", copy = ascii;
    EXPECT_EQ(upper(utf8(clsKvVeskMessageDigestA().MD5(ascii))),
              utf8(clsKvVeskEncDecMD5A().DigestStrToHexStr(copy)));
    t = mixed, copy = mixed;
    EXPECT_NE(upper(utf8(clsKvVeskMessageDigestA().MD5(t))),
              utf8(clsKvVeskEncDecMD5A().DigestStrToHexStr(copy)));
    // A long text goes through the kernel in pieces.
    Text long_text(100000, u'\0');
    for (std::size_t i = 0; i < long_text.size(); ++i)
        long_text[i] = static_cast<char16_t>(0x100 + i % 256);  // high bytes dropped
    EXPECT_EQ(utf8(clsKvVeskMessageDigestA().MD5(long_text)), "7007d9ba10b9a5e64a9f92df87e94a06");
}

TEST(DigestClasses, ShaOperationsEmptyTheCallersText) {
    auto sha1 = create_object("Ombrak10.clsKvVeskEncDecShaA");
    auto sha256 = create_object("Ombrak10.clsKvVeskEncDecSha256A");
    Variant message(Text(u"abc"));
    EXPECT_EQ(call(*sha1, "SHA1", message), Variant(Text(u"A9993E364706816ABA3E25717850C26C9CD0D89D")));
    EXPECT_EQ(message, Variant(Text()));
    message = Variant(Text(u"abc"));
    EXPECT_EQ(call(*sha256, "SHA256", message),
              Variant(Text(u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad")));
    EXPECT_EQ(message, Variant(Text()));
    // The MD5 classes leave theirs as it was.
    auto md5 = create_object("Ombrak10.clsKvVeskMessageDigestA");
    message = Variant(Text(u"abc"));
    EXPECT_EQ(call(*md5, "MD5", message), Variant(Text(u"900150983cd24fb0d6963f7d28e17f72")));
    EXPECT_EQ(message, Variant(Text(u"abc")));
}

template <class C>
class Md5ContextTest : public ::testing::Test {};
using ContextClasses = ::testing::Types<clsKvVeskEncDecMD5A, clsKvVeskMessageDigestB>;
TYPED_TEST_SUITE(Md5ContextTest, ContextClasses);

TYPED_TEST(Md5ContextTest, RegistersAndValues) {
    TypeParam m;
    EXPECT_EQ(utf8(m.GetValues()), std::string(32, '0'));
    EXPECT_EQ(utf8(m.RegisterA()), "0");
    m.MD5Init();
    EXPECT_EQ(utf8(m.RegisterA()), "1732584193");
    EXPECT_EQ(utf8(m.RegisterB()), "-271733879");
    EXPECT_EQ(utf8(m.RegisterC()), "-1732584194");
    EXPECT_EQ(utf8(m.RegisterD()), "271733878");
    Text empty;
    EXPECT_EQ(utf8(m.DigestStrToHexStr(empty)), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(utf8(m.RegisterA()), "-645128748");
    EXPECT_EQ(utf8(m.RegisterB()), "78774415");
    EXPECT_EQ(utf8(m.RegisterC()), "-1744207639");
    EXPECT_EQ(utf8(m.RegisterD()), "2118318316");
}

// Feeds data in pieces of the given sizes (cycled) and returns the digest.
template <class C>
std::string digest_in_pieces(const Bytes& data, const std::vector<int>& sizes) {
    C m;
    m.MD5Init();
    std::size_t at = 0;
    for (std::size_t k = 0; at < data.size(); ++k) {
        std::int32_t n = std::min<std::int32_t>(sizes[k % sizes.size()],
                                               static_cast<std::int32_t>(data.size() - at));
        Bytes piece(data.begin() + static_cast<std::ptrdiff_t>(at),
                    data.begin() + static_cast<std::ptrdiff_t>(at + n));
        m.MD5Update(n, piece);
        at += static_cast<std::size_t>(n);
    }
    m.MD5Final();
    return utf8(m.GetValues());
}

TYPED_TEST(Md5ContextTest, UpdateInPiecesEqualsOneCall) {
    std::mt19937 rng(test::seed(29));
    Bytes data(5000);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    const std::string whole = digest_in_pieces<TypeParam>(data, {5000});
    Text as_text = widen(data);
    EXPECT_EQ(whole, upper(utf8(clsKvVeskMessageDigestA().MD5(as_text))));
    for (const auto& sizes : std::vector<std::vector<int>>{
             {1}, {63}, {64}, {65}, {1, 63, 64, 65}, {65, 64, 1, 63}, {0, 7, 128}})
        EXPECT_EQ(digest_in_pieces<TypeParam>(data, sizes), whole);
}

TYPED_TEST(Md5ContextTest, UpdateLimitsLeaveTheContextUnchanged) {
    TypeParam m;
    m.MD5Init();
    Bytes big(32768, 'a');
    std::int32_t n = 32767;
    m.MD5Update(n, big);
    const Text after = m.GetValues();
    n = 32768;
    EXPECT_ERROR(m.MD5Update(n, big), 6);
    n = 10;
    Bytes short_array(9, 'a'), none;
    EXPECT_ERROR(m.MD5Update(n, short_array), 9);
    EXPECT_ERROR(m.MD5Update(n, none), 9);
    n = -5;
    m.MD5Update(n, none);  // feeds nothing
    EXPECT_EQ(m.GetValues(), after);
    // Only the 32767 bytes were counted: the digest is theirs.
    m.MD5Final();
    Text a32767(32767, u'a');
    EXPECT_EQ(m.GetValues(), TypeParam().DigestStrToHexStr(a32767));
}

TYPED_TEST(Md5ContextTest, TextLimit) {
    TypeParam m;
    Text ok(32767, u'x'), too_long(32768, u'x');
    const Text digest = m.DigestStrToHexStr(ok);
    EXPECT_ERROR(m.DigestStrToHexStr(too_long), 6);
    EXPECT_EQ(m.GetValues(), digest);  // nothing was started
    Text one_more = too_long;
    EXPECT_EQ(clsKvVeskMessageDigestA().MD5(one_more).size(), 32u);  // no limit there
}

TYPED_TEST(Md5ContextTest, FinalLimitAtTwoTo28Bytes) {
    // 2^28 - 1 bytes can be finished, one more cannot: error 6, the context unchanged.
    TypeParam m;
    m.MD5Init();
    Bytes zeros(32767, 0);
    std::int32_t n = 32767;
    for (int i = 0; i < 8192; ++i) m.MD5Update(n, zeros);
    n = (1 << 28) - 1 - 8192 * 32767;
    m.MD5Update(n, zeros);
    TypeParam copy = m;
    copy.MD5Final();
    EXPECT_EQ(utf8(copy.GetValues()), "11049CCFCE66D876D2620C8F53C3762F");
    n = 1;
    m.MD5Update(n, zeros);
    const Text before = m.GetValues();
    EXPECT_ERROR(m.MD5Final(), 6);
    EXPECT_EQ(m.GetValues(), before);
}

TYPED_TEST(Md5ContextTest, LongLeftRotate) {
    struct Case {
        std::int32_t value, bits, result, bits_after;
    };
    const Case cases[] = {
        {1, 1, 2, 1},
        {INT32_MIN, 1, 1, 1},
        {1073741824, 1, INT32_MIN, 1},
        {1, 37, 32, 5},
        {1, 32, 1, 0},
        {7, -3, 7, -3},
        {7, -35, 7, -3},
        {0x12345678, 8, 0x34567812, 8},
    };
    TypeParam m;
    for (const auto& c : cases) {
        std::int32_t value = c.value, bits = c.bits;
        EXPECT_EQ(m.LongLeftRotate(value, bits), c.result) << c.value << " " << c.bits;
        EXPECT_EQ(value, c.result);
        EXPECT_EQ(bits, c.bits_after);
    }
}

TEST(DigestClasses, FileFailures) {
    test::ScratchDir dir;
    clsKvVeskEncDecMD5A a;
    clsKvVeskMessageDigestB b;
    Text missing = utf8_to_text(dir / "missing"), folder = utf8_to_text(dir.path.string());
    EXPECT_EQ(a.DigestFileToHexStr(missing), Text());
    EXPECT_ERROR(b.DigestFileToHexStr(missing), 53);
    EXPECT_EQ(a.DigestFileToHexStr(folder), Text());
    EXPECT_ERROR(b.DigestFileToHexStr(folder), 75);
    // Beyond 268435455 bytes: refused by its size before anything is read (a sparse file).
    const std::string big = dir / "big";
    test::write_file(big, "");
    std::filesystem::resize_file(big, 1u << 28);
    Text big_path = utf8_to_text(big);
    Text abc = u"abc";
    const Text digest = b.DigestStrToHexStr(abc);
    EXPECT_ERROR(b.DigestFileToHexStr(big_path), 6);
    EXPECT_EQ(b.GetValues(), digest);
    EXPECT_EQ(a.DigestFileToHexStr(big_path), Text());
    // A read failure midway.
    const std::string file = dir / "file";
    test::write_file(file, std::string(200000, 'z'));
    Text file_path = utf8_to_text(file);
    files::FaultScope faults({.read_budget = 1000});
    EXPECT_ERROR(b.DigestFileToHexStr(file_path), 75);
    EXPECT_EQ(a.DigestFileToHexStr(file_path), Text());
}

TEST(DigestClasses, CallsByNameWriteBack) {
    auto m = create_object("Ombrak10.clsKvVeskMessageDigestB");
    Variant value(std::int32_t{1}), bits(std::int32_t{37});
    EXPECT_EQ(call(*m, "LongLeftRotate", value, bits), Variant(std::int32_t{32}));
    EXPECT_EQ(value, Variant(std::int32_t{32}));
    EXPECT_EQ(bits, Variant(std::int32_t{5}));
    call(*m, "MD5Init");
    Variant length(std::int32_t{3}), buffer(Bytes{'a', 'b', 'c'});
    call(*m, "MD5Update", length, buffer);
    call(*m, "MD5Final");
    EXPECT_EQ(call(*m, "GetValues"), Variant(Text(u"900150983CD24FB0D6963F7D28E17F72")));
    EXPECT_EQ(m->invoke("RegisterA", MemberKind::Get, {}), Variant(Text(u"-1739587184")));
}

}  // namespace
}  // namespace ombrak
