// A by-name call against the direct C++ call of the same member.
#include <benchmark/benchmark.h>

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

}  // namespace
