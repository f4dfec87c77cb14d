// Serpent over many blocks in vector lanes, one unit per instruction set (built with that set
// enabled, called only when the CPU has it). Each returns the number of blocks it transformed,
// a multiple of its lane count; the caller does the rest one block at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrak::ciphers {

std::size_t serpent_lanes_avx2(const std::uint32_t (*k)[4], std::uint8_t* data, std::size_t blocks,
                               bool decrypt) noexcept;
std::size_t serpent_lanes_avx512(const std::uint32_t (*k)[4], std::uint8_t* data,
                                 std::size_t blocks, bool decrypt) noexcept;

}  // namespace ombrak::ciphers
