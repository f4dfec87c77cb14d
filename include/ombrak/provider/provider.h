// The cryptographic provider layer: the operations the password-encryption classes call (acquire
// and release a context, create, feed and destroy a hash, derive and destroy a key, encrypt and
// decrypt with a final flag), with handles as 32-bit values that are looked up and checked, never
// trusted. Each context belongs to a provider, found by name; the built-in one answers to the
// names of the platform's Base and Enhanced providers and makes their bytes. A host may register
// another provider under a name.
//
// Every operation returns true on success; on failure false, with the reason in last_error()
// (a per-thread value).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "ombrak/frame/variant.h"

namespace ombrak::provider {

using Handle = std::uint32_t;

// Algorithm identifiers.
inline constexpr std::uint32_t CALG_MD2 = 0x8001, CALG_MD4 = 0x8002, CALG_MD5 = 0x8003,
                               CALG_SHA = 0x8004, CALG_DES = 0x6601, CALG_RC2 = 0x6602,
                               CALG_3DES = 0x6603, CALG_3DES_112 = 0x6609, CALG_RC4 = 0x6801;
// Flags.
inline constexpr std::uint32_t PROV_RSA_FULL = 1, CRYPT_NEWKEYSET = 0x8,
                               CRYPT_VERIFYCONTEXT = 0xF0000000, CRYPT_EXPORTABLE = 0x1,
                               CRYPT_CREATE_SALT = 0x4, CRYPT_NO_SALT = 0x10;
// Reasons for failure.
inline constexpr std::uint32_t NTE_BAD_UID = 0x80090001, NTE_BAD_HASH = 0x80090002,
                               NTE_BAD_KEY = 0x80090003, NTE_BAD_LEN = 0x80090004,
                               NTE_BAD_DATA = 0x80090005, NTE_BAD_ALGID = 0x80090008,
                               NTE_BAD_FLAGS = 0x80090009, NTE_BAD_HASH_STATE = 0x8009000C,
                               NTE_PROV_TYPE_NOT_DEF = 0x80090017, NTE_KEYSET_NOT_DEF = 0x80090019,
                               ERROR_INVALID_HANDLE = 6, ERROR_MORE_DATA = 234;

inline constexpr const char* kBaseProvider = "Microsoft Base Cryptographic Provider v1.0";
inline constexpr const char* kEnhancedProvider = "Microsoft Enhanced Cryptographic Provider v1.0";

/// A hash in progress.
class HashObject {
  public:
    virtual ~HashObject() = default;
    /// Adds data; false once the value was taken.
    virtual bool update(std::span<const std::uint8_t> data) = 0;
    /// The value; the hash takes no more data afterwards.
    virtual Bytes value() = 0;
};

/// A key ready to encrypt, with the chaining state of an open message.
class KeyObject {
  public:
    virtual ~KeyObject() = default;
    /// Encrypts data[0..len) in place (data null: only sets len to the length needed). On
    /// success len is the ciphertext length, at most capacity.
    virtual bool encrypt(bool final, std::uint8_t* data, std::uint32_t& len, std::uint32_t capacity,
                         std::uint32_t& error) = 0;
    /// Decrypts data[0..len) in place; on success len is the plaintext length.
    virtual bool decrypt(bool final, std::uint8_t* data, std::uint32_t& len,
                         std::uint32_t& error) = 0;
};

/// A cryptographic service provider.
class Provider {
  public:
    virtual ~Provider() = default;
    /// A new hash, or null with the reason in error.
    virtual std::unique_ptr<HashObject> create_hash(std::uint32_t algorithm,
                                                    std::uint32_t& error) = 0;
    /// A key from a hash (which it finishes), or null with the reason in error.
    virtual std::unique_ptr<KeyObject> derive_key(std::uint32_t algorithm, HashObject& hash,
                                                  std::uint32_t flags, std::uint32_t& error) = 0;
};

/// The built-in provider: `enhanced` selects the Enhanced provider's key lengths and ciphers.
std::shared_ptr<Provider> builtin_provider(bool enhanced);

/// Makes `provider` answer to `name` (type PROV_RSA_FULL), replacing any other.
void register_provider(const std::string& name, std::shared_ptr<Provider> provider);
/// Removes the provider of that name.
void unregister_provider(const std::string& name);
/// Back to the built-in providers under their two names.
void restore_default_providers();

/// A context on the provider of that name (null or empty: the Base provider). `container` is
/// accepted and unused (the built-in providers keep no keys); flags 0, CRYPT_NEWKEYSET or
/// CRYPT_VERIFYCONTEXT.
bool acquire_context(Handle& context, const char* container, const char* provider_name,
                     std::uint32_t type, std::uint32_t flags);
bool release_context(Handle context, std::uint32_t flags);
bool create_hash(Handle context, std::uint32_t algorithm, Handle key, std::uint32_t flags,
                 Handle& hash);
bool hash_data(Handle hash, const std::uint8_t* data, std::uint32_t length, std::uint32_t flags);
/// The hash value (the hash takes no more data afterwards).
bool get_hash_value(Handle hash, Bytes& value);
bool destroy_hash(Handle hash);
bool derive_key(Handle context, std::uint32_t algorithm, Handle hash, std::uint32_t flags,
                Handle& key);
bool destroy_key(Handle key);
/// Encrypts data[0..length) in place; data null: length becomes the length needed.
bool encrypt(Handle key, Handle hash, bool final, std::uint32_t flags, std::uint8_t* data,
             std::uint32_t& length, std::uint32_t capacity);
bool decrypt(Handle key, Handle hash, bool final, std::uint32_t flags, std::uint8_t* data,
             std::uint32_t& length);

/// Why the last failing operation on this thread failed.
std::uint32_t last_error() noexcept;
/// How many handles are open (for leak checks).
std::size_t open_handles();

}  // namespace ombrak::provider
