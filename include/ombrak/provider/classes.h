// The password-encryption classes over the provider layer: texts and files with one of 25
// provider, hash and cipher combinations; texts with an MD5-derived RC2 or RC4 key.
#pragma once

#include <functional>

#include "ombrak/frame/files.h"
#include "ombrak/frame/member_table.h"
#include "ombrak/frame/object.h"
#include "ombrak/provider/provider.h"

namespace ombrak {

/// Handles of one operation, released when it ends.
class ProviderSession {
  public:
    ProviderSession() = default;
    ProviderSession(const ProviderSession&) = delete;
    ProviderSession& operator=(const ProviderSession&) = delete;
    ~ProviderSession();

    provider::Handle context = 0, hash = 0, key = 0;
    bool owns_context = true;

    /// Hashes the text's ANSI bytes (one a character) and derives a key from them; false when
    /// the provider refuses a step (the key handle stays 0).
    bool derive(std::uint32_t hash_algorithm, std::uint32_t cipher, const Text& password,
                std::uint32_t flags);
};

/// Streams `total` bytes through a key: every piece but the last not final, the last final
/// (also when it is empty). `read` fills a buffer (fewer bytes only at the end). False when the
/// provider refuses a call (a wrong password's padding, a length that is not whole blocks).
/// Raises error 75 when reading or writing fails.
bool stream_through_key(provider::Handle key, bool decrypt, std::uint64_t total,
                        const std::function<std::size_t(std::uint8_t*, std::size_t)>& read,
                        files::Sink& out);

/// Texts and files encrypted with a password through one of 25 provider, hash and cipher
/// combinations. Nothing is raised to the caller: failures give the empty text or false, and
/// run-time errors go to the error reporter.
class clsKvVeskEncDecA final : public Object {
  public:
    enum : std::int32_t { CRYPTO_ENCRYPTION = 0, CRYPTO_DECRYPTION = 1 };
    enum : std::int32_t { CRYPTO_CONVERSION_ASCII = 0, CRYPTO_CONVERSION_HEXA = 1 };

    Text StringCryptography(std::int32_t& type, Text& source, Text& password,
                            std::int32_t& reserved, std::int32_t& method, std::int32_t& conversion);
    bool FileCryptography(std::int32_t& type, Text& source_file, Text& password,
                          Text& destination_file, std::int32_t& reserved, std::int32_t& method);

    /// The provider, hash and cipher of a method value (0 to 24); false for any other value.
    static bool method_of(std::int32_t method, const char*& provider_name,
                          std::uint32_t& hash_algorithm, std::uint32_t& cipher);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }

  private:
    void select(std::int32_t method);
    bool open_session(ProviderSession& session);
    std::string provider_;
    std::uint32_t hash_algorithm_ = 0, cipher_ = 0;
    Text password_, source_;
};

/// Texts encrypted with an MD5 hash of a key text and a derived RC2 (block) or RC4 (stream)
/// key, on one provider context held for the object's life. Every failure is raised.
class clsKvVeskEncDecGlimA final : public Object {
  public:
    enum : std::int32_t { glimBlockEncryption = 0, glimStreamEncryption = 1 };

    /// Acquires the context; raises glimErrorAquiringContext when it cannot.
    clsKvVeskEncDecGlimA();
    ~clsKvVeskEncDecGlimA() override;

    Text Encrypt(const Text& text, const Text& key, bool hex, std::int32_t type);
    Text Decrypt(const Text& text, const Text& key, bool hex, std::int32_t type);

    /// A session with this object's context and the key derived for `type` (0 RC2, else RC4).
    /// Raises as Encrypt does.
    void derive(ProviderSession& session, const Text& key, std::int32_t type);

    static const ClassInfo& info();
    const ClassInfo* class_info() const override { return &info(); }

  private:
    Text crypt(const Text& text, const Text& key, bool decrypt, std::int32_t type);
    provider::Handle context_ = 0;
};

}  // namespace ombrak
