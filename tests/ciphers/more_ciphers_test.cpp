// GOST and Twofish key rules, RC4 and Serpent: known values, progress, failures, files.
#include <gtest/gtest.h>

#include <random>

#include "files_support.h"
#include "ombrak/ciphers/classes.h"
#include "ombrak/encoding/base64.h"
#include "ombrak/frame/platform.h"
#include "support.h"
#include "vectors.h"

namespace ombrak {
namespace {

// A host object recording the values it is called with; it can fail.
struct Recorder {
    std::vector<Variant> values;
    std::vector<std::string> names;
    bool fail = false;
    ObjectRef object() {
        return make_host_object([this](std::string_view m, MemberKind, std::span<ArgRef> args) {
            names.emplace_back(m);
            values.push_back(*args[0].var);
            if (fail) raise_runtime(RuntimeError::NotSupported);
            return Variant();
        });
    }
};

template <class C>
Bytes sealed_empty(C& c) {
    ZeroRandomScope zero;
    Bytes b;
    Text none;
    c.EncryptByte(b, none);
    return b;
}

// ---- GOST --------------------------------------------------------------------------------

TEST(Gost, ZeroKeyEnvelope) {
    clsKvVeskEncDecGostA c;
    EXPECT_EQ(sealed_empty(c), test::from_hex("6945c8c5bb8d0ad1460c66ea9a3b71e7"));
}

TEST(Gost, KeyRules) {
    clsKvVeskEncDecGostA a, b, fresh;
    // Three characters repeated to 32 bytes; forty encrypt like their first 32.
    a.Key(u"abc");
    b.Key(u"abcabcabcabcabcabcabcabcabcabcab");
    EXPECT_EQ(sealed_empty(a), sealed_empty(b));
    Text forty;
    for (int i = 0; i < 40; ++i) forty += static_cast<char16_t>(u'A' + i % 26);
    a.Key(forty);
    b.Key(forty.substr(0, 32));
    EXPECT_EQ(sealed_empty(a), sealed_empty(b));
    // A text differing in letter case is a new key, the same as on a new object.
    clsKvVeskEncDecGostA lower, upper;
    lower.Key(u"key");
    lower.Key(u"KEY");
    upper.Key(u"KEY");
    EXPECT_EQ(sealed_empty(lower), sealed_empty(upper));
    EXPECT_NE(sealed_empty(lower), sealed_empty(fresh));
    // The empty text: nothing on a new object; after a key, error 11 with the key kept.
    fresh.Key(u"");
    EXPECT_EQ(sealed_empty(fresh), test::from_hex("6945c8c5bb8d0ad1460c66ea9a3b71e7"));
    const Bytes before = sealed_empty(upper);
    EXPECT_ERROR(upper.Key(u""), 11);
    EXPECT_EQ(sealed_empty(upper), before);
}

// ---- Twofish -----------------------------------------------------------------------------

// The key a text and a minimum select, worked out independently of the class: the cipher is
// the one a text of exactly that many characters (its bytes, then U+0000) selects on its own.
Text expected_key(const Text& t, std::int32_t min) {
    std::int64_t bits = 8 * static_cast<std::int64_t>(t.size());
    Text k = t;
    if (bits < min) {
        k.resize(static_cast<std::size_t>(min / 8));
        bits = min;
    }
    const std::size_t bytes = bits > 192 ? 32 : bits > 128 ? 24 : bits > 64 ? 16 : 8;
    k.resize(bytes);
    return k;
}

TEST(Twofish, KeyClassSelection) {
    ZeroRandomScope zero;
    for (std::int32_t min : {0, 32, 33, 64, 65, 128, 129, 192, 193, 196, 256, 1000}) {
        for (std::size_t n = 0; n <= 40; ++n) {
            Text t;
            for (std::size_t i = 0; i < n; ++i) t += static_cast<char16_t>(u'a' + i % 26);
            clsKvVeskEncDec2FishA a, b;
            a.Key(min, t);
            b.Key(0, expected_key(t, min));
            EXPECT_EQ(sealed_empty(a), sealed_empty(b)) << min << " " << n;
        }
    }
    // Spot checks against the kernel: three characters with TWOFISH_196 are a 256-bit key,
    // with TWOFISH_128 a 128-bit one; four characters alone are the 64-bit form.
    auto kernel_envelope = [](Bytes key) {
        ciphers::TwofishKernel k;
        k.set_key(key.data(), key.size());
        Bytes env(16, 0);
        std::uint8_t chain[16] = {};
        k.cbc_encrypt(env.data(), 1, chain);
        return env;
    };
    auto padded = [](std::string s, std::size_t n) {
        s.resize(n);
        return Bytes(s.begin(), s.end());
    };
    clsKvVeskEncDec2FishA c;
    c.Key(clsKvVeskEncDec2FishA::TWOFISH_196, u"abc");
    EXPECT_EQ(sealed_empty(c), kernel_envelope(padded("abc", 32)));
    c.Key(clsKvVeskEncDec2FishA::TWOFISH_128, u"abc");
    EXPECT_EQ(sealed_empty(c), kernel_envelope(padded("abc", 16)));
    c.Key(0, u"abcd");
    EXPECT_EQ(sealed_empty(c), kernel_envelope(padded("abcd", 8)));
    c.Key(0, u"");
    EXPECT_EQ(sealed_empty(c), kernel_envelope(padded("", 8)));
}

TEST(Twofish, MinKeyLengthByName) {
    ZeroRandomScope zero;
    clsKvVeskEncDec2FishA a, b;
    Variant min(std::int32_t{128}), key(Text(u"abc"));
    ArgRef both[] = {{&min, false}, {&key, false}};
    a.invoke("Key", MemberKind::Let, both);
    b.Key(128, u"abc");
    EXPECT_EQ(sealed_empty(a), sealed_empty(b));
    ArgRef value_only[] = {{&key, false}};
    a.invoke("Key", MemberKind::Let, value_only);  // MinKeyLength omitted: 0
    b.Key(0, u"abc");
    EXPECT_EQ(sealed_empty(a), sealed_empty(b));
    ArgRef named[] = {{&key, false}, {&min, false, "MinKeyLength"}};
    a.invoke("Key", MemberKind::Let, named);
    b.Key(128, u"abc");
    EXPECT_EQ(sealed_empty(a), sealed_empty(b));
}

TEST(Twofish, NoKeyYet) {
    test::ScratchDir dir;
    test::write_file(dir / "in", "data");
    test::write_file(dir / "out", "keep");
    clsKvVeskEncDec2FishA c;
    Text none, text = u"text";
    bool no = false, yes = true;
    Bytes b{1, 2, 3};
    EXPECT_ERROR(c.EncryptByte(b, none), 9);
    EXPECT_EQ(b, (Bytes{1, 2, 3}));  // untouched
    EXPECT_ERROR(c.EncryptString(text, none, no), 9);
    c.DecryptByte(b, none);
    EXPECT_EQ(b, (Bytes{1, 2, 3}));
    EXPECT_EQ(c.DecryptString(text, none, no), Text(u"text"));
    Text in = utf8_to_text(dir / "in"), out = utf8_to_text(dir / "out");
    EXPECT_FALSE(c.EncryptFile(in, out, yes, none, no));
    EXPECT_FALSE(c.DecryptFile(in, out, yes, none, no));
    EXPECT_EQ(test::read_file(dir / "out"), "keep");
    // Once a key is set it stays: EncryptString works without a key argument.
    c.Key(u"now");
    EXPECT_FALSE(c.EncryptString(text, none, no).empty());
}

TEST(Twofish, EnvelopeLengths) {
    clsKvVeskEncDec2FishA c;
    c.Key(u"k");
    const std::pair<std::size_t, std::size_t> cases[] = {{0, 16},  {4, 16},  {5, 32},
                                                         {20, 32}, {21, 48}, {36, 48}};
    for (auto [n, expected] : cases) {
        Bytes b(n, 1);
        Text none;
        c.EncryptByte(b, none);
        EXPECT_EQ(b.size(), expected) << n;
    }
}

// ---- RC4 ---------------------------------------------------------------------------------

TEST(Rc4, KnownCiphertextsAndItsOwnInverse) {
    clsKvVeskEncDecRC4A c;
    Text key = u"Key";
    Bytes b{'P', 'l', 'a', 'i', 'n', 't', 'e', 'x', 't'};
    c.EncryptByte(b, key);
    EXPECT_EQ(b, test::from_hex("bbf316e8d940af0ad3"));
    Text none;
    c.EncryptByte(b, none);  // every call starts the keystream afresh
    EXPECT_EQ(b, (Bytes{'P', 'l', 'a', 'i', 'n', 't', 'e', 'x', 't'}));
    c.DecryptByte(b, none);
    EXPECT_EQ(b, test::from_hex("bbf316e8d940af0ad3"));
    // Keys differing in letter case are different keys.
    clsKvVeskEncDecRC4A d;
    Text upper = u"KEY";
    Bytes e{'P', 'l', 'a', 'i', 'n', 't', 'e', 'x', 't'};
    d.EncryptByte(e, upper);
    EXPECT_NE(e, b);
}

TEST(Rc4, ProgressCountsBytes) {
    clsKvVeskEncDecRC4A c;
    c.Key(u"k");
    Recorder sink;
    c.connect(sink.object());
    Text none;
    Bytes four(4, 0), empty;
    c.EncryptByte(four, none);
    EXPECT_EQ(sink.values,
              (std::vector<Variant>{std::int32_t{0}, std::int32_t{25}, std::int32_t{50},
                                    std::int32_t{75}, std::int32_t{100}}));
    sink.values.clear();
    c.EncryptByte(empty, none);
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(sink.values, (std::vector<Variant>{std::int32_t{100}}));
    // A failing buddy reaches the caller: nothing is trapped.
    Recorder buddy;
    buddy.fail = true;
    ObjectRef b = buddy.object();
    c.BuddyObject(b);
    EXPECT_ERROR(c.EncryptByte(four, none), 438);
    EXPECT_EQ(buddy.names.front(), "czVeskEncDecRC4_Progress");
}

TEST(Rc4, NoKeyAndTheEmptyKey) {
    test::ScratchDir dir;
    test::write_file(dir / "in", "data");
    clsKvVeskEncDecRC4A c;
    Text none, text = u"plain", in = utf8_to_text(dir / "in"), out = utf8_to_text(dir / "out");
    bool no = false, yes = true;
    Bytes b{1, 2, 3};
    // No key ever applied: the data is not handed back as its own ciphertext.
    EXPECT_ERROR(c.EncryptByte(b, none), 5);
    EXPECT_ERROR(c.DecryptByte(b, none), 5);
    EXPECT_EQ(b, (Bytes{1, 2, 3}));
    EXPECT_ERROR(c.EncryptString(text, none, no), 5);
    EXPECT_ERROR(c.DecryptString(text, none, no), 5);
    EXPECT_FALSE(c.EncryptFile(in, out, yes, none, no));
    EXPECT_FALSE(c.DecryptFile(in, out, yes, none, no));
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    c.Key(u"");  // the stored key is already empty: nothing happens, still no key
    EXPECT_ERROR(c.EncryptByte(b, none), 5);
    // The empty text after a key: error 11, and the identity permutation from then on.
    c.Key(u"k");
    EXPECT_ERROR(c.Key(u""), 11);
    Bytes x(8, 0), y(8, 0);
    c.EncryptByte(x, none);
    clsKvVeskEncDecRC4A d;
    d.Key(u"k");
    d.EncryptByte(y, none);
    EXPECT_NE(x, y);
    EXPECT_NE(x, Bytes(8, 0));
}

TEST(Rc4, StringsAreAsLongAsTheData) {
    clsKvVeskEncDecRC4A c;
    Text key = u"string key", text = u"seventeen chars!!";
    bool yes = true;
    Text sealed = c.EncryptString(text, key, yes);
    EXPECT_EQ(text_to_utf8(sealed).find("\r\n"), std::string::npos);
    Bytes raw = c.DecodeArray64(sealed);
    EXPECT_EQ(raw.size(), 17u);
    Text none;
    Text back = c.DecryptString(sealed, none, yes);
    EXPECT_EQ(back, Text(u"seventeen chars!!"));
    EXPECT_EQ(sealed.size(), 17u);  // the decoded text is written back
}

TEST(Rc4, FilesStreamAsTheBytesDo) {
    test::ScratchDir dir;
    const std::size_t p = files::kPiece;
    std::mt19937 rng(9);
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{57}, std::size_t{58}, p - 1,
                          p + 1, 2 * p + 3}) {
        SCOPED_TRACE(n);
        std::string data(n, '\0');
        for (auto& ch : data) ch = static_cast<char>(rng());
        test::write_file(dir / "in", data);
        clsKvVeskEncDecRC4A mem, file;
        Recorder mem_events, file_events;
        mem.connect(mem_events.object());
        file.connect(file_events.object());
        Text key = u"file key";
        Bytes sealed(data.begin(), data.end());
        mem.EncryptByte(sealed, key);
        Text in = utf8_to_text(dir / "in"), out = utf8_to_text(dir / "out"),
             out64 = utf8_to_text(dir / "out64"), back = utf8_to_text(dir / "back");
        bool yes = true, no = false;
        ASSERT_TRUE(file.EncryptFile(in, out, yes, key, no));
        EXPECT_EQ(test::read_file(dir / "out"), std::string(sealed.begin(), sealed.end()));
        EXPECT_EQ(file_events.values, mem_events.values);
        ASSERT_TRUE(file.EncryptFile(in, out64, yes, key, yes));
        EXPECT_EQ(test::read_file(dir / "out64"), encoding::base64_encode_lines(sealed));
        if (n == 0) continue;  // an empty Base64 text holds nothing to decode
        ASSERT_TRUE(file.DecryptFile(out64, back, yes, key, yes));
        EXPECT_EQ(test::read_file(dir / "back"), data);
        ASSERT_TRUE(file.DecryptFile(out, back, yes, key, no));
        EXPECT_EQ(test::read_file(dir / "back"), data);
    }
    // A failing notification: false, the destination as it was.
    clsKvVeskEncDecRC4A c;
    Recorder buddy;
    buddy.fail = true;
    ObjectRef b = buddy.object();
    c.BuddyObject(b);
    test::write_file(dir / "out", "keep");
    Text in = utf8_to_text(dir / "in"), out = utf8_to_text(dir / "out"), key = u"k";
    bool yes = true, no = false;
    EXPECT_FALSE(c.EncryptFile(in, out, yes, key, no));
    EXPECT_EQ(test::read_file(dir / "out"), "keep");
}

