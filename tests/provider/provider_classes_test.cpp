// The password-encryption classes: all 25 methods on texts and files, the hexadecimal forms,
// sticky choices, what each failure gives and reports, every Glim error, handles released.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "files_support.h"
#include "ombrak/frame/components.h"
#include "ombrak/frame/platform.h"
#include "ombrak/frame/text.h"
#include "ombrak/provider/classes.h"
#include "support.h"
#include "vectors.h"

namespace ombrak {
namespace {

namespace p = provider;

Text crypt_text(clsKvVeskEncDecA& c, std::int32_t type, const Text& text, const Text& password,
                std::int32_t method, std::int32_t conversion) {
    Text t = text, pw = password;
    std::int32_t reserved = 0;
    return c.StringCryptography(type, t, pw, reserved, method, conversion);
}

bool crypt_file(clsKvVeskEncDecA& c, std::int32_t type, const std::string& path,
                const Text& password, std::int32_t method) {
    Text file = utf8_to_text(path), pw = password, dest = u"ignored";
    std::int32_t reserved = 0;
    return c.FileCryptography(type, file, pw, dest, reserved, method);
}

std::string hex_of(const Text& t) {
    std::string s;
    for (std::uint8_t b : ansi_from_text(t)) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02x", b);
        s += buf;
    }
    return s;
}

TEST(PasswordEncryption, KnownCiphertexts) {
    // Each from OpenSSL with MD5("secret") as the key material and a zero IV: des-ede-cbc
    // (method 21: two-key triple DES), rc2-40-cbc (Glim block: 5 key bytes, 40 effective bits),
    // rc4-40 (Glim stream).
    clsKvVeskEncDecA c;
    EXPECT_EQ(hex_of(crypt_text(c, 0, u"Attack at dawn", u"secret", 21, 0)),
              "c8999f32d3210e035a1f368f4c9ad3f6");
    clsKvVeskEncDecGlimA g;
    EXPECT_EQ(g.Encrypt(u"Attack at dawn", u"secret", true, 0),
              u"3617815C01BB3421F4708E5F44E85B18");
    EXPECT_EQ(g.Encrypt(u"Attack at dawn", u"secret", true, 1), u"AC2E9269ED8714BCD7C8ECE70EE9");
    // The defaults: method 21, characters.
    Variant type(std::int32_t{0}), text(u"Attack at dawn"), pw(u"secret");
    EXPECT_EQ(hex_of(call(c, "StringCryptography", type, text, pw).get<Text>()),
              "c8999f32d3210e035a1f368f4c9ad3f6");
}

TEST(PasswordEncryption, AllMethodsRoundTripTextsAndFiles) {
    test::ScratchDir dir;
    std::mt19937 rng(test::seed(70));
    const Text text = u"Gr\u00fc\u00dfe, caf\u00e9 \u20ac 100 \u2014 plain text of some length";
    for (std::int32_t method = 0; method < 25; ++method) {
        SCOPED_TRACE("method " + std::to_string(method));
        clsKvVeskEncDecA c;
        const Text sealed = crypt_text(c, 0, text, u"password", method, 0);
        ASSERT_FALSE(sealed.empty());
        EXPECT_NE(sealed, ansi_to_text(ansi_from_text(text)));
        EXPECT_EQ(crypt_text(c, 1, sealed, u"password", method, 0),
                  ansi_to_text(ansi_from_text(text)));
        const Text hex = crypt_text(c, 0, text, u"password", method, 1);
        EXPECT_EQ(hex.size(), 2 * sealed.size());
        EXPECT_EQ(hex.find_first_not_of(u"0123456789ABCDEF"), Text::npos);
        EXPECT_EQ(crypt_text(c, 1, hex, u"password", method, 1),
                  ansi_to_text(ansi_from_text(text)));
        // Files of 1, 7, 8 and 9 bytes, in place; the decrypted file is exactly the plaintext.
        for (std::size_t size : {1, 7, 8, 9}) {
            std::string data(size, '\0');
            for (auto& ch : data) ch = static_cast<char>(rng());
            const std::string path = dir / "file";
            test::write_file(path, data);
            ASSERT_TRUE(crypt_file(c, 0, path, u"pw", method));
            const std::string sealed_file = test::read_file(path);
            EXPECT_NE(sealed_file, data);
            ASSERT_TRUE(crypt_file(c, 1, path, u"pw", method));
            EXPECT_EQ(test::read_file(path), data);
        }
    }
    EXPECT_EQ(p::open_handles(), 0u);
}

TEST(PasswordEncryption, FilesAcrossPiecesEqualTheTextOperation) {
    test::ScratchDir dir;
    std::string data(2 * files::kPiece + 13, '\0');
    std::mt19937 rng(test::seed(71));
    for (auto& ch : data) ch = static_cast<char>(rng());
    for (std::int32_t method : {2, 5, 17, 20, 22}) {  // DES, RC4 40, 3DES_112, 3DES, RC2 128
        SCOPED_TRACE(method);
        clsKvVeskEncDecA c;
        const std::string path = dir / "big";
        test::write_file(path, data);
        ASSERT_TRUE(crypt_file(c, 0, path, u"long file", method));
        const Text whole = crypt_text(c, 0, ansi_to_text(Bytes(data.begin(), data.end())),
                                      u"long file", method, 0);
        const Bytes expected = ansi_from_text(whole);
        EXPECT_EQ(test::read_file(path), std::string(expected.begin(), expected.end()));
        ASSERT_TRUE(crypt_file(c, 1, path, u"long file", method));
        EXPECT_EQ(test::read_file(path), data);
    }
}

TEST(PasswordEncryption, MethodsAndPasswordsAreKeptFromCallToCall) {
    clsKvVeskEncDecA fresh, c;
    test::ScratchDir dir;
    test::write_file(dir / "f", "data");
    // Method 25 on a new object: nothing chosen yet.
    EXPECT_EQ(crypt_text(fresh, 0, u"text", u"pw", 25, 0), u"");
    EXPECT_FALSE(crypt_file(fresh, 0, dir / "f", u"pw", 25));
    EXPECT_EQ(test::read_file(dir / "f"), "data");
    // After method 5, method 25 acts as 5.
    const Text five = crypt_text(c, 0, u"text", u"pw", 5, 0);
    EXPECT_EQ(crypt_text(c, 0, u"text", u"pw", 25, 0), five);
    EXPECT_EQ(crypt_text(c, 0, u"text", u"pw", -1, 0), five);
    // The password is the one each call gives: the empty one is a password too.
    const Text empty_pw = crypt_text(c, 0, u"text", u"", 25, 0);
    EXPECT_NE(empty_pw, five);
    EXPECT_EQ(crypt_text(c, 1, empty_pw, u"", 25, 0), u"text");
}

TEST(PasswordEncryption, FailuresGiveEmptyOrFalseAndReportErrors) {
    test::CountingReporter reporter;
    clsKvVeskEncDecA c;
    // Type 2: nothing for texts; files decrypt.
    EXPECT_EQ(crypt_text(c, 2, u"text", u"pw", 21, 0), u"");
    // A wrong password with a block cipher: the padding fails, the empty text; RC4 gives other
    // text.
    const Text sealed = crypt_text(c, 0, u"text", u"pw", 21, 0);
    EXPECT_EQ(crypt_text(c, 1, sealed, u"other", 21, 0), u"");
    const Text stream = crypt_text(c, 0, u"text", u"pw", 19, 0);
    const Text other = crypt_text(c, 1, stream, u"other", 19, 0);
    EXPECT_EQ(other.size(), 4u);
    EXPECT_NE(other, u"text");
    EXPECT_TRUE(reporter.numbers.empty());  // a refused provider call is no error
    // Hexadecimal input: lower case is fine, an odd last digit is read alone; a non-digit is
    // error 13, reported, and the decryption works on the empty text.
    const Text hex = crypt_text(c, 0, u"text", u"pw", 21, 1);
    Text lower = hex;
    for (auto& ch : lower) ch = static_cast<char16_t>(std::tolower(ch));
    EXPECT_EQ(crypt_text(c, 1, lower, u"pw", 21, 1), u"text");
    EXPECT_EQ(crypt_text(c, 1, u"4G", u"pw", 21, 1), u"");
    // The digits 4a are the character J; an odd last digit is read alone (RC4 keeps lengths).
    EXPECT_EQ(crypt_text(c, 1, u"4a5", u"pw", 19, 1),
              crypt_text(c, 1, Text(u"J") + char16_t{5}, u"pw", 19, 0));
    EXPECT_EQ(reporter.numbers, (std::vector<std::int32_t>{13}));
    EXPECT_EQ(reporter.places, (std::vector<std::string>{"czVeskEncDec.StringCryptography"}));

    // Files: missing, a folder: false, nothing reported. An empty file: false, error 9
    // reported once.
    test::ScratchDir dir;
    EXPECT_FALSE(crypt_file(c, 0, dir / "missing", u"pw", 21));
    EXPECT_FALSE(crypt_file(c, 0, dir.path.string(), u"pw", 21));
    test::write_file(dir / "empty", "");
    EXPECT_FALSE(crypt_file(c, 0, dir / "empty", u"pw", 21));
    EXPECT_EQ(reporter.numbers, (std::vector<std::int32_t>{13, 9}));
    EXPECT_EQ(reporter.places.back(), "czVeskEncDec.FileCryptography");
    // Decrypting with the wrong password, or a full disk: false, the source as it was.
    test::write_file(dir / "f", "some file data");
    ASSERT_TRUE(crypt_file(c, 0, dir / "f", u"pw", 21));
    const std::string sealed_file = test::read_file(dir / "f");
    EXPECT_FALSE(crypt_file(c, 1, dir / "f", u"wrong", 21));
    EXPECT_EQ(test::read_file(dir / "f"), sealed_file);
    {
        files::FaultScope full({.write_budget = 3});
        EXPECT_FALSE(crypt_file(c, 1, dir / "f", u"pw", 21));
    }
    EXPECT_EQ(test::read_file(dir / "f"), sealed_file);
    // Type 2 decrypts.
    EXPECT_TRUE(crypt_file(c, 2, dir / "f", u"pw", 21));
    EXPECT_EQ(test::read_file(dir / "f"), "some file data");
    EXPECT_EQ(reporter.numbers.size(), 2u);
    EXPECT_EQ(p::open_handles(), 0u);
}

TEST(PasswordEncryption, AReadOnlyFileStaysReadOnly) {
    test::ScratchDir dir;
    const std::string path = dir / "ro";
    test::write_file(path, "read-only data");
    ::chmod(path.c_str(), 0444);
    clsKvVeskEncDecA c;
    ASSERT_TRUE(crypt_file(c, 0, path, u"pw", 5));
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_NE(test::read_file(path), "read-only data");
    ASSERT_TRUE(crypt_file(c, 1, path, u"pw", 5));
    EXPECT_EQ(test::read_file(path), "read-only data");
}

// ---- Glim -----------------------------------------------------------------------------------

// Expects a Glim error: number, source and description.
template <class F>
void expect_glim(F&& f, std::int32_t offset, const char* source, const char* description) {
    try {
        f();
        ADD_FAILURE() << "no error, expected " << description;
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kObjectErrorBase + offset);
        EXPECT_EQ(e.source(), source);
        EXPECT_EQ(e.description(), description);
    }
}

