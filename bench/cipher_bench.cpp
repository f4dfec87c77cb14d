// TEA, Blowfish and DES in CBC over 1 MiB against OpenSSL, Crypto++, Botan and Nettle; the
// envelope's cost over the bare kernel; the Blowfish key schedule. Standard Blowfish is the peer
// for ours: the S-box layout and key packing differ, the work per block does not.
#include <benchmark/benchmark.h>
#include <botan/block_cipher.h>
#include <botan/cipher_mode.h>
#include <cryptopp/blowfish.h>
#include <cryptopp/des.h>
#include <cryptopp/modes.h>
#include <cryptopp/tea.h>
#include <openssl/blowfish.h>
#include <openssl/des.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstring>
#include <random>

#include "cbc_rows.h"
#include "key_setup.h"
#include "ombrak/ciphers/classes.h"

namespace {

constexpr std::size_t kSize = 1 << 20;
const std::uint8_t kKey16[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const std::uint8_t kIv[8] = {};

}  // namespace

// Shared with the Nettle benchmarks, whose headers rename cbc_encrypt and must stay apart.
std::vector<std::uint8_t>& bench_buffer() {
    static std::vector<std::uint8_t> b = [] {
        std::vector<std::uint8_t> v(kSize);
        std::mt19937 rng(3);
        for (auto& x : v) x = static_cast<std::uint8_t>(rng());
        return v;
    }();
    return b;
}

namespace {

std::vector<std::uint8_t>& buffer() {
    return bench_buffer();
}

void done(benchmark::State& state) {
    state.SetBytesProcessed(state.iterations() * kSize);
}

// ---- ours ---------------------------------------------------------------------------------

template <class Kernel>
Kernel keyed();
template <>
ombrak::ciphers::TeaKernel keyed() {
    ombrak::ciphers::TeaKernel k;
    k.set_key(kKey16);
    return k;
}
template <>
ombrak::ciphers::BlowfishKernel keyed() {
    ombrak::ciphers::BlowfishKernel k;
    std::uint32_t w[18];
    ombrak::ciphers::BlowfishKernel::pack_key(kKey16, 16, w);
    k.expand(w);
    return k;
}
template <>
ombrak::ciphers::DesKernel keyed() {
    ombrak::ciphers::DesKernel k;
    k.set_key(kKey16);
    return k;
}

template <class Kernel, bool Decrypt>
void Ours(benchmark::State& state) {
    kernel_cbc<Decrypt>(state, keyed<Kernel>(), buffer());
}
BENCHMARK(Ours<ombrak::ciphers::TeaKernel, false>)->Name("TEA_CBC_Encrypt/Ombrak10");
BENCHMARK(Ours<ombrak::ciphers::TeaKernel, true>)->Name("TEA_CBC_Decrypt/Ombrak10");
BENCHMARK(Ours<ombrak::ciphers::BlowfishKernel, false>)->Name("Blowfish_CBC_Encrypt/Ombrak10");
BENCHMARK(Ours<ombrak::ciphers::BlowfishKernel, true>)->Name("Blowfish_CBC_Decrypt/Ombrak10");
BENCHMARK(Ours<ombrak::ciphers::DesKernel, false>)->Name("DES_CBC_Encrypt/Ombrak10");
BENCHMARK(Ours<ombrak::ciphers::DesKernel, true>)->Name("DES_CBC_Decrypt/Ombrak10");

// ---- Crypto++ -----------------------------------------------------------------------------

template <class Cipher, bool Decrypt>
void CryptoPP(benchmark::State& state) {
    std::size_t key_len = Cipher::DEFAULT_KEYLENGTH;
    typename std::conditional_t<Decrypt, typename CryptoPP::CBC_Mode<Cipher>::Decryption,
                                typename CryptoPP::CBC_Mode<Cipher>::Encryption>
        mode(kKey16, key_len, kIv);
    auto& b = buffer();
    for (auto _ : state) {
        mode.Resynchronize(kIv);
        mode.ProcessData(b.data(), b.data(), kSize);
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(CryptoPP<CryptoPP::TEA, false>)->Name("TEA_CBC_Encrypt/CryptoPP");
BENCHMARK(CryptoPP<CryptoPP::TEA, true>)->Name("TEA_CBC_Decrypt/CryptoPP");
BENCHMARK(CryptoPP<CryptoPP::Blowfish, false>)->Name("Blowfish_CBC_Encrypt/CryptoPP");
BENCHMARK(CryptoPP<CryptoPP::Blowfish, true>)->Name("Blowfish_CBC_Decrypt/CryptoPP");
BENCHMARK(CryptoPP<CryptoPP::DES, false>)->Name("DES_CBC_Encrypt/CryptoPP");
BENCHMARK(CryptoPP<CryptoPP::DES, true>)->Name("DES_CBC_Decrypt/CryptoPP");

// ---- OpenSSL (legacy provider) ------------------------------------------------------------

void OpenSSLBfEnc(benchmark::State& s) {
    openssl_cbc<false>(s, "BF-CBC", kKey16, 16, buffer());
}
void OpenSSLBfDec(benchmark::State& s) {
    openssl_cbc<true>(s, "BF-CBC", kKey16, 16, buffer());
}
void OpenSSLDesEnc(benchmark::State& s) {
    openssl_cbc<false>(s, "DES-CBC", kKey16, 8, buffer());
}
void OpenSSLDesDec(benchmark::State& s) {
    openssl_cbc<true>(s, "DES-CBC", kKey16, 8, buffer());
}
BENCHMARK(OpenSSLBfEnc)->Name("Blowfish_CBC_Encrypt/OpenSSL");
BENCHMARK(OpenSSLBfDec)->Name("Blowfish_CBC_Decrypt/OpenSSL");
BENCHMARK(OpenSSLDesEnc)->Name("DES_CBC_Encrypt/OpenSSL");
BENCHMARK(OpenSSLDesDec)->Name("DES_CBC_Decrypt/OpenSSL");

// ---- Botan --------------------------------------------------------------------------------

template <bool Decrypt>
void Botan(benchmark::State& state, const char* name, std::size_t key_len) {
    auto mode = Botan::Cipher_Mode::create(name, Decrypt ? Botan::DECRYPTION : Botan::ENCRYPTION);
    mode->set_key(kKey16, key_len);
    auto& b = buffer();
    for (auto _ : state) {
        mode->start(kIv, 8);
        mode->process(b.data(), kSize);
        benchmark::ClobberMemory();
    }
    done(state);
}
void BotanBfEnc(benchmark::State& s) {
    Botan<false>(s, "Blowfish/CBC/NoPadding", 16);
}
void BotanBfDec(benchmark::State& s) {
    Botan<true>(s, "Blowfish/CBC/NoPadding", 16);
}
void BotanDesEnc(benchmark::State& s) {
    Botan<false>(s, "DES/CBC/NoPadding", 8);
}
void BotanDesDec(benchmark::State& s) {
    Botan<true>(s, "DES/CBC/NoPadding", 8);
}
BENCHMARK(BotanBfEnc)->Name("Blowfish_CBC_Encrypt/Botan");
BENCHMARK(BotanBfDec)->Name("Blowfish_CBC_Decrypt/Botan");
BENCHMARK(BotanDesEnc)->Name("DES_CBC_Encrypt/Botan");
BENCHMARK(BotanDesDec)->Name("DES_CBC_Decrypt/Botan");

// ---- The envelope over the bare kernel ----------------------------------------------------

void TEA_EncryptByte_Envelope(benchmark::State& state) {
    ombrak::clsKvVeskEncDecTeaA tea;
    ombrak::Text key = u"0123456789abcdef";
    tea.Key(key);
    ombrak::Text none;
    ombrak::Bytes work;
    work.reserve(kSize + 32);
    for (auto _ : state) {
        work.assign(buffer().begin(), buffer().end());
        tea.EncryptByte(work, none);
        benchmark::DoNotOptimize(work.data());
    }
    done(state);
}
BENCHMARK(TEA_EncryptByte_Envelope);

void TEA_EncryptByte_BareKernel(benchmark::State& state) {
    auto k = keyed<ombrak::ciphers::TeaKernel>();
    ombrak::Bytes work;
    work.reserve(kSize + 32);
    for (auto _ : state) {
        work.assign(buffer().begin(), buffer().end());
        std::uint8_t chain[8] = {};
        k.cbc_encrypt(work.data(), kSize / 8, chain);
        benchmark::DoNotOptimize(work.data());
    }
    done(state);
}
BENCHMARK(TEA_EncryptByte_BareKernel);

// ---- Blowfish key schedule ----------------------------------------------------------------

void Blowfish_KeySchedule_Ombrak10(benchmark::State& state) {
    ombrak::ciphers::BlowfishKernel k;
    std::uint32_t w[18];
    for (auto _ : state) {
        k.reset();
        ombrak::ciphers::BlowfishKernel::pack_key(kKey16, 16, w);
        k.expand(w);
        benchmark::DoNotOptimize(k.p(0));
    }
}
BENCHMARK(Blowfish_KeySchedule_Ombrak10);

void Blowfish_KeySchedule_OpenSSL(benchmark::State& state) {
    BF_KEY key;
    for (auto _ : state) {
        BF_set_key(&key, 16, kKey16);
        benchmark::DoNotOptimize(key.P[0]);
    }
}
BENCHMARK(Blowfish_KeySchedule_OpenSSL);

}  // namespace

// ---- DES key schedule ---------------------------------------------------------------------

namespace {

void DES_KeySchedule_Ombrak10(benchmark::State& state) {
    ombrak::ciphers::DesKernel k;
    std::uint8_t key[8];
    std::memcpy(key, kKey16, 8);
    for (auto _ : state) {
        benchmark::DoNotOptimize(key);
        k.set_key(key);
        benchmark::DoNotOptimize(&k);
    }
}
BENCHMARK(DES_KeySchedule_Ombrak10);

void DES_KeySchedule_OpenSSL(benchmark::State& state) {
    DES_cblock key;
    std::memcpy(key, kKey16, 8);
    DES_key_schedule schedule;
    for (auto _ : state) {
        benchmark::DoNotOptimize(key);
        DES_set_key_unchecked(&key, &schedule);
        benchmark::DoNotOptimize(&schedule);
    }
}
BENCHMARK(DES_KeySchedule_OpenSSL);

const bool peer_key_schedules = [] {
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("Blowfish_KeySchedule_CryptoPP",
                      cryptopp_key_setup<CryptoPP::Blowfish::Encryption>, kKey16, 16);
    RegisterBenchmark("Blowfish_KeySchedule_Botan", botan_key_setup<Botan::BlockCipher>, "Blowfish",
                      kKey16, 16);
    RegisterBenchmark("DES_KeySchedule_CryptoPP", cryptopp_key_setup<CryptoPP::DES::Encryption>,
                      kKey16, 8);
    RegisterBenchmark("DES_KeySchedule_Botan", botan_key_setup<Botan::BlockCipher>, "DES", kKey16,
                      8);
    return true;
}();

}  // namespace
