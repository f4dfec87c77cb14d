// The password-encryption classes: what they hash, derive and encrypt through the provider layer,
// the hexadecimal forms, and how each reports its failures.
#include <unistd.h>

#include <algorithm>

#include "ombrak/digests/classes.h"
#include "ombrak/frame/components.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/platform.h"
#include "ombrak/frame/text.h"
#include "ombrak/provider/classes.h"

namespace ombrak {

namespace p = provider;

ProviderSession::~ProviderSession() {
    if (key) p::destroy_key(key);
    if (hash) p::destroy_hash(hash);
    if (context && owns_context) p::release_context(context, 0);
}

bool ProviderSession::derive(std::uint32_t hash_algorithm, std::uint32_t cipher,
                             const Text& password, std::uint32_t flags) {
    if (!p::create_hash(context, hash_algorithm, 0, 0, hash)) return false;
    const Bytes bytes = ansi_from_text(password);
    if (!p::hash_data(hash, bytes.data(), static_cast<std::uint32_t>(bytes.size()), 0))
        return false;
    return p::derive_key(context, cipher, hash, flags, key);
}

bool stream_through_key(p::Handle key, bool decrypt, std::uint64_t total,
                        const std::function<std::size_t(std::uint8_t*, std::size_t)>& read,
                        files::Sink& out) {
    // Room for the padding block a final encryption adds.
    Bytes piece(static_cast<std::size_t>(std::min<std::uint64_t>(total, files::kPiece)) + 8);
    std::uint64_t done = 0;
    do {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(files::kPiece, total - done));
        if (read(piece.data(), n) != n) raise_runtime(RuntimeError::FileAccess);
        done += n;
        const bool final = done == total;
        auto length = static_cast<std::uint32_t>(n);
        const bool ok = decrypt ? p::decrypt(key, 0, final, 0, piece.data(), length)
                                : p::encrypt(key, 0, final, 0, piece.data(), length,
                                             static_cast<std::uint32_t>(piece.size()));
        if (!ok) return false;
        out.write({piece.data(), length});
    } while (done < total);
    return true;
}