TEST(Glim, RoundTripsAndLengths) {
    clsKvVeskEncDecGlimA g;
    const Text text = u"The quick brown fox \u00e9\u00e8";
    for (std::int32_t type : {0, 1}) {
        for (bool hex : {false, true}) {
            const Text sealed = g.Encrypt(text, u"key", hex, type);
            EXPECT_EQ(g.Decrypt(sealed, u"key", hex, type), text);
            if (!hex) {
                // Stream: as long as the text; block: the sizing call's length.
                EXPECT_EQ(sealed.size(), type ? text.size() : (text.size() / 8 + 1) * 8);
            }
        }
    }
    // Lower-case digits are accepted.
    Text hex = g.Encrypt(text, u"key", true, 0);
    for (auto& ch : hex) ch = static_cast<char16_t>(std::tolower(ch));
    EXPECT_EQ(g.Decrypt(hex, u"key", true, 0), text);
    EXPECT_EQ(p::open_handles(), 1u);  // the object's context, and nothing else
}

TEST(Glim, EveryError) {
    clsKvVeskEncDecGlimA g;
    const char* enc = "GlimCrypo.CCrypto.Encrypt";
    const char* dec = "GlimCrypo.CCrypto.Decrypt";
    const char* both = "GlimCrypo.CCrypto.EncryptDecrypt";
    const char* hex = "GlimCrypo.CCrypto.ConvertStringFromHex";
    expect_glim([&] { g.Encrypt(u"t", u"k", false, 2); }, 0x428, enc,
                "Invalid encryption type specified");
    expect_glim([&] { g.Decrypt(u"t", u"k", false, -1); }, 0x428, dec,
                "Invalid encryption type specified");
    // The type is checked first.
    expect_glim([&] { g.Encrypt(u"", u"", false, 2); }, 0x428, enc,
                "Invalid encryption type specified");
    expect_glim([&] { g.Encrypt(u"", u"k", false, 0); }, 0x427, enc,
                "Both a string and a key are required");
    expect_glim([&] { g.Decrypt(u"t", u"", false, 0); }, 0x427, dec,
                "Both a string and a key are required");
    expect_glim([&] { g.Decrypt(u"ABC", u"k", true, 0); }, 0x426, hex, "Not a valid hex string");
    expect_glim([&] { g.Decrypt(u"0G", u"k", true, 0); }, 0x426, hex, "Not a valid hex string");
    expect_glim([&] { g.Decrypt(u"0\u00c4", u"k", true, 0); }, 0x426, hex,
                "Not a valid hex string");
    const Text sealed = g.Encrypt(u"secret text", u"right", false, 0);
    expect_glim([&] { g.Decrypt(sealed, u"wrong", false, 0); }, 0x425, both,
                "Could not decrypt data");
    expect_glim([&] { g.Decrypt(u"short", u"k", false, 0); }, 0x425, both,
                "Could not decrypt data");
    // Stream ciphertext under another key decrypts to other text.
    const Text stream = g.Encrypt(u"secret text", u"right", false, 1);
    EXPECT_NE(g.Decrypt(stream, u"wrong", false, 1), u"secret text");

    // A provider that fails one step: that step's error, raised from EncryptDecrypt.
    enum class Step { Hash, HashData, Derive, Encrypt };
    struct Failing final : p::Provider {
        Step step;
        explicit Failing(Step s) : step(s) {}
        struct Hash final : p::HashObject {
            bool update(std::span<const std::uint8_t>) override { return false; }
            Bytes value() override { return Bytes(16); }
        };
        struct Key final : p::KeyObject {
            bool encrypt(bool, std::uint8_t*, std::uint32_t&, std::uint32_t,
                         std::uint32_t& e) override {
                e = p::NTE_BAD_DATA;
                return false;
            }
            bool decrypt(bool, std::uint8_t*, std::uint32_t&, std::uint32_t& e) override {
                e = p::NTE_BAD_DATA;
                return false;
            }
        };
        std::unique_ptr<p::HashObject> create_hash(std::uint32_t a, std::uint32_t& e) override {
            if (step == Step::Hash) {
                e = p::NTE_BAD_ALGID;
                return nullptr;
            }
            if (step == Step::HashData) return std::make_unique<Hash>();
            return p::builtin_provider(false)->create_hash(a, e);
        }
        std::unique_ptr<p::KeyObject> derive_key(std::uint32_t, p::HashObject&, std::uint32_t,
                                                 std::uint32_t& e) override {
            if (step == Step::Encrypt) return std::make_unique<Key>();
            e = p::NTE_BAD_FLAGS;
            return nullptr;
        }
    };
    const struct {
        Step step;
        std::int32_t offset;
        const char* description;
    } steps[] = {{Step::Hash, 0x421, "Could not create hash"},
                 {Step::HashData, 0x422, "Could not create hash data"},
                 {Step::Derive, 0x423, "Could not derive key"},
                 {Step::Encrypt, 0x424, "Could not encrypt data"}};
    for (const auto& f : steps) {
        p::register_provider(p::kBaseProvider, std::make_shared<Failing>(f.step));
        clsKvVeskEncDecGlimA h;
        expect_glim([&] { h.Encrypt(u"t", u"k", false, 1); }, f.offset, both, f.description);
    }
    // No provider at all: the object is not made.
    p::unregister_provider(p::kBaseProvider);
    expect_glim([] { create_object("Ombrak10.clsKvVeskEncDecGlimA"); }, 0x420,
                "GlimCrypo.CCrypto.Class_Initialize", "Could not acquire context");
    p::restore_default_providers();
    EXPECT_EQ(p::open_handles(), 1u);  // g's context
}

}  // namespace
}  // namespace ombrak