// ---- Serpent -----------------------------------------------------------------------------

Text latin1(const Bytes& b) {
    return ansi_to_text(b);
}

TEST(Serpent, KnownBlockAndPadding) {
    clsKvVeskEncDecSerpentA c;
    Text empty, none;
    bool no = false;
    const Text zero_block = latin1(test::from_hex("454910895019180498d98df949672ba8"));
    EXPECT_EQ(c.EncryptString(empty, none, no), zero_block);
    const std::pair<std::size_t, std::size_t> lengths[] = {{16, 16}, {17, 32}, {32, 32}};
    for (auto [n, expected] : lengths) {
        Text t(n, u'x');
        EXPECT_EQ(c.EncryptString(t, none, no).size(), expected) << n;
    }
    // Equal blocks of text give equal blocks of ciphertext; the same call twice, the same text.
    Text twice = u"0123456789abcdef0123456789abcdef", key = u"k";
    Text s = c.EncryptString(twice, key, no);
    EXPECT_EQ(s.substr(0, 16), s.substr(16));
    EXPECT_EQ(c.EncryptString(twice, key, no), s);
    // The padding stays on decryption.
    Text abc = u"abc";
    Text sealed = c.EncryptString(abc, key, no);
    EXPECT_EQ(c.DecryptString(sealed, key, no), Text(u"abc") + Text(13, u'\0'));
}

