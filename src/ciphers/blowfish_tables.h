// The hexadecimal digits of pi that fill Blowfish's initial P-array and S-boxes.
#pragma once

#include <cstdint>

namespace ombrak::ciphers {

extern const std::uint32_t kPiWords[1042];

}  // namespace ombrak::ciphers