namespace {

// ---- Hexadecimal forms ----------------------------------------------------------------------

// Each character's ANSI code as two upper-case hexadecimal digits.
Text text_to_hex(const Text& text) {
    return ascii_to_text(hex_digits(ansi_from_text(text), true));
}

int hex_value(char16_t c) noexcept {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

// Pairs of digits to the characters of those ANSI codes; an odd last digit is read alone. A
// character that is not a digit raises error 13.
Text hex_to_text(const Text& hex) {
    Bytes bytes;
    bytes.reserve(hex.size() / 2 + 1);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int v = 0;
        for (std::size_t j = i; j < std::min(i + 2, hex.size()); ++j) {
            const int d = hex_value(hex[j]);
            if (d < 0) raise_runtime(RuntimeError::TypeMismatch);
            v = v * 16 + d;
        }
        bytes.push_back(static_cast<std::uint8_t>(v));
    }
    return ansi_to_text(bytes);
}

std::uint32_t length_of(const Text& text) {
    if (text.size() > 0x7FFF'FFF0u) raise_runtime(RuntimeError::Overflow);
    return static_cast<std::uint32_t>(text.size());
}

// ---- The 25 methods -------------------------------------------------------------------------

struct Method {
    bool enhanced;
    std::uint32_t hash, cipher;
};

// clang-format off
constexpr Method kMethods[25] = {
    {false, p::CALG_MD2, p::CALG_RC2}, {false, p::CALG_MD2, p::CALG_RC4},
    {false, p::CALG_MD2, p::CALG_DES}, {false, p::CALG_MD4, p::CALG_RC2},
    {false, p::CALG_MD5, p::CALG_RC2}, {false, p::CALG_MD5, p::CALG_RC4},
    {false, p::CALG_MD5, p::CALG_DES}, {false, p::CALG_SHA, p::CALG_RC2},
    {false, p::CALG_SHA, p::CALG_RC4}, {false, p::CALG_SHA, p::CALG_DES},
    {true, p::CALG_MD2, p::CALG_RC2},  {true, p::CALG_MD2, p::CALG_RC4},
    {true, p::CALG_MD2, p::CALG_DES},  {true, p::CALG_MD2, p::CALG_3DES},
    {true, p::CALG_MD4, p::CALG_RC2},  {true, p::CALG_MD4, p::CALG_RC4},
    {true, p::CALG_MD4, p::CALG_3DES}, {true, p::CALG_MD4, p::CALG_3DES_112},
    {true, p::CALG_MD5, p::CALG_RC2},  {true, p::CALG_MD5, p::CALG_RC4},
    {true, p::CALG_MD5, p::CALG_3DES}, {true, p::CALG_MD5, p::CALG_3DES_112},
    {true, p::CALG_SHA, p::CALG_RC2},  {true, p::CALG_SHA, p::CALG_RC4},
    {true, p::CALG_SHA, p::CALG_3DES_112},
};
// clang-format on

std::string algorithm_name(std::uint32_t id) {
    switch (id) {
        case p::CALG_MD2:
            return "MD2";
        case p::CALG_MD4:
            return "MD4";
        case p::CALG_MD5:
            return "MD5";
        case p::CALG_SHA:
            return "SHA";
        case p::CALG_RC2:
            return "RC2";
        case p::CALG_RC4:
            return "RC4";
        case p::CALG_DES:
            return "DES";
        case p::CALG_3DES:
            return "3DES";
        default:
            return "3DES_112";
    }
}

// Encrypts the text's ANSI bytes with a final call, after asking for the length needed; the
// empty text when the provider refuses either call.
Text encrypt_with_key(p::Handle key, const Text& text) {
    const std::uint32_t n = length_of(text);
    std::uint32_t needed = n;
    if (!p::encrypt(key, 0, true, 0, nullptr, needed, 0)) return {};
    // A buffer of twice the length needed: the text, then spaces.
    Bytes buffer = ansi_from_text(text);
    buffer.resize(2 * static_cast<std::size_t>(needed), ' ');
    std::uint32_t length = n;
    if (!p::encrypt(key, 0, true, 0, buffer.data(), length,
                    static_cast<std::uint32_t>(std::min<std::size_t>(buffer.size(), UINT32_MAX))))
        return {};
    return ansi_to_text({buffer.data(), length});
}

Text decrypt_with_key(p::Handle key, const Text& text) {
    std::uint32_t length = length_of(text);
    Bytes buffer = ansi_from_text(text);
    if (!p::decrypt(key, 0, true, 0, buffer.data(), length)) return {};
    return ansi_to_text({buffer.data(), length});
}

constexpr const char* kStringPlace = "czVeskEncDec.StringCryptography";
constexpr const char* kFilePlace = "czVeskEncDec.FileCryptography";
constexpr std::uint64_t kPumpEvery = 100'000'000;

}  // namespace

bool clsKvVeskEncDecA::method_of(std::int32_t method, const char*& provider_name,
                                 std::uint32_t& hash_algorithm, std::uint32_t& cipher) {
    if (method < 0 || method > 24) return false;
    const Method& m = kMethods[method];
    provider_name = m.enhanced ? p::kEnhancedProvider : p::kBaseProvider;
    hash_algorithm = m.hash;
    cipher = m.cipher;
    return true;
}

void clsKvVeskEncDecA::select(std::int32_t method) {
    const char* name = nullptr;
    // Any other value keeps the previous call's choice.
    if (method_of(method, name, hash_algorithm_, cipher_)) provider_ = name;
}

// A context on the chosen provider (a second try asks for a new key set) and the password's
// key. Neither failure is an error: the handles stay 0.
bool clsKvVeskEncDecA::open_session(ProviderSession& s) {
    const char* name = provider_.empty() ? nullptr : provider_.c_str();
    if (!p::acquire_context(s.context, "", name, p::PROV_RSA_FULL, 0) &&
        !p::acquire_context(s.context, "", name, p::PROV_RSA_FULL, p::CRYPT_NEWKEYSET))
        return false;
    return s.derive(hash_algorithm_, cipher_, password_, 0);
}

Text clsKvVeskEncDecA::StringCryptography(std::int32_t& type, Text& source, Text& password,
                                          std::int32_t&, std::int32_t& method,
                                          std::int32_t& conversion) {
    CodePageScope code_page;
    Text result;
    report_and_continue(kStringPlace, [&] {
        source_ = source;
        password_ = password;
        select(method);
    });
    ProviderSession session;
    report_and_continue(kStringPlace, [&] { open_session(session); });
    if (type == CRYPTO_ENCRYPTION) {
        report_and_continue(kStringPlace, [&] { result = encrypt_with_key(session.key, source_); });
        if (!result.empty() && conversion == CRYPTO_CONVERSION_HEXA)
            report_and_continue(kStringPlace, [&] { result = text_to_hex(result); });
    } else if (type == CRYPTO_DECRYPTION) {
        Text cipher_text;
        report_and_continue(kStringPlace, [&] {
            cipher_text = conversion == CRYPTO_CONVERSION_HEXA ? hex_to_text(source_) : source_;
        });
        report_and_continue(kStringPlace,
                            [&] { result = decrypt_with_key(session.key, cipher_text); });
    }
    return result;
}

bool clsKvVeskEncDecA::FileCryptography(std::int32_t& type, Text& source_file, Text& password,
                                        Text&, std::int32_t&, std::int32_t& method) {
    CodePageScope code_page;
    const std::string path = native_path(source_file);
    // Found: a regular file that can be read.
    auto found = [&] {
        return files::file_length_readable(path) && ::access(path.c_str(), R_OK) == 0;
    };
    if (!found()) return false;
    report_and_continue(kFilePlace, [&] {
        password_ = password;
        select(method);
    });
    ProviderSession session;
    bool result = false;
    report_and_continue(kFilePlace, [&] { open_session(session); });
    if (!session.context || !session.key) return false;
    report_and_continue(kFilePlace, [&] {
        if (!found()) return;
        auto in = files::Input::open(path);
        if (!in) return;
        const std::uint64_t size = *in->size();
        if (size == 0) raise_runtime(RuntimeError::SubscriptOutOfRange);  // no buffer to make
        // Read and write failures give false; the source is replaced only when all is written.
        try {
            files::ReplacingFile out(path);
            std::uint64_t read = 0;
            const bool ok = stream_through_key(
                session.key, type != CRYPTO_ENCRYPTION, size,
                [&](std::uint8_t* buffer, std::size_t n) {
                    const std::size_t got = in->read(buffer, n);
                    // One turn of the host's event loop every 100000000 bytes.
                    if ((read + got) / kPumpEvery != read / kPumpEvery)
                        swallow([] { pump_events(); });
                    read += got;
                    return got;
                },
                out);
            if (!ok) return;
            out.commit();
            result = true;
        } catch (const Error&) {
        }
    });
    return result;
}

const ClassInfo& clsKvVeskEncDecA::info() {
    using namespace binding;
    using C = clsKvVeskEncDecA;
    static const ClassInfo k = [] {
        const Param type_param{"CryptographicType", false, std::nullopt,
                               "CryptographicTypeVeskConstants"};
        const Param file_type_param{"CrytographicType", false, std::nullopt,
                                    "CryptographicTypeVeskConstants"};
        ClassInfo c{
            "clsKvVeskEncDecA",
            {method<&C::StringCryptography>(
                 "StringCryptography",
                 {type_param, arg("sSourceString"), opt("sPassword", Variant(Text{})),
                  opt("lReserved", Variant(std::int32_t{0})),
                  opt_enum("CryptographicMethod", "CryptographicMethodVeskConstants",
                           Variant(std::int32_t{21})),
                  opt_enum("CryptographicConversion", "CryptographicConversionVeskConstants",
                           Variant(std::int32_t{0}))}),
             method<&C::FileCryptography>(
                 "FileCryptography",
                 {file_type_param, arg("sSourceFile"), opt("sPassword", Variant(Text{})),
                  opt("sDestinationFile", Variant(Text{})),
                  opt("lReserved", Variant(std::int32_t{0})),
                  opt_enum("CryptographicMethod", "CryptographicMethodVeskConstants",
                           Variant(std::int32_t{21}))})},
            std::nullopt};
        EnumInfo methods{"CryptographicMethodVeskConstants", {}};
        for (std::int32_t i = 0; i < 25; ++i) {
            const Method& m = kMethods[i];
            methods.values.emplace_back(
                std::string(m.enhanced ? "MS_ENHANCED_PROV" : "MS_DEF_PROV") + "__CALG_" +
                    algorithm_name(m.hash) + "__CALG_" + algorithm_name(m.cipher),
                i);
        }
        c.enums.push_back(std::move(methods));
        c.enums.push_back(EnumInfo{
            "CryptographicTypeVeskConstants",
            {{"CRYPTO_ENCRYPTION", CRYPTO_ENCRYPTION}, {"CRYPTO_DECRYPTION", CRYPTO_DECRYPTION}}});
        c.enums.push_back(EnumInfo{"CryptographicConversionVeskConstants",
                                   {{"CRYPTO_CONVERSION_ASCII", CRYPTO_CONVERSION_ASCII},
                                    {"CRYPTO_CONVERSION_HEXA", CRYPTO_CONVERSION_HEXA}}});
        return c;
    }();
    return k;
}

// ---- clsKvVeskEncDecGlimA -------------------------------------------------------------------

namespace {

struct GlimError {
    const char* member;
    std::int32_t offset;
    const char* description;
};
constexpr GlimError kAcquiring{"glimErrorAquiringContext", 0x420, "Could not acquire context"},
    kCreatingHash{"glimErrorCreatingHash", 0x421, "Could not create hash"},
    kHashData{"glimErrorCreatingHashData", 0x422, "Could not create hash data"},
    kDeriving{"glimErrorDerivingKey", 0x423, "Could not derive key"},
    kEncrypting{"glimErrorEncryptingData", 0x424, "Could not encrypt data"},
    kDecrypting{"glimErrorDecryptingData", 0x425, "Could not decrypt data"},
    kInvalidHex{"glimErrorInvalidHexString", 0x426, "Not a valid hex string"},
    kMissing{"glimErrorMissingParameter", 0x427, "Both a string and a key are required"},
    kBadType{"glimErrorBadEncryptionType", 0x428, "Invalid encryption type specified"};
constexpr const GlimError* kGlimErrors[] = {&kAcquiring,  &kCreatingHash, &kHashData,
                                            &kDeriving,   &kEncrypting,   &kDecrypting,
                                            &kInvalidHex, &kMissing,      &kBadType};

constexpr const char* kEncryptDecrypt = "GlimCrypo.CCrypto.EncryptDecrypt";

[[noreturn]] void raise_glim(const GlimError& e, const char* source) {
    raise_library(e.description, source, kObjectErrorBase + e.offset);
}

void check_arguments(const Text& text, const Text& key, std::int32_t type, const char* source) {
    if (type != clsKvVeskEncDecGlimA::glimBlockEncryption &&
        type != clsKvVeskEncDecGlimA::glimStreamEncryption)
        raise_glim(kBadType, source);
    if (text.empty() || key.empty()) raise_glim(kMissing, source);
}

// Pairs of hexadecimal digits (either case) to characters; anything else is refused whole.
Text glim_from_hex(const Text& hex) {
    constexpr const char* kSource = "GlimCrypo.CCrypto.ConvertStringFromHex";
    if (hex.size() % 2) raise_glim(kInvalidHex, kSource);
    if (!std::all_of(hex.begin(), hex.end(), [](char16_t c) { return hex_value(c) >= 0; }))
        raise_glim(kInvalidHex, kSource);
    return hex_to_text(hex);
}

}  // namespace

clsKvVeskEncDecGlimA::clsKvVeskEncDecGlimA() {
    if (!p::acquire_context(context_, nullptr, p::kBaseProvider, p::PROV_RSA_FULL,
                            p::CRYPT_VERIFYCONTEXT))
        raise_glim(kAcquiring, "GlimCrypo.CCrypto.Class_Initialize");
}

clsKvVeskEncDecGlimA::~clsKvVeskEncDecGlimA() {
    if (context_) p::release_context(context_, 0);
}

void clsKvVeskEncDecGlimA::derive(ProviderSession& s, const Text& key, std::int32_t type) {
    s.context = context_;
    s.owns_context = false;
    if (!p::create_hash(context_, p::CALG_MD5, 0, 0, s.hash))
        raise_glim(kCreatingHash, kEncryptDecrypt);
    const Bytes bytes = ansi_from_text(key);
    if (!p::hash_data(s.hash, bytes.data(), length_of(key), 0))
        raise_glim(kHashData, kEncryptDecrypt);
    if (!p::derive_key(context_, type == glimBlockEncryption ? p::CALG_RC2 : p::CALG_RC4, s.hash,
                       p::CRYPT_NO_SALT, s.key))
        raise_glim(kDeriving, kEncryptDecrypt);
}

Text clsKvVeskEncDecGlimA::crypt(const Text& text, const Text& key, bool decrypt,
                                 std::int32_t type) {
    try {
        ProviderSession s;
        derive(s, key, type);
        const std::uint32_t n = length_of(text);
        Bytes buffer = ansi_from_text(text);
        if (decrypt) {
            std::uint32_t length = n;
            if (!p::decrypt(s.key, 0, true, 0, buffer.data(), length))
                raise_glim(kDecrypting, kEncryptDecrypt);
            return ansi_to_text({buffer.data(), length});
        }
        std::uint32_t needed = n;
        if (!p::encrypt(s.key, 0, true, 0, nullptr, needed, n))
            raise_glim(kEncrypting, kEncryptDecrypt);
        buffer.resize(std::max<std::size_t>(needed, n), ' ');
        std::uint32_t length = n;
        if (!p::encrypt(s.key, 0, true, 0, buffer.data(), length, needed))
            raise_glim(kEncrypting, kEncryptDecrypt);
        return ansi_to_text(buffer);
    } catch (...) {
        // Whatever failed, it reaches the caller from this step.
        const Error e = current_error();
        raise_library(e.description(), kEncryptDecrypt, e.number());
    }
}

Text clsKvVeskEncDecGlimA::Encrypt(const Text& text, const Text& key, bool hex, std::int32_t type) {
    check_arguments(text, key, type, "GlimCrypo.CCrypto.Encrypt");
    CodePageScope code_page;
    const Text result = crypt(text, key, false, type);
    return hex ? text_to_hex(result) : result;
}

Text clsKvVeskEncDecGlimA::Decrypt(const Text& text, const Text& key, bool hex, std::int32_t type) {
    check_arguments(text, key, type, "GlimCrypo.CCrypto.Decrypt");
    CodePageScope code_page;
    return crypt(hex ? glim_from_hex(text) : text, key, true, type);
}

const ClassInfo& clsKvVeskEncDecGlimA::info() {
    using namespace binding;
    using C = clsKvVeskEncDecGlimA;
    static const ClassInfo k = [] {
        ClassInfo c{"clsKvVeskEncDecGlimA",
                    {method<&C::Encrypt>("Encrypt",
                                         {arg("sTextToEncrypt"), arg("sPrivateKey"),
                                          opt("bReturnTextInHex", Variant(false)),
                                          opt_enum("enEncryptionType", "glimCryptoEncryptionType",
                                                   Variant(std::int32_t{0}))}),
                     method<&C::Decrypt>("Decrypt",
                                         {arg("sTextToDecrypt"), arg("sPrivateKey"),
                                          opt("bTextSuppliedInHex", Variant(false)),
                                          opt_enum("enEncryptionType", "glimCryptoEncryptionType",
                                                   Variant(std::int32_t{0}))})},
                    std::nullopt};
        c.enums.push_back(EnumInfo{"glimCryptoEncryptionType",
                                   {{"glimBlockEncryption", glimBlockEncryption},
                                    {"glimStreamEncryption", glimStreamEncryption}}});
        EnumInfo errors{"glimCryptoErrors", {}};
        for (const GlimError* e : kGlimErrors)
            errors.values.emplace_back(e->member, kObjectErrorBase + e->offset);
        c.enums.push_back(std::move(errors));
        return c;
    }();
    return k;
}

}  // namespace ombrak
