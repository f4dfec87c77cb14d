// MD5, SHA-1 and SHA-256 over 1 MiB and 64 bytes against OpenSSL, Crypto++ and Botan (Nettle's
// are in nettle_bench.cpp). Each iteration hashes the whole input and takes the digest. Also
// the text members of the digest classes on 1 MiB.
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <benchmark/benchmark.h>
#include <botan/hash.h>
#include <cryptopp/md5.h>
#include <cryptopp/sha.h>
#include <openssl/evp.h>

#include "ombrak/digests/classes.h"
#include "ombrak/digests/digests.h"

std::vector<std::uint8_t>& bench_buffer();

namespace {

template <class H>
void Ours(benchmark::State& state) {
    const auto& b = bench_buffer();
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(H::of(std::span(b.data(), n)));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(Ours<ombrak::digests::Md5>)->Name("MD5/Ombrak10")->Arg(64)->Arg(1 << 20);
BENCHMARK(Ours<ombrak::digests::Sha1>)->Name("SHA1/Ombrak10")->Arg(64)->Arg(1 << 20);
BENCHMARK(Ours<ombrak::digests::Sha256>)->Name("SHA256/Ombrak10")->Arg(64)->Arg(1 << 20);

void OpenSSL(benchmark::State& state, const char* name) {
    const auto& b = bench_buffer();
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    EVP_MD* md = EVP_MD_fetch(nullptr, name, nullptr);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    unsigned char out[64];
    unsigned int len = 0;
    for (auto _ : state) {
        EVP_DigestInit_ex(ctx, md, nullptr);
        EVP_DigestUpdate(ctx, b.data(), n);
        EVP_DigestFinal_ex(ctx, out, &len);
        benchmark::DoNotOptimize(out);
    }
    EVP_MD_CTX_free(ctx);
    EVP_MD_free(md);
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK_CAPTURE(OpenSSL, md5, "MD5")->Name("MD5/OpenSSL")->Arg(64)->Arg(1 << 20);
BENCHMARK_CAPTURE(OpenSSL, sha1, "SHA1")->Name("SHA1/OpenSSL")->Arg(64)->Arg(1 << 20);
BENCHMARK_CAPTURE(OpenSSL, sha256, "SHA256")->Name("SHA256/OpenSSL")->Arg(64)->Arg(1 << 20);

template <class H>
void CryptoPP(benchmark::State& state) {
    const auto& b = bench_buffer();
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    H h;
    std::uint8_t out[H::DIGESTSIZE];
    for (auto _ : state) {
        h.CalculateDigest(out, b.data(), n);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(CryptoPP<CryptoPP::Weak::MD5>)->Name("MD5/CryptoPP")->Arg(64)->Arg(1 << 20);
BENCHMARK(CryptoPP<CryptoPP::SHA1>)->Name("SHA1/CryptoPP")->Arg(64)->Arg(1 << 20);
BENCHMARK(CryptoPP<CryptoPP::SHA256>)->Name("SHA256/CryptoPP")->Arg(64)->Arg(1 << 20);

void Botan(benchmark::State& state, const char* name) {
    const auto& b = bench_buffer();
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    auto h = Botan::HashFunction::create(name);
    std::uint8_t out[64];
    for (auto _ : state) {
        h->update(b.data(), n);
        h->final(out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK_CAPTURE(Botan, md5, "MD5")->Name("MD5/Botan")->Arg(64)->Arg(1 << 20);
BENCHMARK_CAPTURE(Botan, sha1, "SHA-1")->Name("SHA1/Botan")->Arg(64)->Arg(1 << 20);
BENCHMARK_CAPTURE(Botan, sha256, "SHA-256")->Name("SHA256/Botan")->Arg(64)->Arg(1 << 20);

// The text members on a 1 MiB text against the kernel on the same bytes (the rows above): the
// text's bytes go to the kernel a few kilobytes at a time. SHA1 and SHA256 empty the caller's
// text, so it is refilled outside the timing. The text is printable ASCII (state.range(0) 0) or
// every code unit 0..255 (1), which the ANSI conversion of SHA1 looks up one by one.
template <class C, class Member>
void Member1MiB(benchmark::State& state, Member member) {
    const auto& b = bench_buffer();
    ombrak::Text source(b.begin(), b.begin() + (1 << 20));
    if (state.range(0) == 0)
        for (auto& c : source) c = static_cast<char16_t>(0x20 + c % 95);
    ombrak::Text text = source;
    C object;
    for (auto _ : state) {
        benchmark::DoNotOptimize((object.*member)(text));
        if (text.empty()) {
            state.PauseTiming();
            text = source;
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}
void Md5Member(benchmark::State& state) {
    Member1MiB<ombrak::clsKvVeskMessageDigestA>(state, &ombrak::clsKvVeskMessageDigestA::MD5);
}
void Sha1Member(benchmark::State& state) {
    Member1MiB<ombrak::clsKvVeskEncDecShaA>(state, &ombrak::clsKvVeskEncDecShaA::SHA1);
}
void Sha256Member(benchmark::State& state) {
    Member1MiB<ombrak::clsKvVeskEncDecSha256A>(state, &ombrak::clsKvVeskEncDecSha256A::SHA256);
}
BENCHMARK(Md5Member)->Name("MD5/Ombrak10 MD5 member/1048576/text")->Arg(0);
BENCHMARK(Sha1Member)->Name("SHA1/Ombrak10 SHA1 member/1048576/text")->Arg(0)->Arg(1);
BENCHMARK(Sha256Member)->Name("SHA256/Ombrak10 SHA256 member/1048576/text")->Arg(0);

}  // namespace