TEST(Serpent, KeysUseTheirFirst32Characters) {
    clsKvVeskEncDecSerpentA c;
    Text text = u"key rules", long_key(40, u'K'), short_key = u"short";
    bool no = false;
    Text first32 = long_key.substr(0, 32), padded = short_key + Text(27, u'\0');
    EXPECT_EQ(c.EncryptString(text, long_key, no), c.EncryptString(text, first32, no));
    EXPECT_EQ(c.EncryptString(text, short_key, no), c.EncryptString(text, padded, no));
    EXPECT_NE(c.EncryptString(text, short_key, no), c.EncryptString(text, first32, no));
}

TEST(Serpent, Base64AndTheWriteBack) {
    clsKvVeskEncDecSerpentA c;
    Text text = u"sixteen bytes!!!", key = u"b64";
    bool yes = true;
    Text sealed = c.EncryptString(text, key, yes);
    EXPECT_EQ(c.DecodeArray64(sealed).size(), 16u);
    EXPECT_EQ(c.DecryptString(sealed, key, yes), Text(u"sixteen bytes!!!"));
    EXPECT_EQ(sealed.size(), 16u);  // the caller's text now holds the decoded ciphertext
}

TEST(Serpent, ProgressAfterEveryBlock) {
    using V = std::vector<Variant>;
    clsKvVeskEncDecSerpentA c;
    Recorder sink;
    c.connect(sink.object());
    Text two(32, u'a'), one(5, u'a'), key = u"k";
    bool no = false;
    Text sealed = c.EncryptString(two, key, no);
    EXPECT_EQ(sink.values, (V{std::int16_t{0}, std::int16_t{100}}));
    sink.values.clear();
    c.DecryptString(sealed, key, no);
    EXPECT_EQ(sink.values, (V{std::int16_t{0}, std::int16_t{50}}));
    sink.values.clear();
    Text single = c.EncryptString(one, key, no);
    EXPECT_EQ(sink.values, (V{std::int16_t{100}}));
    sink.values.clear();
    c.DecryptString(single, key, no);
    EXPECT_EQ(sink.values, (V{std::int16_t{0}}));
    // Ten blocks: 0, 10, ..., 80, then 100 for the last.
    sink.values.clear();
    Text ten(160, u'a');
    c.EncryptString(ten, key, no);
    ASSERT_EQ(sink.values.size(), 10u);
    EXPECT_EQ(sink.values[8], Variant(std::int16_t{80}));
    EXPECT_EQ(sink.values[9], Variant(std::int16_t{100}));

    // A buddy without the method costs only its notifications; the pump turns after each block.
    Recorder buddy;
    buddy.fail = true;
    ObjectRef b = buddy.object();
    c.BuddyObject(b);
    int turns = 0;
    set_event_pump([&] { ++turns; });
    Text back = c.DecryptString(sealed, key, no);
    set_event_pump(nullptr);
    EXPECT_EQ(back, Text(32, u'a'));
    EXPECT_EQ(buddy.names, (std::vector<std::string>(2, "czVeskEncDecSerpent_Progress")));
    EXPECT_EQ(turns, 2);
}

