// The provider's own kernels over 1 MiB: RC2 and three-key triple DES in CBC, MD2 and MD4,
// against OpenSSL (legacy provider) and Crypto++ (Nettle's rows are in nettle_bench.cpp).
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <benchmark/benchmark.h>
#include <cryptopp/des.h>
#include <cryptopp/md2.h>
#include <cryptopp/md4.h>
#include <cryptopp/modes.h>
#include <cryptopp/rc2.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdint>
#include <vector>

#include "cbc_rows.h"
#include "ombrak/ciphers/des.h"
#include "ombrak/ciphers/rc2.h"
#include "ombrak/digests/legacy.h"

std::vector<std::uint8_t>& bench_buffer();

namespace {

constexpr std::size_t kSize = 1 << 20;
const std::uint8_t kKey24[24] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
const std::uint8_t kIv[8] = {};

void done(benchmark::State& state) {
    state.SetBytesProcessed(state.iterations() * kSize);
}

// ---- Ours ---------------------------------------------------------------------------------

template <bool Decrypt>
void OursRc2(benchmark::State& state) {
    ombrak::ciphers::Rc2Kernel k;
    k.set_key(kKey24, 16, 128);
    kernel_cbc<Decrypt>(state, k, bench_buffer());
}
template <bool Decrypt>
void OursTripleDes(benchmark::State& state) {
    ombrak::ciphers::TripleDesKernel k;
    k.set_key(kKey24);
    kernel_cbc<Decrypt>(state, k, bench_buffer());
}
BENCHMARK(OursRc2<false>)->Name("RC2_CBC_Encrypt/Ombrak10");
BENCHMARK(OursRc2<true>)->Name("RC2_CBC_Decrypt/Ombrak10");
BENCHMARK(OursTripleDes<false>)->Name("3DES_CBC_Encrypt/Ombrak10");
BENCHMARK(OursTripleDes<true>)->Name("3DES_CBC_Decrypt/Ombrak10");

template <class H>
void OursHash(benchmark::State& state) {
    auto& b = bench_buffer();
    for (auto _ : state) {
        H h;
        h.update(b);
        benchmark::DoNotOptimize(h.final());
    }
    done(state);
}
BENCHMARK(OursHash<ombrak::digests::Md2>)->Name("MD2/Ombrak10");
BENCHMARK(OursHash<ombrak::digests::Md4>)->Name("MD4/Ombrak10");

// ---- Crypto++ -----------------------------------------------------------------------------

template <class Cipher, bool Decrypt>
void CryptoPPBlock(benchmark::State& state, std::size_t key_len) {
    typename std::conditional_t<Decrypt, typename CryptoPP::CBC_Mode<Cipher>::Decryption,
                                typename CryptoPP::CBC_Mode<Cipher>::Encryption>
        mode;
    auto& b = bench_buffer();
    for (auto _ : state) {
        mode.SetKeyWithIV(kKey24, key_len, kIv);
        mode.ProcessData(b.data(), b.data(), kSize);
        benchmark::ClobberMemory();
    }
    done(state);
}
void CppRc2Enc(benchmark::State& s) {
    CryptoPPBlock<CryptoPP::RC2, false>(s, 16);
}
void CppRc2Dec(benchmark::State& s) {
    CryptoPPBlock<CryptoPP::RC2, true>(s, 16);
}
void Cpp3DesEnc(benchmark::State& s) {
    CryptoPPBlock<CryptoPP::DES_EDE3, false>(s, 24);
}
void Cpp3DesDec(benchmark::State& s) {
    CryptoPPBlock<CryptoPP::DES_EDE3, true>(s, 24);
}
BENCHMARK(CppRc2Enc)->Name("RC2_CBC_Encrypt/CryptoPP");
BENCHMARK(CppRc2Dec)->Name("RC2_CBC_Decrypt/CryptoPP");
BENCHMARK(Cpp3DesEnc)->Name("3DES_CBC_Encrypt/CryptoPP");
BENCHMARK(Cpp3DesDec)->Name("3DES_CBC_Decrypt/CryptoPP");

template <class H>
void CryptoPPHash(benchmark::State& state) {
    auto& b = bench_buffer();
    std::uint8_t d[16];
    for (auto _ : state) {
        H h;
        h.CalculateDigest(d, b.data(), kSize);
        benchmark::DoNotOptimize(d);
    }
    done(state);
}
BENCHMARK(CryptoPPHash<CryptoPP::Weak::MD2>)->Name("MD2/CryptoPP");
BENCHMARK(CryptoPPHash<CryptoPP::Weak::MD4>)->Name("MD4/CryptoPP");

// ---- OpenSSL ------------------------------------------------------------------------------

void SslRc2Enc(benchmark::State& s) {
    openssl_cbc<false>(s, "RC2-CBC", kKey24, 16, bench_buffer());
}
void SslRc2Dec(benchmark::State& s) {
    openssl_cbc<true>(s, "RC2-CBC", kKey24, 16, bench_buffer());
}
void Ssl3DesEnc(benchmark::State& s) {
    openssl_cbc<false>(s, "DES-EDE3-CBC", kKey24, 24, bench_buffer());
}
void Ssl3DesDec(benchmark::State& s) {
    openssl_cbc<true>(s, "DES-EDE3-CBC", kKey24, 24, bench_buffer());
}
BENCHMARK(SslRc2Enc)->Name("RC2_CBC_Encrypt/OpenSSL");
BENCHMARK(SslRc2Dec)->Name("RC2_CBC_Decrypt/OpenSSL");
BENCHMARK(Ssl3DesEnc)->Name("3DES_CBC_Encrypt/OpenSSL");
BENCHMARK(Ssl3DesDec)->Name("3DES_CBC_Decrypt/OpenSSL");

void SslMd4(benchmark::State& state) {
    load_openssl_legacy();
    EVP_MD* md = EVP_MD_fetch(nullptr, "MD4", nullptr);
    if (!md) {
        state.SkipWithError("MD4 not available");
        return;
    }
    auto& b = bench_buffer();
    unsigned char d[16];
    unsigned int n = 0;
    for (auto _ : state) {
        EVP_Digest(b.data(), kSize, d, &n, md, nullptr);
        benchmark::DoNotOptimize(d);
    }
    EVP_MD_free(md);
    done(state);
}
BENCHMARK(SslMd4)->Name("MD4/OpenSSL");

}  // namespace
