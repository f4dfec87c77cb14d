// The built-in provider: the platform Base and Enhanced providers' hashes, key derivation
// (default lengths, the stretching of short hashes, the zero salt of 40-bit keys) and ciphers
// (CBC from a zero IV with PKCS#5 padding, RC4), byte for byte.
#include <cstring>

#include "ombrak/ciphers/block.h"
#include "ombrak/ciphers/des.h"
#include "ombrak/ciphers/rc2.h"
#include "ombrak/ciphers/rc4.h"
#include "ombrak/digests/digests.h"
#include "ombrak/digests/legacy.h"
#include "ombrak/provider/provider.h"

namespace ombrak::provider {

namespace {

// A built-in hash: besides the value of what it was fed, the digest of other data by the same
// algorithm (key derivation stretches a short hash value that way).
class BuiltinHashBase : public HashObject {
  public:
    virtual Bytes digest_of(std::span<const std::uint8_t> data) const = 0;
};

template <class H>
class BuiltinHash final : public BuiltinHashBase {
  public:
    bool update(std::span<const std::uint8_t> data) override {
        if (done_) return false;
        h_.update(data);
        return true;
    }
    Bytes value() override {
        if (!done_) {
            value_ = finish(h_);
            done_ = true;
        }
        return value_;
    }
    Bytes digest_of(std::span<const std::uint8_t> data) const override {
        H h;
        h.update(data);
        return finish(h);
    }

  private:
    static Bytes finish(H& h) {
        const auto d = h.final();
        return Bytes(d.begin(), d.end());
    }
    H h_;
    Bytes value_;
    bool done_ = false;
};

// A block cipher key: CBC from a zero IV, PKCS#5 padding on the final call, the chaining value
// carried across calls that are not final and reset by a final one.
template <class Kernel>
class BlockKey final : public KeyObject {
  public:
    explicit BlockKey(const Kernel& kernel) : kernel_(kernel) {}
    ~BlockKey() override { ciphers::wipe(chain_, sizeof chain_); }

    bool encrypt(bool final, std::uint8_t* data, std::uint32_t& len, std::uint32_t capacity,
                 std::uint32_t& error) override {
        if (!final && len % 8) return fail(NTE_BAD_DATA, error);
        if (final && len > 0xFFFF'FFF0u) return fail(NTE_BAD_LEN, error);
        const std::uint32_t out = final ? (len / 8 + 1) * 8 : len;
        if (!data) {
            len = out;
            return true;
        }
        if (out > capacity) {
            len = out;
            return fail(ERROR_MORE_DATA, error);
        }
        if (final) std::memset(data + len, static_cast<int>(out - len), out - len);
        kernel_.cbc_encrypt(data, out / 8, chain_);
        if (final) std::memset(chain_, 0, sizeof chain_);
        len = out;
        return true;
    }

    bool decrypt(bool final, std::uint8_t* data, std::uint32_t& len,
                 std::uint32_t& error) override {
        if (len % 8 || (final && len == 0)) {
            if (final) std::memset(chain_, 0, sizeof chain_);
            return fail(len % 8 ? NTE_BAD_DATA : NTE_BAD_LEN, error);
        }
        kernel_.cbc_decrypt(data, len / 8, chain_);
        if (!final) return true;
        std::memset(chain_, 0, sizeof chain_);
        const std::uint8_t p = data[len - 1];
        if (p < 1 || p > 8) return fail(NTE_BAD_DATA, error);
        for (std::uint32_t i = len - p; i < len; ++i)
            if (data[i] != p) return fail(NTE_BAD_DATA, error);
        len -= p;
        return true;
    }

  private:
    static bool fail(std::uint32_t e, std::uint32_t& error) {
        error = e;
        return false;
    }
    Kernel kernel_;
    std::uint8_t chain_[8] = {};
};

// RC4: the keystream runs on across calls that are not final and starts afresh after a final
// one.
class Rc4KeyObject final : public KeyObject {
  public:
    explicit Rc4KeyObject(const ciphers::Rc4Key& key)
        : key_(key), stream_(new ciphers::Rc4Stream(key)) {}

    bool encrypt(bool final, std::uint8_t* data, std::uint32_t& len, std::uint32_t capacity,
                 std::uint32_t& error) override {
        if (!data) return true;
        if (len > capacity) {
            error = ERROR_MORE_DATA;
            return false;
        }
        return decrypt(final, data, len, error);
    }
    bool decrypt(bool final, std::uint8_t* data, std::uint32_t& len, std::uint32_t&) override {
        stream_->apply(data, len);
        if (final) stream_ = std::make_unique<ciphers::Rc4Stream>(key_);
        return true;
    }

  private:
    ciphers::Rc4Key key_;
    std::unique_ptr<ciphers::Rc4Stream> stream_;
};

class BuiltinProvider final : public Provider {
  public:
    explicit BuiltinProvider(bool enhanced) : enhanced_(enhanced) {}

    std::unique_ptr<HashObject> create_hash(std::uint32_t algorithm,
                                            std::uint32_t& error) override {
        switch (algorithm) {
            case CALG_MD2:
                return std::make_unique<BuiltinHash<digests::Md2>>();
            case CALG_MD4:
                return std::make_unique<BuiltinHash<digests::Md4>>();
            case CALG_MD5:
                return std::make_unique<BuiltinHash<digests::Md5>>();
            case CALG_SHA:
                return std::make_unique<BuiltinHash<digests::Sha1>>();
        }
        error = NTE_BAD_ALGID;
        return nullptr;
    }

