// A by-name call against the direct C++ call of the same member.
#include <benchmark/benchmark.h>

#include "ombrak/ciphers/classes.h"
#include "ombrak/encoding/base64_class.h"
#include "ombrak/frame/components.h"

namespace {

void Encode64_ByName(benchmark::State& state) {
    ombrak::ObjectRef b64 = ombrak::create_object("Ombrak10.clsKvVeskEncDecBase64A");
    for (auto _ : state) {
        ombrak::Variant text(u"0123456789abcdef");
        benchmark::DoNotOptimize(ombrak::call(*b64, "Encode64", text));
    }
}
BENCHMARK(Encode64_ByName);

void Encode64_Direct(benchmark::State& state) {
    ombrak::clsKvVeskEncDecBase64A b64;
    for (auto _ : state) {
        ombrak::Text text(u"0123456789abcdef");
        benchmark::DoNotOptimize(b64.Encode64(text));
    }
}
BENCHMARK(Encode64_Direct);

// EncryptByte on 1 MiB by name and directly: the by-name call moves the caller's array in and
// back, so the two should cost the same. Each iteration restores the same plaintext first.
constexpr std::size_t kMiB = 1 << 20;

void EncryptByte_ByName(benchmark::State& state) {
    ombrak::ObjectRef tea = ombrak::create_object("Ombrak10.clsKvVeskEncDecTeaA");
    const ombrak::Bytes plain(kMiB, 0x5A);
    ombrak::Bytes work;
    work.reserve(kMiB + 64);
    ombrak::Variant data(std::move(work)), key(u"0123456789abcdef");
    for (auto _ : state) {
        auto& bytes = data.get<ombrak::Bytes>();
        bytes.assign(plain.begin(), plain.end());
        ombrak::call(*tea, "EncryptByte", data, key);
        benchmark::DoNotOptimize(data.get<ombrak::Bytes>().data());
    }
    state.SetBytesProcessed(state.iterations() * kMiB);
}
BENCHMARK(EncryptByte_ByName);

void EncryptByte_Direct(benchmark::State& state) {
    ombrak::clsKvVeskEncDecTeaA tea;
    const ombrak::Bytes plain(kMiB, 0x5A);
    ombrak::Bytes work;
    work.reserve(kMiB + 64);
    ombrak::Text key = u"0123456789abcdef";
    for (auto _ : state) {
        work.assign(plain.begin(), plain.end());
        tea.EncryptByte(work, key);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(state.iterations() * kMiB);
}
BENCHMARK(EncryptByte_Direct);

}  // namespace
