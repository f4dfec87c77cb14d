// Huffman compression of 1 MiB of English text and of random bytes, against zlib's Huffman-only
// deflate (the peer a user would pick for the same job). Each row reports the compressed size.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "ombrak/encoding/huffman.h"
#include "ombrak/encoding/huffman_class.h"

namespace {

using ombrak::Bytes;
namespace enc = ombrak::encoding;

constexpr std::size_t kSize = 1 << 20;

// English: the system's licence texts (every Debian system has them) repeated to 1 MiB.
Bytes english() {
    std::string text;
    const std::filesystem::path dir = "/usr/share/common-licenses";
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        if (!e.is_regular_file()) continue;
        std::ifstream f(e.path(), std::ios::binary);
        text.append(std::istreambuf_iterator<char>(f), {});
    }
    if (text.empty())
        text =
            "It was the best of times, it was the worst of times, it was the age of wisdom, "
            "it was the age of foolishness, it was the epoch of belief.\n";
    Bytes b;
    while (b.size() < kSize) b.insert(b.end(), text.begin(), text.end());
    b.resize(kSize);
    return b;
}

Bytes random_bytes() {
    Bytes b(kSize);
    std::mt19937 rng(1);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

const Bytes& input(std::int64_t kind) {
    static const Bytes text = english(), noise = random_bytes();
    return kind == 0 ? text : noise;
}

// What EncodeByte does without a listener: count, build the code, write head and data bits
// into one output buffer (reused between iterations, as a caller's buffer would be).
std::size_t encode(const Bytes& in, Bytes& out) {
    enc::ByteCounts counts;
    counts.update(in);
    const enc::HuffmanCode code(counts.counts());
    out.resize(code.container_size() + 8);
    code.write_head(counts.checksum(), static_cast<std::uint32_t>(in.size()), out.data());
    enc::HuffmanEncoder encoder(code);
    std::size_t o = code.head_size();
    o += encoder.encode(in, out.data() + o);
    o += encoder.finish(out.data() + o);
    return o;
}

void HuffmanEncode_Ombrak10(benchmark::State& state) {
    const Bytes& in = input(state.range(0));
    Bytes out;
    std::size_t size = 0;
    for (auto _ : state) {
        size = encode(in, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
    state.counters["bytes_out"] = static_cast<double>(size);
}
BENCHMARK(HuffmanEncode_Ombrak10)->Arg(0)->Arg(1);

void HuffmanDecode_Ombrak10(benchmark::State& state) {
    const Bytes& in = input(state.range(0));
    Bytes container;
    container.resize(encode(in, container));
    Bytes out(kSize);
    for (auto _ : state) {
        enc::HuffmanDecoder d;
        d.read_head(container, container.size());
        std::uint64_t bit = 0;
        std::size_t made = 0;
        d.decode(container.data() + d.data_offset(), container.size() - d.data_offset(), bit,
                 UINT64_MAX, out.data(), d.length(), made);
        benchmark::DoNotOptimize(enc::xor_bytes(out) == d.checksum());
    }
    if (out != in) state.SkipWithError("decoded data differ");
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(HuffmanDecode_Ombrak10)->Arg(0)->Arg(1);

// The host operations on a byte array: the same work plus the copy in and the array's new
// buffer.
void HuffmanEncodeByte_Ombrak10(benchmark::State& state) {
    const Bytes& in = input(state.range(0));
    ombrak::clsKvVeskEncDecHuffmanA h;
    for (auto _ : state) {
        Bytes b = in;
        std::int32_t n = kSize;
        h.EncodeByte(b, n);
        benchmark::DoNotOptimize(b.data());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(HuffmanEncodeByte_Ombrak10)->Arg(0)->Arg(1);

void HuffmanDecodeByte_Ombrak10(benchmark::State& state) {
    const Bytes& in = input(state.range(0));
    ombrak::clsKvVeskEncDecHuffmanA h;
    Bytes container = in;
    std::int32_t n = kSize;
    h.EncodeByte(container, n);
    for (auto _ : state) {
        Bytes b = container;
        n = static_cast<std::int32_t>(b.size());
        h.DecodeByte(b, n);
        benchmark::DoNotOptimize(b.data());
    }
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(HuffmanDecodeByte_Ombrak10)->Arg(0)->Arg(1);

// zlib: raw deflate (no zlib wrapper or Adler-32) with the Huffman-only strategy, the stream
// reset rather than rebuilt for each iteration.
void HuffmanEncode_Zlib(benchmark::State& state) {
    const Bytes& in = input(state.range(0));
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_HUFFMAN_ONLY);
    Bytes out(deflateBound(&z, kSize));
    std::size_t size = 0;
    for (auto _ : state) {
        deflateReset(&z);
        z.next_in = const_cast<Bytef*>(in.data());
        z.avail_in = kSize;
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        if (deflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("deflate");
        size = z.total_out;
        benchmark::DoNotOptimize(out.data());
    }
    deflateEnd(&z);
    state.SetBytesProcessed(state.iterations() * kSize);
    state.counters["bytes_out"] = static_cast<double>(size);
}
BENCHMARK(HuffmanEncode_Zlib)->Arg(0)->Arg(1);

void HuffmanDecode_Zlib(benchmark::State& state) {
    const Bytes& in = input(state.range(0));
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_HUFFMAN_ONLY);
    Bytes packed(deflateBound(&z, kSize));
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = kSize;
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    deflate(&z, Z_FINISH);
    packed.resize(z.total_out);
    deflateEnd(&z);
    z_stream d{};
    inflateInit2(&d, -15);
    Bytes out(kSize);
    for (auto _ : state) {
        inflateReset(&d);
        d.next_in = packed.data();
        d.avail_in = static_cast<uInt>(packed.size());
        d.next_out = out.data();
        d.avail_out = kSize;
        if (inflate(&d, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate");
        benchmark::DoNotOptimize(out.data());
    }
    inflateEnd(&d);
    if (out != in) state.SkipWithError("inflated data differ");
    state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(HuffmanDecode_Zlib)->Arg(0)->Arg(1);

}  // namespace