    std::unique_ptr<KeyObject> derive_key(std::uint32_t algorithm, HashObject& hash,
                                          std::uint32_t flags, std::uint32_t& error) override;

  private:
    bool enhanced_;
};

std::unique_ptr<KeyObject> BuiltinProvider::derive_key(std::uint32_t algorithm, HashObject& hash,
                                                       std::uint32_t flags, std::uint32_t& error) {
    auto refuse = [&](std::uint32_t e) {
        error = e;
        return nullptr;
    };
    const bool des_family =
        algorithm == CALG_DES || algorithm == CALG_3DES || algorithm == CALG_3DES_112;
    const bool stream_or_rc2 = algorithm == CALG_RC2 || algorithm == CALG_RC4;
    if (!des_family && !stream_or_rc2) return refuse(NTE_BAD_ALGID);
    if (!enhanced_ && (algorithm == CALG_3DES || algorithm == CALG_3DES_112))
        return refuse(NTE_BAD_ALGID);
    if (flags & 0xFFFF & ~(CRYPT_EXPORTABLE | CRYPT_CREATE_SALT | CRYPT_NO_SALT))
        return refuse(NTE_BAD_FLAGS);

    // The key length in bits (quoted without DES parity) and the stored length in bytes.
    unsigned bits = flags >> 16, bytes = 0;
    switch (algorithm) {
        case CALG_RC2:
        case CALG_RC4: {
            const unsigned most = enhanced_ ? 128 : 56;
            if (!bits) bits = enhanced_ ? 128 : 40;
            if (bits < 40 || bits > most || bits % 8) return refuse(NTE_BAD_FLAGS);
            bytes = bits / 8;
            break;
        }
        case CALG_DES:
            if (bits && bits != 56 && bits != 64) return refuse(NTE_BAD_FLAGS);
            bits = 56, bytes = 8;
            break;
        case CALG_3DES_112:
            if (bits && bits != 112 && bits != 128) return refuse(NTE_BAD_FLAGS);
            bits = 112, bytes = 16;
            break;
        default:  // CALG_3DES
            if (bits && bits != 168 && bits != 192) return refuse(NTE_BAD_FLAGS);
            bits = 168, bytes = 24;
            break;
    }

    // The key bytes: the hash value, or when it is too short, the hash of the value XORed into
    // 64 bytes of 0x36 followed by the hash of it XORed into 64 bytes of 0x5C.
    const Bytes h = hash.value();
    Bytes material = h;
    if (h.size() < bytes) {
        const auto* own = dynamic_cast<const BuiltinHashBase*>(&hash);
        if (!own) return refuse(NTE_BAD_HASH);  // another provider's hash
        std::uint8_t a[64], b[64];
        std::memset(a, 0x36, 64);
        std::memset(b, 0x5C, 64);
        for (std::size_t i = 0; i < h.size(); ++i) {
            a[i] ^= h[i];
            b[i] ^= h[i];
        }
        material = own->digest_of(a);
        const Bytes second = own->digest_of(b);
        material.insert(material.end(), second.begin(), second.end());
        ciphers::wipe(a, 64);
        ciphers::wipe(b, 64);
    }
    material.resize(bytes);

    std::unique_ptr<KeyObject> key;
    if (stream_or_rc2) {
        // A 40-bit key gets 11 zero salt bytes unless told otherwise; asked to make a salt, the
        // Base provider takes hash bytes 5 to 15, the Enhanced one makes none.
        if (bits == 40 && !(flags & (CRYPT_NO_SALT | CRYPT_CREATE_SALT))) {
            material.resize(16, 0);
        } else if (bits == 40 && (flags & CRYPT_CREATE_SALT) && !enhanced_ && h.size() >= 16) {
            material.insert(material.end(), h.begin() + 5, h.begin() + 16);
        }
        if (algorithm == CALG_RC4) {
            ciphers::Rc4Key k;
            k.schedule(material.data(), material.size());
            key = std::make_unique<Rc4KeyObject>(k);
        } else {
            ciphers::Rc2Kernel k;
            k.set_key(material.data(), material.size(), bits);
            key = std::make_unique<BlockKey<ciphers::Rc2Kernel>>(k);
        }
    } else if (algorithm == CALG_DES) {
        ciphers::DesKernel k;
        k.set_key(material.data());
        key = std::make_unique<BlockKey<ciphers::DesKernel>>(k);
    } else {
        std::uint8_t k3[24];
        std::memcpy(k3, material.data(), 16);
        std::memcpy(k3 + 16, material.data() + (algorithm == CALG_3DES ? 16 : 0), 8);
        ciphers::TripleDesKernel k;
        k.set_key(k3);
        ciphers::wipe(k3, sizeof k3);
        key = std::make_unique<BlockKey<ciphers::TripleDesKernel>>(k);
    }
    ciphers::wipe(material.data(), material.size());
    return key;
}

}  // namespace

std::shared_ptr<Provider> builtin_provider(bool enhanced) {
    return std::make_shared<BuiltinProvider>(enhanced);
}

}  // namespace ombrak::provider