TEST(Serpent, LongTextsAndPartialBlocks) {
    clsKvVeskEncDecSerpentA c;
    Text key = u"long";
    bool no = false;
    // Beyond 32752 characters the text still decrypts fully.
    for (std::size_t n : {std::size_t{32752}, std::size_t{32753}, std::size_t{70000}}) {
        Text t(n, u'z');
        Text sealed = c.EncryptString(t, key, no);
        Text back = c.DecryptString(sealed, key, no);
        EXPECT_EQ(back.substr(0, n), t) << n;
        EXPECT_EQ(back.size(), sealed.size());
    }
    // A partial last block is completed by the ciphertext block before it: the 4 bytes of a
    // 20-byte text decrypt as the block of those 4 bytes and bytes 4..15 of the first block.
    Text two(32, u'q');
    Text sealed = c.EncryptString(two, key, no);
    Text cut = sealed.substr(0, 20);
    Text completed = sealed.substr(16, 4) + sealed.substr(4, 12);  // bytes 16..19, then 4..15
    Text block_only = completed;
    Text expected = c.DecryptString(block_only, key, no).substr(0, 4);
    Text got = c.DecryptString(cut, key, no);
    EXPECT_EQ(got.size(), 20u);
    EXPECT_EQ(got.substr(0, 16), Text(16, u'q'));
    EXPECT_EQ(got.substr(16), expected);
    // A single partial block is completed with zeros.
    Text three = sealed.substr(0, 3);
    Text zeros = three + Text(13, u'\0');
    EXPECT_EQ(c.DecryptString(three, key, no), c.DecryptString(zeros, key, no).substr(0, 3));
    Text empty;
    EXPECT_EQ(c.DecryptString(empty, key, no), Text());
}

