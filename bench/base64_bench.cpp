// Base64 of 1 MiB in the library's layout (76-character lines, CR LF) against OpenSSL.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <random>

#include "ombrak/encoding/base64.h"

namespace {

constexpr std::size_t kSize = 1 << 20;

const ombrak::Bytes& data() {
    static const ombrak::Bytes d = [] {
        ombrak::Bytes b(kSize);
        std::mt19937 rng(1);
        for (auto& x : b) x = static_cast<std::uint8_t>(rng());
        return b;
    }();
    return d;
}

const std::string& encoded() {
    static const std::string e = ombrak::encoding::base64_encode_lines(data());
    return e;
}

void Base64Encode_Ombrak10(benchmark::State& state) {
    std::string out(ombrak::encoding::base64_lines_length(kSize), '\0');
    for (auto _ : state) {
        out = ombrak::encoding::base64_encode_lines(data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(Base64Encode_Ombrak10);

void Base64Encode_OpenSSL(benchmark::State& state) {
    std::string out(ombrak::encoding::base64_length(kSize) + 1, '\0');
    for (auto _ : state) {
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data().data(), kSize);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(Base64Encode_OpenSSL);

void Base64DecodeCrLf_Ombrak10(benchmark::State& state) {
    const std::string& in = encoded();
    ombrak::Bytes out;
    for (auto _ : state) {
        ombrak::encoding::base64_decode_lenient(
            std::span(reinterpret_cast<const std::uint8_t*>(in.data()), in.size()), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(Base64DecodeCrLf_Ombrak10);

void Base64DecodeCrLf_OpenSSL(benchmark::State& state) {
    const std::string& in = encoded();
    std::vector<unsigned char> out(kSize + 64);
    EVP_ENCODE_CTX* ctx = EVP_ENCODE_CTX_new();
    for (auto _ : state) {
        int n = 0, m = 0;
        EVP_DecodeInit(ctx);
        EVP_DecodeUpdate(ctx, out.data(), &n, reinterpret_cast<const unsigned char*>(in.data()),
                         static_cast<int>(in.size()));
        EVP_DecodeFinal(ctx, out.data() + n, &m);
        if (static_cast<std::size_t>(n + m) != kSize) state.SkipWithError("OpenSSL decode failed");
        benchmark::DoNotOptimize(out.data());
    }
    EVP_ENCODE_CTX_free(ctx);
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(Base64DecodeCrLf_OpenSSL);

}  // namespace
