// Key setup of the peer libraries, one loop for every cipher: each iteration sets a key of
// `length` bytes (state.range(0) when length is 0) on a Crypto++ or Botan cipher object.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>

inline std::size_t key_length(const benchmark::State& state, std::size_t length) {
    return length ? length : static_cast<std::size_t>(state.range(0));
}

/// Crypto++: Cipher is the algorithm's Encryption class (or a stream cipher).
template <class Cipher>
void cryptopp_key_setup(benchmark::State& state, const std::uint8_t* key, std::size_t length) {
    Cipher c;
    const std::size_t n = key_length(state, length);
    for (auto _ : state) {
        c.SetKey(key, n);
        benchmark::ClobberMemory();
    }
}

/// Botan: Kind is Botan::BlockCipher or Botan::StreamCipher, name the algorithm's.
template <class Kind>
void botan_key_setup(benchmark::State& state, std::string name, const std::uint8_t* key,
                     std::size_t length) {
    auto c = Kind::create(name);
    const std::size_t n = key_length(state, length);
    for (auto _ : state) {
        c->set_key(key, n);
        benchmark::ClobberMemory();
    }
}