// What the tool streams equals what the text operations make.
TEST(Serpent, StreamingEqualsTheTextOperations) {
    const std::size_t p = files::kPiece;
    std::mt19937 rng(4);
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{16}, std::size_t{41},
                          std::size_t{42}, std::size_t{57}, p - 3, p, p + 5, 2 * p + 17}) {
        SCOPED_TRACE(n);
        Bytes data(n);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        clsKvVeskEncDecSerpentA c;
        Text key = u"stream", text = ansi_to_text(data);
        for (bool b64 : {false, true}) {
            Text sealed = c.EncryptString(text, key, b64);
            test::StringInput in(std::string(data.begin(), data.end()));
            test::StringSink out;
            c.crypt_stream(key, false, in.in, n, false, out, b64);
            if (b64)
                EXPECT_EQ(out.data, text_to_utf8(sealed));  // Base64 text is ASCII
            else
                EXPECT_EQ(ansi_to_text(Bytes(out.data.begin(), out.data.end())), sealed);
        }
        // Decrypting any length, whole blocks or not, raw and from Base64.
        Text cipher_text = ansi_to_text(data);
        bool no = false;
        Text expected = c.DecryptString(cipher_text, key, no);
        test::StringInput in(std::string(data.begin(), data.end()));
        test::StringSink out;
        c.crypt_stream(key, true, in.in, n, false, out, false);
        EXPECT_EQ(ansi_to_text(Bytes(out.data.begin(), out.data.end())), expected);
        if (n == 0) continue;
        test::StringInput in64(encoding::base64_encode_lines(data));
        test::StringSink out64;
        c.crypt_stream(key, true, in64.in, n, true, out64, false);
        EXPECT_EQ(out64.data, out.data);
    }
}

}  // namespace
}  // namespace ombrak
