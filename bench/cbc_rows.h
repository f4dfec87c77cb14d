// The loops of the CBC rows over a whole buffer: a kernel of this library, and OpenSSL's
// ciphers (the legacy provider loaded).
#pragma once

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdint>
#include <vector>

/// Encrypts or decrypts `data` in place with a keyed kernel in CBC from a zero chaining value,
/// once per iteration.
template <bool Decrypt, class Kernel>
void kernel_cbc(benchmark::State& state, const Kernel& k, std::vector<std::uint8_t>& data) {
    constexpr std::size_t kBlock = Kernel::kBlockSize;
    for (auto _ : state) {
        std::uint8_t chain[kBlock] = {};
        if (Decrypt)
            k.cbc_decrypt(data.data(), data.size() / kBlock, chain);
        else
            k.cbc_encrypt(data.data(), data.size() / kBlock, chain);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}

inline void load_openssl_legacy() {
    static bool loaded =
        OSSL_PROVIDER_load(nullptr, "legacy") && OSSL_PROVIDER_load(nullptr, "default");
    (void)loaded;
}

/// Encrypts or decrypts `data` in place with cipher `name` ("DES-CBC", "RC2-CBC", ...) under
/// `key` (`key_len` bytes) and a zero IV, no padding, once per iteration.
template <bool Decrypt>
void openssl_cbc(benchmark::State& state, const char* name, const std::uint8_t* key, int key_len,
                 std::vector<std::uint8_t>& data) {
    load_openssl_legacy();
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, name, nullptr);
    if (!cipher) {
        state.SkipWithError("cipher not available");
        return;
    }
    static const std::uint8_t iv[16] = {};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex2(ctx, cipher, nullptr, nullptr, Decrypt ? 0 : 1, nullptr);
    EVP_CIPHER_CTX_set_key_length(ctx, key_len);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    for (auto _ : state) {
        int n = 0;
        EVP_CipherInit_ex2(ctx, nullptr, key, iv, Decrypt ? 0 : 1, nullptr);
        EVP_CipherUpdate(ctx, data.data(), &n, data.data(), static_cast<int>(data.size()));
        benchmark::ClobberMemory();
    }
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
