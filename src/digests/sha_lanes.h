// SHA-1 and SHA-256 on the CPU's SHA instructions, in a unit built with them enabled and
// called only when the CPU has them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrak::digests {

void sha1_compress_ni(std::uint32_t* state, const std::uint8_t* blocks, std::size_t n) noexcept;
void sha256_compress_ni(std::uint32_t* state, const std::uint8_t* blocks, std::size_t n) noexcept;

}  // namespace ombrak::digests
