// GOST and Twofish in CBC, Serpent in ECB and RC4 over 1 MiB against the peers that have them
// (OpenSSL has only RC4 of these); key setup; Serpent's EncryptString against its bare kernel.
// GOST peers use the standard S-boxes: the work per block is the same.
#include <benchmark/benchmark.h>
#include <botan/block_cipher.h>
#include <botan/cipher_mode.h>
#include <botan/stream_cipher.h>
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <cryptopp/arc4.h>
#include <cryptopp/gost.h>
#include <cryptopp/modes.h>
#include <cryptopp/serpent.h>
#include <cryptopp/twofish.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstring>

#include "cbc_rows.h"
#include "key_setup.h"
#include "ombrak/ciphers/classes.h"

std::vector<std::uint8_t>& bench_buffer();

namespace {

constexpr std::size_t kSize = 1 << 20;
const std::uint8_t kKey[32] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                               17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
const std::uint8_t kIv[16] = {};

void done(benchmark::State& state) {
    state.SetBytesProcessed(state.iterations() * kSize);
}

// ---- ours ---------------------------------------------------------------------------------

template <bool Decrypt>
void OursGost(benchmark::State& state) {
    ombrak::ciphers::GostKernel k;
    k.set_key(kKey);
    kernel_cbc<Decrypt>(state, k, bench_buffer());
}
BENCHMARK(OursGost<false>)->Name("GOST_CBC_Encrypt/Ombrak10");
BENCHMARK(OursGost<true>)->Name("GOST_CBC_Decrypt/Ombrak10");

template <bool Decrypt>
void OursTwofish(benchmark::State& state) {
    ombrak::ciphers::TwofishKernel k;
    k.set_key(kKey, 16);
    kernel_cbc<Decrypt>(state, k, bench_buffer());
}
BENCHMARK(OursTwofish<false>)->Name("Twofish_CBC_Encrypt/Ombrak10");
BENCHMARK(OursTwofish<true>)->Name("Twofish_CBC_Decrypt/Ombrak10");

void OursSerpent(benchmark::State& state, const char* lanes, bool decrypt) {
    ombrak::ciphers::SerpentKernel k;
    k.set_key(kKey);
    if (!ombrak::ciphers::SerpentKernel::lanes_available(lanes)) {
        state.SkipWithError("lanes not available");
        return;
    }
    auto& b = bench_buffer();
    for (auto _ : state) {
        k.crypt_with(lanes, b.data(), kSize / 16, decrypt);
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK_CAPTURE(OursSerpent, avx512_false, "avx512", false)->Name("Serpent_ECB_Encrypt/Ombrak10");
BENCHMARK_CAPTURE(OursSerpent, avx512_true, "avx512", true)->Name("Serpent_ECB_Decrypt/Ombrak10");
BENCHMARK_CAPTURE(OursSerpent, avx2_false, "avx2", false)
    ->Name("Serpent_ECB_Encrypt/Ombrak10_AVX2");
BENCHMARK_CAPTURE(OursSerpent, avx2_true, "avx2", true)->Name("Serpent_ECB_Decrypt/Ombrak10_AVX2");
BENCHMARK_CAPTURE(OursSerpent, portable_false, "portable", false)
    ->Name("Serpent_ECB_Encrypt/Ombrak10_portable");

void OursRc4(benchmark::State& state) {
    ombrak::ciphers::Rc4Key key;
    key.schedule(kKey, 16);
    auto& b = bench_buffer();
    for (auto _ : state) {
        ombrak::ciphers::Rc4Stream s(key);
        s.apply(b.data(), kSize);
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(OursRc4)->Name("RC4/Ombrak10");

// ---- Crypto++ -----------------------------------------------------------------------------

template <class Cipher, bool Decrypt, template <class> class Mode = CryptoPP::CBC_Mode>
void CryptoPPBlock(benchmark::State& state) {
    typename std::conditional_t<Decrypt, typename Mode<Cipher>::Decryption,
                                typename Mode<Cipher>::Encryption>
        mode;
    if constexpr (std::is_same_v<Mode<Cipher>, CryptoPP::ECB_Mode<Cipher>>)
        mode.SetKey(kKey, Cipher::MAX_KEYLENGTH);
    else
        mode.SetKeyWithIV(kKey, std::is_same_v<Cipher, CryptoPP::GOST> ? 32 : 16, kIv);
    auto& b = bench_buffer();
    for (auto _ : state) {
        if constexpr (!std::is_same_v<Mode<Cipher>, CryptoPP::ECB_Mode<Cipher>>)
            mode.Resynchronize(kIv);
        mode.ProcessData(b.data(), b.data(), kSize);
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(CryptoPPBlock<CryptoPP::GOST, false>)->Name("GOST_CBC_Encrypt/CryptoPP");
BENCHMARK(CryptoPPBlock<CryptoPP::GOST, true>)->Name("GOST_CBC_Decrypt/CryptoPP");
BENCHMARK(CryptoPPBlock<CryptoPP::Twofish, false>)->Name("Twofish_CBC_Encrypt/CryptoPP");
BENCHMARK(CryptoPPBlock<CryptoPP::Twofish, true>)->Name("Twofish_CBC_Decrypt/CryptoPP");
BENCHMARK(CryptoPPBlock<CryptoPP::Serpent, false, CryptoPP::ECB_Mode>)
    ->Name("Serpent_ECB_Encrypt/CryptoPP");
BENCHMARK(CryptoPPBlock<CryptoPP::Serpent, true, CryptoPP::ECB_Mode>)
    ->Name("Serpent_ECB_Decrypt/CryptoPP");

void CryptoPPRc4(benchmark::State& state) {
    CryptoPP::Weak::ARC4 rc4;
    auto& b = bench_buffer();
    for (auto _ : state) {
        rc4.SetKey(kKey, 16);
        rc4.ProcessData(b.data(), b.data(), kSize);
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(CryptoPPRc4)->Name("RC4/CryptoPP");

// ---- Botan --------------------------------------------------------------------------------

void BotanMode(benchmark::State& state, const char* name, std::size_t key_len, bool decrypt) {
    auto mode = Botan::Cipher_Mode::create(name, decrypt ? Botan::DECRYPTION : Botan::ENCRYPTION);
    if (!mode) {
        state.SkipWithError("not available");
        return;
    }
    mode->set_key(kKey, key_len);
    auto& b = bench_buffer();
    for (auto _ : state) {
        mode->start(kIv, mode->default_nonce_length());
        mode->process(b.data(), kSize);
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK_CAPTURE(BotanMode, gost_false, "GOST-28147-89/CBC/NoPadding", 32, false)
    ->Name("GOST_CBC_Encrypt/Botan");
BENCHMARK_CAPTURE(BotanMode, gost_true, "GOST-28147-89/CBC/NoPadding", 32, true)
    ->Name("GOST_CBC_Decrypt/Botan");
BENCHMARK_CAPTURE(BotanMode, twofish_false, "Twofish/CBC/NoPadding", 16, false)
    ->Name("Twofish_CBC_Encrypt/Botan");
BENCHMARK_CAPTURE(BotanMode, twofish_true, "Twofish/CBC/NoPadding", 16, true)
    ->Name("Twofish_CBC_Decrypt/Botan");

template <bool Decrypt>
void BotanSerpent(benchmark::State& state) {
    auto c = Botan::BlockCipher::create("Serpent");
    c->set_key(kKey, 32);
    auto& b = bench_buffer();
    for (auto _ : state) {
        if (Decrypt)
            c->decrypt_n(b.data(), b.data(), kSize / 16);
        else
            c->encrypt_n(b.data(), b.data(), kSize / 16);
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(BotanSerpent<false>)->Name("Serpent_ECB_Encrypt/Botan");
BENCHMARK(BotanSerpent<true>)->Name("Serpent_ECB_Decrypt/Botan");

void BotanRc4(benchmark::State& state) {
    auto rc4 = Botan::StreamCipher::create("RC4");
    auto& b = bench_buffer();
    for (auto _ : state) {
        rc4->set_key(kKey, 16);
        rc4->cipher1(b.data(), kSize);
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(BotanRc4)->Name("RC4/Botan");

// ---- OpenSSL (legacy provider) ------------------------------------------------------------

void OpenSSLRc4(benchmark::State& state) {
    load_openssl_legacy();
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
    if (!cipher) {
        state.SkipWithError("RC4 not available");
        return;
    }
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    auto& b = bench_buffer();
    for (auto _ : state) {
        int n = 0;
        EVP_CipherInit_ex2(ctx, cipher, kKey, nullptr, 1, nullptr);
        EVP_CipherUpdate(ctx, b.data(), &n, b.data(), static_cast<int>(kSize));
        benchmark::ClobberMemory();
    }
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
    done(state);
}
BENCHMARK(OpenSSLRc4)->Name("RC4/OpenSSL");

// ---- Key setup ----------------------------------------------------------------------------

void Twofish_KeySetup_Ombrak10(benchmark::State& state) {
    ombrak::ciphers::TwofishKernel k;
    for (auto _ : state) {
        k.set_key(kKey, static_cast<std::size_t>(state.range(0)));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Twofish_KeySetup_Ombrak10)->Arg(16)->Arg(24)->Arg(32);

void Serpent_KeySetup_Ombrak10(benchmark::State& state) {
    ombrak::ciphers::SerpentKernel k;
    for (auto _ : state) {
        k.set_key(kKey);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Serpent_KeySetup_Ombrak10);

void GOST_KeySetup_Ombrak10(benchmark::State& state) {
    ombrak::ciphers::GostKernel k;
    for (auto _ : state) {
        k.set_key(kKey);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(GOST_KeySetup_Ombrak10);

void RC4_KeySetup_Ombrak10(benchmark::State& state) {
    ombrak::ciphers::Rc4Key k;
    for (auto _ : state) {
        k.schedule(kKey, 16);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(RC4_KeySetup_Ombrak10);

void RC4_KeySetup_OpenSSL(benchmark::State& state) {
    load_openssl_legacy();
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
    if (!cipher) {
        state.SkipWithError("RC4 not available");
        return;
    }
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    for (auto _ : state) {
        EVP_CipherInit_ex2(ctx, cipher, kKey, nullptr, 1, nullptr);
        benchmark::ClobberMemory();
    }
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
}
BENCHMARK(RC4_KeySetup_OpenSSL);

const bool peer_key_setups = [] {
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("Twofish_KeySetup_CryptoPP",
                      cryptopp_key_setup<CryptoPP::Twofish::Encryption>, kKey, 0)
        ->Arg(16)
        ->Arg(24)
        ->Arg(32);
    RegisterBenchmark("Twofish_KeySetup_Botan", botan_key_setup<Botan::BlockCipher>, "Twofish",
                      kKey, 0)
        ->Arg(16)
        ->Arg(24)
        ->Arg(32);
    RegisterBenchmark("Serpent_KeySetup_CryptoPP",
                      cryptopp_key_setup<CryptoPP::Serpent::Encryption>, kKey, 32);
    RegisterBenchmark("Serpent_KeySetup_Botan", botan_key_setup<Botan::BlockCipher>, "Serpent",
                      kKey, 32);
    RegisterBenchmark("GOST_KeySetup_CryptoPP", cryptopp_key_setup<CryptoPP::GOST::Encryption>,
                      kKey, 32);
    RegisterBenchmark("GOST_KeySetup_Botan", botan_key_setup<Botan::BlockCipher>, "GOST-28147-89",
                      kKey, 32);
    RegisterBenchmark("RC4_KeySetup_CryptoPP", cryptopp_key_setup<CryptoPP::Weak::ARC4>, kKey, 16);
    RegisterBenchmark("RC4_KeySetup_Botan", botan_key_setup<Botan::StreamCipher>, "RC4", kKey, 16);
    return true;
}();

// ---- Serpent's text operation over its kernel ---------------------------------------------

// EncryptString of a 1 MiB text with nobody listening: the conversions in and out and the
// kernel, no per-block notification. (It leaves its Text and Key arguments alone.)
void Serpent_EncryptString_1MiB(benchmark::State& state) {
    ombrak::clsKvVeskEncDecSerpentA c;
    const auto& b = bench_buffer();
    ombrak::Text text = ombrak::ansi_to_text(b), key = u"bench key";
    bool no = false;
    for (auto _ : state) benchmark::DoNotOptimize(c.EncryptString(text, key, no));
    done(state);
}
BENCHMARK(Serpent_EncryptString_1MiB);

void Serpent_BareKernel_1MiB(benchmark::State& state) {
    ombrak::ciphers::SerpentKernel k;
    auto& b = bench_buffer();
    for (auto _ : state) {
        k.set_key(kKey);
        k.encrypt_ecb(b.data(), kSize / 16);
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(Serpent_BareKernel_1MiB);

}  // namespace
