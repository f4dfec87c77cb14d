// Nettle's Blowfish, DES, triple DES and RC2 in CBC over 1 MiB, its MD2 and MD4, and its
// Blowfish key schedule. Nettle's headers
// rename cbc_encrypt and cbc_decrypt by macro, so they stay out of the other benchmark files.
#include <benchmark/benchmark.h>
#include <nettle/arctwo.h>
#include <nettle/blowfish.h>
#include <nettle/cbc.h>
#include <nettle/des.h>
#include <nettle/md2.h>
#include <nettle/md4.h>

#include <cstdint>
#include <vector>

std::vector<std::uint8_t>& bench_buffer();

namespace {

constexpr std::size_t kSize = 1 << 20;
const std::uint8_t kKey16[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
std::vector<std::uint8_t>& buffer() {
    return bench_buffer();
}
void done(benchmark::State& state) {
    state.SetBytesProcessed(state.iterations() * kSize);
}

// ---- Nettle -------------------------------------------------------------------------------

template <bool Decrypt>
void NettleBlowfish(benchmark::State& state) {
    blowfish_ctx ctx;
    blowfish_set_key(&ctx, 16, kKey16);
    auto& b = buffer();
    for (auto _ : state) {
        std::uint8_t iv[8] = {};
        if (Decrypt)
            cbc_decrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(blowfish_decrypt), 8, iv, kSize,
                        b.data(), b.data());
        else
            cbc_encrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(blowfish_encrypt), 8, iv, kSize,
                        b.data(), b.data());
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(NettleBlowfish<false>)->Name("Blowfish_CBC_Encrypt/Nettle");
BENCHMARK(NettleBlowfish<true>)->Name("Blowfish_CBC_Decrypt/Nettle");

template <bool Decrypt>
void NettleDes(benchmark::State& state) {
    des_ctx ctx;
    des_set_key(&ctx, kKey16);
    auto& b = buffer();
    for (auto _ : state) {
        std::uint8_t iv[8] = {};
        if (Decrypt)
            cbc_decrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(des_decrypt), 8, iv, kSize,
                        b.data(), b.data());
        else
            cbc_encrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(des_encrypt), 8, iv, kSize,
                        b.data(), b.data());
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(NettleDes<false>)->Name("DES_CBC_Encrypt/Nettle");
BENCHMARK(NettleDes<true>)->Name("DES_CBC_Decrypt/Nettle");

void Blowfish_KeySchedule_Nettle(benchmark::State& state) {
    blowfish_ctx ctx;
    for (auto _ : state) {
        blowfish_set_key(&ctx, 16, kKey16);
        benchmark::DoNotOptimize(ctx.p[0]);
    }
}
BENCHMARK(Blowfish_KeySchedule_Nettle);

}  // namespace

#include <nettle/arcfour.h>
#include <nettle/serpent.h>
#include <nettle/twofish.h>

namespace {

template <bool Decrypt>
void NettleTwofish(benchmark::State& state) {
    twofish_ctx ctx;
    twofish_set_key(&ctx, 16, kKey16);
    auto& b = buffer();
    for (auto _ : state) {
        std::uint8_t iv[16] = {};
        if (Decrypt)
            cbc_decrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(twofish_decrypt), 16, iv, kSize,
                        b.data(), b.data());
        else
            cbc_encrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(twofish_encrypt), 16, iv, kSize,
                        b.data(), b.data());
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(NettleTwofish<false>)->Name("Twofish_CBC_Encrypt/Nettle");
BENCHMARK(NettleTwofish<true>)->Name("Twofish_CBC_Decrypt/Nettle");

template <bool Decrypt>
void NettleSerpent(benchmark::State& state) {
    serpent_ctx ctx;
    std::uint8_t key[32] = {};
    serpent_set_key(&ctx, 32, key);
    auto& b = buffer();
    for (auto _ : state) {
        if (Decrypt)
            serpent_decrypt(&ctx, kSize, b.data(), b.data());
        else
            serpent_encrypt(&ctx, kSize, b.data(), b.data());
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(NettleSerpent<false>)->Name("Serpent_ECB_Encrypt/Nettle");
BENCHMARK(NettleSerpent<true>)->Name("Serpent_ECB_Decrypt/Nettle");

void NettleRc4(benchmark::State& state) {
    arcfour_ctx ctx;
    auto& b = buffer();
    for (auto _ : state) {
        arcfour_set_key(&ctx, 16, kKey16);
        arcfour_crypt(&ctx, kSize, b.data(), b.data());
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(NettleRc4)->Name("RC4/Nettle");

void Twofish_KeySetup_Nettle(benchmark::State& state) {
    twofish_ctx ctx;
    std::uint8_t key[32] = {};
    for (auto _ : state) {
        twofish_set_key(&ctx, static_cast<std::size_t>(state.range(0)), key);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Twofish_KeySetup_Nettle)->Arg(16)->Arg(24)->Arg(32);

void Serpent_KeySetup_Nettle(benchmark::State& state) {
    serpent_ctx ctx;
    std::uint8_t key[32] = {};
    for (auto _ : state) {
        serpent_set_key(&ctx, 32, key);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Serpent_KeySetup_Nettle);

void RC4_KeySetup_Nettle(benchmark::State& state) {
    arcfour_ctx ctx;
    for (auto _ : state) {
        arcfour_set_key(&ctx, 16, kKey16);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(RC4_KeySetup_Nettle);

}  // namespace

#include <nettle/md5.h>
#include <nettle/sha1.h>
#include <nettle/sha2.h>

namespace {

template <class Ctx, void (*Init)(Ctx*), void (*Update)(Ctx*, std::size_t, const std::uint8_t*),
          void (*Digest)(Ctx*, std::size_t, std::uint8_t*), std::size_t Size>
void NettleHash(benchmark::State& state) {
    const auto& b = buffer();
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    Ctx ctx;
    std::uint8_t out[Size];
    for (auto _ : state) {
        Init(&ctx);
        Update(&ctx, n, b.data());
        Digest(&ctx, Size, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(NettleHash<md5_ctx, md5_init, md5_update, md5_digest, 16>)
    ->Name("MD5/Nettle")
    ->Arg(64)
    ->Arg(1 << 20);
BENCHMARK(NettleHash<sha1_ctx, sha1_init, sha1_update, sha1_digest, 20>)
    ->Name("SHA1/Nettle")
    ->Arg(64)
    ->Arg(1 << 20);
BENCHMARK(NettleHash<sha256_ctx, sha256_init, sha256_update, sha256_digest, 32>)
    ->Name("SHA256/Nettle")
    ->Arg(64)
    ->Arg(1 << 20);

template <bool Decrypt>
void NettleDes3(benchmark::State& state) {
    des3_ctx ctx;
    const std::uint8_t key[24] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                  13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    des3_set_key(&ctx, key);
    auto& b = buffer();
    for (auto _ : state) {
        std::uint8_t iv[8] = {};
        if (Decrypt)
            cbc_decrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(des3_decrypt), 8, iv, kSize,
                        b.data(), b.data());
        else
            cbc_encrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(des3_encrypt), 8, iv, kSize,
                        b.data(), b.data());
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(NettleDes3<false>)->Name("3DES_CBC_Encrypt/Nettle");
BENCHMARK(NettleDes3<true>)->Name("3DES_CBC_Decrypt/Nettle");

template <bool Decrypt>
void NettleRc2(benchmark::State& state) {
    arctwo_ctx ctx;
    arctwo_set_key_ekb(&ctx, 16, kKey16, 128);
    auto& b = buffer();
    for (auto _ : state) {
        std::uint8_t iv[8] = {};
        if (Decrypt)
            cbc_decrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(arctwo_decrypt), 8, iv, kSize,
                        b.data(), b.data());
        else
            cbc_encrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(arctwo_encrypt), 8, iv, kSize,
                        b.data(), b.data());
        benchmark::ClobberMemory();
    }
    done(state);
}
BENCHMARK(NettleRc2<false>)->Name("RC2_CBC_Encrypt/Nettle");
BENCHMARK(NettleRc2<true>)->Name("RC2_CBC_Decrypt/Nettle");

void NettleMd2(benchmark::State& state) {
    auto& b = buffer();
    std::uint8_t d[16];
    for (auto _ : state) {
        md2_ctx c;
        md2_init(&c);
        md2_update(&c, kSize, b.data());
        md2_digest(&c, 16, d);
        benchmark::DoNotOptimize(d);
    }
    done(state);
}
void NettleMd4(benchmark::State& state) {
    auto& b = buffer();
    std::uint8_t d[16];
    for (auto _ : state) {
        md4_ctx c;
        md4_init(&c);
        md4_update(&c, kSize, b.data());
        md4_digest(&c, 16, d);
        benchmark::DoNotOptimize(d);
    }
    done(state);
}
BENCHMARK(NettleMd2)->Name("MD2/Nettle");
BENCHMARK(NettleMd4)->Name("MD4/Nettle");

}  // namespace
