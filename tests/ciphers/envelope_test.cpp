// The envelope classes: known envelopes, round trips, progress, key rules, files, failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "files_support.h"
#include "ombrak/ciphers/classes.h"
#include "ombrak/encoding/base64_class.h"
#include "ombrak/frame/platform.h"
#include "support.h"
#include "vectors.h"

namespace ombrak {
namespace {

namespace fs = std::filesystem;

TEST(Envelope, KnownEnvelopes) {
    ZeroRandomScope zero;
    auto records = test::read_records("envelopes.vec", "Out");
    EXPECT_EQ(records.size(), 21u);
    for (const auto& r : records) {
        SCOPED_TRACE("envelopes.vec line " + std::to_string(r.line));
        Text key = test::unescape(r["Key"]);
        Bytes data = test::from_hex(r["In"]), expected = test::from_hex(r["Out"]);
        auto check = [&](auto& cipher) {
            Bytes b = data;
            cipher.EncryptByte(b, key);
            EXPECT_EQ(b, expected);
            Text none;
            cipher.DecryptByte(b, none);
            EXPECT_EQ(b, data);
        };
        if (r["Cipher"] == "TEA") {
            clsKvVeskEncDecTeaA c;
            check(c);
        } else if (r["Cipher"] == "Blowfish") {
            clsKvVeskEncDecBlowFishA c;
            check(c);
        } else {
            clsKvVeskEncDecDesA c;
            check(c);
        }
    }
}

// A host object recording what it is called with; it can write into the argument or fail.
struct Host {
    std::vector<std::pair<std::string, Variant>> calls;
    std::optional<std::int32_t> write;
    bool fail = false;
    ObjectRef object() {
        return make_host_object([this](std::string_view m, MemberKind, std::span<ArgRef> args) {
            calls.emplace_back(std::string(m), *args[0].var);
            if (fail) raise_runtime(RuntimeError::NotSupported);
            if (write && args[0].by_ref) *args[0].var = Variant(*write);
            return Variant();
        });
    }
    std::vector<Variant> values() const {
        std::vector<Variant> v;
        for (const auto& c : calls) v.push_back(c.second);
        return v;
    }
};

// A new Twofish object has no key at all: the typed tests start every object from the empty key
// text, which leaves the other classes as they are (all-zero or unchanged key).
template <class C>
void ready(C& c) {
    c.Key(Text());
}

template <class C>
class EnvelopeClass : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("ombrak10-test-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    Text path(const char* name) { return utf8_to_text((dir / name).string()); }
    static void write(const Text& p, const std::string& s) {
        std::ofstream(text_to_utf8(p), std::ios::binary) << s;
    }
    static std::string read(const Text& p) {
        std::ifstream f(text_to_utf8(p), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
};

using Classes = ::testing::Types<clsKvVeskEncDecTeaA, clsKvVeskEncDecBlowFishA, clsKvVeskEncDecDesA,
                                 clsKvVeskEncDecGostA, clsKvVeskEncDec2FishA>;
TYPED_TEST_SUITE(EnvelopeClass, Classes);

TYPED_TEST(EnvelopeClass, RoundTripsAtEveryLength) {
    std::mt19937 rng(11);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 24; ++n) lengths.push_back(n);
    lengths.insert(lengths.end(), {100, 4096, 100003});
    for (std::size_t n : lengths) {
        TypeParam c;
        ready(c);
        Bytes data(n);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        Text key = u"k" + ascii_to_text(std::to_string(n)), none;
        Bytes b = data;
        c.EncryptByte(b, key);
        const std::size_t B = TypeParam::kBlock;
        EXPECT_EQ(b.size(), (n + 12 + B - 1) / B * B) << n;  // B = 8: 16 for 0..4, 24 for 5..12
        TypeParam other;
        ready(other);
        other.DecryptByte(b, key);
        EXPECT_EQ(b, data) << n;
    }
}

TYPED_TEST(EnvelopeClass, SameDataTwiceGivesDifferentCiphertexts) {
    TypeParam c;
    ready(c);
    Text key = u"secret", text = u"attack at dawn";
    bool b64 = true;
    Text first = c.EncryptString(text, key, b64);
    text = u"attack at dawn";
    key = u"secret";
    Text second = c.EncryptString(text, key, b64);
    EXPECT_NE(first, second);
    for (Text* t : {&first, &second}) {
        TypeParam d;
        ready(d);
        Text k = u"secret";
        EXPECT_EQ(d.DecryptString(*t, k, b64), Text(u"attack at dawn"));
    }
}

TYPED_TEST(EnvelopeClass, WrongKeyAndBrokenInputRaiseNothing) {
    TypeParam c;
    ready(c);
    Text key = u"right", wrong = u"wrong", none;
    Bytes b = Bytes(30, 7);
    c.EncryptByte(b, key);
    Bytes garbled = b;
    c.DecryptByte(garbled, wrong);
    // Untrimmed unless the garbage descriptor passes the check.
    EXPECT_TRUE(garbled.size() == b.size() || garbled.size() + 12 <= b.size());

    // Two blocks and four bytes: two blocks decrypted, the last four left as they were.
    const std::size_t B = TypeParam::kBlock;
    Bytes twenty(b.begin(), b.begin() + 2 * B + 4);
    Bytes expected = twenty;
    c.DecryptByte(twenty, none);
    EXPECT_EQ(twenty.size(), 2 * B + 4);
    EXPECT_TRUE(std::equal(twenty.begin() + 2 * B, twenty.end(), expected.begin() + 2 * B));
    EXPECT_FALSE(std::equal(twenty.begin(), twenty.begin() + 2 * B, expected.begin()));

    for (std::size_t n : {std::size_t{0}, B}) {
        Bytes small(n, 1);
        c.DecryptByte(small, none);
        EXPECT_EQ(small.size(), n);
    }
}

TYPED_TEST(EnvelopeClass, ProgressEventsAndBuddy) {
    TypeParam c;
    ready(c);
    Host sink, buddy;
    c.connect(sink.object());
    Text none;
    // Data of 4 bytes makes one envelope of 16 bytes, data of 12 one of 24 (B = 8) or 32 (B = 16).
    const bool wide = TypeParam::kBlock == 16;
    using V = std::vector<Variant>;
    const V one{std::int32_t{0}, std::int32_t{50}, std::int32_t{100}};
    Bytes sixteen(4, 0), twenty_four(12, 0);
    c.EncryptByte(sixteen, none);
    EXPECT_EQ(sink.values(), (wide ? V{std::int32_t{0}, std::int32_t{100}} : one));
    sink.calls.clear();
    c.EncryptByte(twenty_four, none);
    EXPECT_EQ(
        sink.values(),
        (wide ? one : V{std::int32_t{0}, std::int32_t{33}, std::int32_t{66}, std::int32_t{100}}));
    sink.calls.clear();
    c.DecryptByte(twenty_four, none);
    EXPECT_EQ(sink.calls.size(), wide ? 3u : 4u);
    EXPECT_EQ(sink.calls[0].first, "Progress");

    ObjectRef b = buddy.object();
    c.BuddyObject(b);
    sink.calls.clear();
    c.EncryptByte(twenty_four = Bytes(wide ? 12 : 4, 0), none);
    EXPECT_TRUE(sink.calls.empty());
    EXPECT_EQ(buddy.values(),
              (std::vector<Variant>{std::int32_t{0}, std::int32_t{50}, std::int16_t{100}}));
    EXPECT_EQ(buddy.calls[0].first, TypeParam::info().event->buddy_method);

    // A buddy writing 100 into Percent: each step recomputes it, but the final notification,
    // which compares it with 100, is left out.
    buddy.calls.clear();
    buddy.write = 100;
    c.EncryptByte(twenty_four = Bytes(wide ? 12 : 4, 0), none);
    EXPECT_EQ(buddy.values(), (std::vector<Variant>{std::int32_t{0}, std::int32_t{50}}));
}

TYPED_TEST(EnvelopeClass, AFailingBuddy) {
    TypeParam c;
    ready(c);
    Host buddy;
    buddy.fail = true;
    ObjectRef b = buddy.object();
    Text key = u"k", text = u"data";
    bool no = false;
    Bytes plain(30, 1), encrypted = plain;
    Text none;
    c.EncryptByte(encrypted, key);  // no buddy yet
    c.BuddyObject(b);
    EXPECT_ERROR(c.EncryptString(text, key, no), 438);
    // DecryptByte stops silently after its first block.
    Bytes partial = encrypted;
    c.DecryptByte(partial, none);
    EXPECT_EQ(partial.size(), encrypted.size());
    EXPECT_TRUE(std::equal(partial.begin() + TypeParam::kBlock, partial.end(),
                           encrypted.begin() + TypeParam::kBlock));
    EXPECT_EQ(buddy.calls.size(), 2u);
}

TYPED_TEST(EnvelopeClass, KeyArgumentStaysInForce) {
    ZeroRandomScope zero;
    TypeParam a, b;
    ready(a);
    ready(b);
    Text key = u"kept", none;
    Bytes x(5, 9), y(5, 9);
    a.EncryptByte(x, key);
    a.EncryptByte(y, none);  // still under "kept"
    EXPECT_EQ(x, y);
    Text upper = u"KEPT";
    Bytes z(5, 9);
    b.EncryptByte(z, upper);
    EXPECT_NE(z, x);  // letter case matters
    b.DecryptByte(x, key);
    EXPECT_EQ(x, Bytes(5, 9));
}

TYPED_TEST(EnvelopeClass, Base64CopiesMatchTheBase64Class) {
    TypeParam c;
    ready(c);
    clsKvVeskEncDecBase64A b64;
    Bytes bytes(200, 0xA5);
    Text text = u"TWFu\r\nTQ==", plain = u"Man";
    EXPECT_EQ(c.EncodeArray64(bytes), b64.EncodeArray64(bytes));
    EXPECT_EQ(c.DecodeArray64(text), b64.DecodeArray64(text));
    EXPECT_EQ(c.Encode64(plain), b64.Encode64(plain));
    EXPECT_EQ(c.Decode64(text), b64.Decode64(text));
    Text empty = u"==";
    EXPECT_ERROR(c.DecodeArray64(empty), 5);
}

TYPED_TEST(EnvelopeClass, Files) {
    // Every call gets its own copies: Blowfish empties the caller's arguments.
    TypeParam c, d;
    ready(c);
    ready(d);
    auto encrypt = [&](Text in, Text out, bool overwrite, Text key, bool b64) {
        return c.EncryptFile(in, out, overwrite, key, b64);
    };
    auto decrypt = [&](Text in, Text out, bool overwrite, Text key, bool b64) {
        return d.DecryptFile(in, out, overwrite, key, b64);
    };
    const Text in = this->path("in.bin"), out = this->path("out.bin"),
               back = this->path("back.bin");
    const Text key = u"file key";
    std::string data(1000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    this->write(in, data);
    this->write(out, "keep me");

    // Existing output without Overwrite, or a missing input: false, nothing touched.
    Text k = key, i = in, o = out;
    bool no = false;
    EXPECT_FALSE(c.EncryptFile(i, o, no, k, no));
    EXPECT_EQ(this->read(out), "keep me");
    EXPECT_TRUE(k == key && i == in && o == out);  // the early returns leave the arguments
    EXPECT_FALSE(encrypt(this->path("missing.bin"), out, true, key, false));

    EXPECT_TRUE(encrypt(in, out, true, key, true));  // Base64 output
    std::string b64 = this->read(out);
    const std::size_t B = TypeParam::kBlock;
    EXPECT_EQ(b64.size(), encoding::base64_lines_length((1000 + 12 + B - 1) / B * B));
    EXPECT_EQ(b64.substr(76, 2), "\r\n");
    EXPECT_EQ(b64.find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\r\n"),
              std::string::npos);
    EXPECT_TRUE(decrypt(out, back, false, key, true));
    EXPECT_EQ(this->read(back), data);

    // A failed decryption (wrong key: the size check fails) leaves the destination as it was.
    EXPECT_TRUE(encrypt(in, out, true, key, false));
    EXPECT_FALSE(decrypt(out, back, true, u"not the key", false));
    EXPECT_EQ(this->read(back), data);

    // Encrypting a file onto itself works.
    EXPECT_TRUE(encrypt(in, in, true, key, false));
    EXPECT_TRUE(decrypt(in, in, true, key, false));
    EXPECT_EQ(this->read(in), data);

    // An empty file encrypts as an empty buffer; an empty file does not decrypt.
    const Text empty = this->path("empty.bin"), sealed = this->path("empty.enc");
    this->write(empty, "");
    EXPECT_TRUE(encrypt(empty, sealed, true, key, false));
    EXPECT_EQ(this->read(sealed).size(), 16u);
    EXPECT_TRUE(decrypt(sealed, back, true, key, false));
    EXPECT_EQ(this->read(back), "");
    EXPECT_FALSE(decrypt(empty, back, true, key, false));

    // An empty Base64 file holds nothing to decode: false (found hanging by the fuzzer).
    EXPECT_FALSE(decrypt(empty, back, true, key, true));

    // Not a whole number of blocks: false, destination untouched.
    const Text odd = this->path("odd.bin");
    this->write(odd, std::string(20, 'x'));
    this->write(back, "before");
    EXPECT_FALSE(decrypt(odd, back, true, key, false));
    EXPECT_EQ(this->read(back), "before");
}

// File operations stream in pieces; they must write what the in-memory operations make of the
// whole file, with the same progress, at lengths around the piece size and the Base64 line and
// group boundaries (ciphertexts of 56 bytes make one line, 64 two).
TYPED_TEST(EnvelopeClass, StreamingEqualsWholeBuffer) {
    ZeroRandomScope zero;
    const std::size_t p = files::kPiece, b = TypeParam::kBlock;
    const std::size_t lengths[] = {0,   1,    4,          5,      44,    45,    52,         53,
                                   444, 1000, p - 12 - b, p - 12, p - 4, p + 4, 2 * p + 100};
    std::mt19937 rng(5);
    for (std::size_t n : lengths) {
        SCOPED_TRACE(n);
        std::string data(n, '\0');
        for (auto& ch : data) ch = static_cast<char>(rng());
        const Text in = this->path("in"), out = this->path("out"), out64 = this->path("out64"),
                   back = this->path("back");
        this->write(in, data);

        // In memory.
        TypeParam mem;
        ready(mem);
        Host mem_events;
        mem.connect(mem_events.object());
        Bytes sealed(data.begin(), data.end());
        Text key = u"stream key";
        mem.EncryptByte(sealed, key);
        const auto encrypt_events = mem_events.values();
        mem_events.calls.clear();
        Bytes opened = sealed;
        mem.DecryptByte(opened, key);
        const auto decrypt_events = mem_events.values();
        ASSERT_EQ(opened, Bytes(data.begin(), data.end()));

        // Streamed, raw and Base64.
        TypeParam file;
        ready(file);
        Host file_events;
        file.connect(file_events.object());
        auto encrypt = [&](const Text& to, bool b64) {
            Text i = in, o = to, k = u"stream key";
            bool yes = true, base64 = b64;
            EXPECT_TRUE(file.EncryptFile(i, o, yes, k, base64));
        };
        auto decrypt = [&](const Text& from, bool b64) {
            Text i = from, o = back, k = u"stream key";
            bool yes = true, base64 = b64;
            EXPECT_TRUE(file.DecryptFile(i, o, yes, k, base64));
            EXPECT_EQ(this->read(back), data);
        };
        encrypt(out, false);
        EXPECT_EQ(this->read(out), std::string(sealed.begin(), sealed.end()));
        EXPECT_EQ(file_events.values(), encrypt_events);
        file_events.calls.clear();
        encrypt(out64, true);
        EXPECT_EQ(this->read(out64), encoding::base64_encode_lines(sealed));
        EXPECT_EQ(file_events.values(), encrypt_events);
        file_events.calls.clear();
        decrypt(out, false);
        EXPECT_EQ(file_events.values(), decrypt_events);
        file_events.calls.clear();
        decrypt(out64, true);
        EXPECT_EQ(file_events.values(), decrypt_events);
    }
}

// A buddy that fails on the calls a predicate picks.
ObjectRef failing_buddy(std::vector<Variant>& seen, std::function<bool(const Variant&)> fails) {
    return make_host_object([&seen, fails](std::string_view, MemberKind, std::span<ArgRef> args) {
        seen.push_back(*args[0].var);
        if (fails(*args[0].var)) raise_runtime(RuntimeError::NotSupported);
        return Variant();
    });
}

TEST(EnvelopeFiles, DecryptFileChecksTheSizeFirstAndKeepsAResultWhoseLastNoteFailed) {
    test::ScratchDir dir;
    const std::string plain(5000, 'p');
    test::write_file(dir / "in", plain);
    clsKvVeskEncDecTeaA tea;
    Text in = utf8_to_text(dir / "in"), sealed = utf8_to_text(dir / "sealed"),
         back = utf8_to_text(dir / "back"), key = u"right";
    bool yes = true, no = false;
    ASSERT_TRUE(tea.EncryptFile(in, sealed, yes, key, no));
    test::write_file(dir / "back", "before");

    std::vector<Variant> seen;
    ObjectRef buddy = failing_buddy(seen, [](const Variant&) { return false; });
    tea.BuddyObject(buddy);
    // A wrong key: the size check fails before any block is reported; nothing is written.
    Text wrong = u"wrong";
    EXPECT_FALSE(tea.DecryptFile(sealed, back, yes, wrong, no));
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(test::read_file(dir / "back"), "before");

    // A notification failing mid-way: false, nothing written.
    ObjectRef midway = failing_buddy(seen, [n = 0](const Variant&) mutable { return ++n == 3; });
    tea.BuddyObject(midway);
    EXPECT_FALSE(tea.DecryptFile(sealed, back, yes, key, no));
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(test::read_file(dir / "back"), "before");

    // Only the final notification fails: the data is whole and checked, so it is written.
    seen.clear();
    ObjectRef last = failing_buddy(seen, [](const Variant& v) {
        return v.type() == VarType::I16 && v.get<std::int16_t>() == 100;
    });
    tea.BuddyObject(last);
    EXPECT_TRUE(tea.DecryptFile(sealed, back, yes, key, no));
    EXPECT_EQ(test::read_file(dir / "back"), plain);
    EXPECT_EQ(seen.back(), Variant(std::int16_t{100}));
    // EncryptFile has no such exception: its last notification failing fails it.
    test::write_file(dir / "sealed2", "before");
    Text sealed2 = utf8_to_text(dir / "sealed2");
    EXPECT_FALSE(tea.EncryptFile(in, sealed2, yes, key, no));
    EXPECT_EQ(test::read_file(dir / "sealed2"), "before");

    // Not whole blocks: the progress of the whole blocks, as DecryptByte reports it, then false.
    ObjectRef none;
    tea.BuddyObject(none);
    Host sink;
    tea.connect(sink.object());
    test::write_file(dir / "odd", std::string(20, 'x'));
    Text odd = utf8_to_text(dir / "odd");
    EXPECT_FALSE(tea.DecryptFile(odd, back, yes, key, no));
    auto file_events = sink.values();
    sink.calls.clear();
    Bytes twenty(20, 'x');
    tea.DecryptByte(twenty, key);
    EXPECT_EQ(file_events, sink.values());
    EXPECT_EQ(file_events.size(), 2u);
}

// Base64 files are text: each byte is the character the code page gives it and counts as that
// character's low byte. In code page 1252, byte 0x8C is U+0152, so it stands for "R" (0x52).
TEST(EnvelopeFiles, Base64FilesAreReadThroughTheCodePage) {
    ZeroRandomScope zero;  // the same text every run
    test::ScratchDir dir;
    const std::string plain = "code page bytes in Base64 text, long enough for several lines";
    clsKvVeskEncDecDesA des;
    Text key = u"cp key";
    Bytes sealed(plain.begin(), plain.end());
    des.EncryptByte(sealed, key);
    std::string text = encoding::base64_encode_lines(sealed);
    std::size_t replaced = 0;
    for (std::size_t i = 16; i < text.size(); ++i) {  // past the header's characters
        if (text[i] == 'R') text[i] = '\x8C', ++replaced;
        if (text[i] == 'S') text[i] = '\x9C', ++replaced;  // U+0153
    }
    ASSERT_GT(replaced, 0u) << "pick another key: no R or S to replace";
    test::write_file(dir / "sealed.b64", text);
    Text in = utf8_to_text(dir / "sealed.b64"), out = utf8_to_text(dir / "back");
    bool yes = true;
    ASSERT_TRUE(set_code_page(1252));
    EXPECT_TRUE(des.DecryptFile(in, out, yes, key, yes));
    EXPECT_EQ(test::read_file(dir / "back"), plain);
    // Read as code page 1251 the same bytes are other characters: the data differs, and so the
    // envelope fails its size check or decrypts to something else.
    ASSERT_TRUE(set_code_page(1251));
    test::write_file(dir / "back", "");
    des.DecryptFile(in, out, yes, key, yes);
    EXPECT_NE(test::read_file(dir / "back"), plain);
    ASSERT_TRUE(set_code_page(1252));
}

TEST(Envelope, DecryptStringWritesTheDecodedTextBack) {
    clsKvVeskEncDecTeaA c;
    Text key = u"k", text = u"hello";
    bool yes = true;
    Text b64 = c.EncryptString(text, key, yes);
    Text arg = b64;
    EXPECT_EQ(c.DecryptString(arg, key, yes), Text(u"hello"));
    EXPECT_EQ(arg, decode64(b64));
}

TEST(Envelope, HugeOrNegativeSizeDescriptorIsAFailedCheck) {
    // Hand-made envelopes under the all-zero TEA key: descriptor -1 and 0x7FFFFFFF.
    for (std::uint32_t size : {0xFFFFFFFFu, 0x7FFFFFFFu}) {
        ciphers::TeaKernel k;
        Bytes env(16, 0);
        for (int i = 0; i < 4; ++i) env[8 + i] = static_cast<std::uint8_t>(size >> (8 * i));
        std::uint8_t chain[8] = {};
        k.cbc_encrypt(env.data(), 2, chain);
        clsKvVeskEncDecTeaA c;
        Bytes b = env;
        EXPECT_EQ(c.decrypt_envelope(b), DecryptStatus::SizeError);
        EXPECT_EQ(b.size(), 16u);
    }
}

TEST(Blowfish, ClearsTheCallersArguments) {
    clsKvVeskEncDecBlowFishA c;
    Text text = u"hello", key = u"key";
    bool no = false;
    Text cipher = c.EncryptString(text, key, no);
    EXPECT_TRUE(text.empty() && key.empty());
    Text again = u"hello", none;
    Text second = c.EncryptString(again, none, no);  // still under "key"
    clsKvVeskEncDecBlowFishA d;
    Text k = u"key", k2 = u"key";
    EXPECT_EQ(d.DecryptString(cipher, k, no), Text(u"hello"));
    EXPECT_EQ(d.DecryptString(second, k2, no), Text(u"hello"));
    EXPECT_TRUE(cipher.empty() && k.empty());

    // A wrong key raises nothing and still clears.
    Text junk = u"junk", wrong = u"wrong";
    d.DecryptString(junk, wrong, no);
    EXPECT_TRUE(junk.empty() && wrong.empty());
}

// Three bytes under the object's current key (with the random words forced to zero by the caller).
template <class C>
Bytes encrypt(C& c) {
    Bytes b(3, 1);
    Text none;
    c.EncryptByte(b, none);
    return b;
}

TEST(Blowfish, KeyRules) {
    ZeroRandomScope zero;
    clsKvVeskEncDecBlowFishA fresh, a, b, c, d;
    const Bytes initial = encrypt(fresh);
    a.Key(u"");  // the empty text on a new object changes nothing
    EXPECT_EQ(encrypt(a), initial);
    a.Key(u"Secret");
    b.Key(u"SECRET");
    a.Key(u"SECRET");
    EXPECT_EQ(encrypt(a), encrypt(b));
    // 80 characters act like their first 72.
    std::u16string long_key(80, u'x');
    for (std::size_t i = 0; i < long_key.size(); ++i)
        long_key[i] = static_cast<char16_t>(u'A' + i % 26);
    c.Key(long_key);
    d.Key(long_key.substr(0, 72));
    EXPECT_EQ(encrypt(c), encrypt(d));
    // The empty text after a key: error 9, then the initial tables.
    EXPECT_ERROR(c.Key(u""), 9);
    EXPECT_EQ(encrypt(c), initial);
}

TEST(Tea, KeyRules) {
    ZeroRandomScope zero;
    clsKvVeskEncDecTeaA a, b, fresh;
    a.Key(u"0123456789ABCDEFGHIJ");
    b.Key(u"0123456789ABCDEF");
    EXPECT_EQ(encrypt(a), encrypt(b));
    a.Key(u"");
    EXPECT_EQ(encrypt(a), encrypt(fresh));  // the empty text is the all-zero key
}

TEST(Des, KeyRules) {
    ZeroRandomScope zero;
    clsKvVeskEncDecDesA a, b, c, fresh;
    a.Key(u"abcdefghXYZ");
    b.Key(u"abcdefgh");
    EXPECT_EQ(encrypt(a), encrypt(b));
    c.Key(u"`bbdefgi");  // each byte differs from "abcdefgh" only in its parity bit
    EXPECT_EQ(encrypt(c), encrypt(b));
    a.Key(u"");
    EXPECT_EQ(encrypt(a), encrypt(fresh));
    // Three characters: their bytes and five zero bytes.
    ciphers::DesKernel k;
    const std::uint8_t key[8] = {'a', 'b', 'c', 0, 0, 0, 0, 0};
    k.set_key(key);
    c.Key(u"abc");
    Bytes env(16, 0);
    env[8] = 3;
    env[12] = env[13] = env[14] = 1;
    std::uint8_t chain[8] = {};
    k.cbc_encrypt(env.data(), 2, chain);
    EXPECT_EQ(encrypt(c), env);
}

TEST(Blowfish, FileFailuresAreRaisedAndArgumentsCleared) {
    clsKvVeskEncDecBlowFishA c;
    fs::path dir = fs::temp_directory_path() / ("ombrak10-bf-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    Text in = utf8_to_text((dir / "in").string()), out = utf8_to_text((dir / "out").string());
    std::ofstream(text_to_utf8(in)) << "data";
    Text bad_out = utf8_to_text((dir / "no-such-dir" / "out").string());
    Text key = u"k", i = in;
    bool yes = true, no = false;
    EXPECT_ERROR(c.EncryptFile(i, bad_out, yes, key, no), 75);
    EXPECT_EQ(key, Text(u"k"));
    Text o = out;
    EXPECT_TRUE(c.EncryptFile(i, o, yes, key, no));
    EXPECT_TRUE(i.empty() && o.empty() && key.empty());
    // Decryption: cleared on success and on a trapped failure, not on the early returns.
    Text di = out, dout = utf8_to_text((dir / "back").string()), dk = u"wrong";
    EXPECT_FALSE(c.DecryptFile(di, dout, yes, dk, no));  // a different key: size check fails
    EXPECT_TRUE(di.empty() && dout.empty() && dk.empty());
    Text missing = utf8_to_text((dir / "missing").string()), mk = u"k", mo = out;
    EXPECT_FALSE(c.DecryptFile(missing, mo, yes, mk, no));
    EXPECT_EQ(mk, Text(u"k"));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace ombrak

namespace ombrak {
namespace {

// Hosts that bind by position rely on the interface order.
TEST(Envelope, MemberOrder) {
    auto order = [](const ClassInfo& info) {
        std::string out;
        for (const auto& m : info.members)
            out += m.name +
                   (m.kind == MemberKind::Method ? "" : std::string(" ") + kind_name(m.kind)) + ",";
        return out;
    };
    const std::string base =
        "BuddyObject get,BuddyObject set,Decode64,DecodeArray64,Encode64,EncodeArray64,";
    EXPECT_EQ(
        order(clsKvVeskEncDecTeaA::info()),
        base +
            "EncryptFile,DecryptFile,EncryptString,DecryptString,EncryptByte,DecryptByte,Key let,");
    EXPECT_EQ(
        order(clsKvVeskEncDecBlowFishA::info()),
        base +
            "EncryptByte,EncryptString,DecryptString,DecryptByte,Key let,EncryptFile,DecryptFile,");
    EXPECT_EQ(
        order(clsKvVeskEncDecDesA::info()),
        base +
            "EncryptByte,DecryptByte,EncryptFile,DecryptFile,EncryptString,DecryptString,Key let,");
    EXPECT_EQ(
        order(clsKvVeskEncDecGostA::info()),
        base +
            "EncryptFile,DecryptFile,DecryptString,EncryptString,EncryptByte,DecryptByte,Key let,");
    EXPECT_EQ(
        order(clsKvVeskEncDec2FishA::info()),
        base +
            "EncryptFile,DecryptFile,EncryptString,DecryptString,Key let,EncryptByte,DecryptByte,");
    EXPECT_EQ(
        order(clsKvVeskEncDecRC4A::info()),
        base +
            "EncryptFile,DecryptFile,DecryptByte,EncryptString,DecryptString,EncryptByte,Key let,");
    EXPECT_EQ(order(clsKvVeskEncDecSerpentA::info()), base + "EncryptString,DecryptString,");
    EXPECT_EQ(order(clsKvVeskEncDecBase64A::info()),
              "Decode64,DecodeArray64,Encode64,EncodeArray64,");
}

}  // namespace
}  // namespace ombrak
