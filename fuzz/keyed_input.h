// The input format of the cipher fuzz targets: a selector byte, the key's length in UTF-16
// units, the key (UTF-16LE), then the data.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>

#include "ombrak/frame/variant.h"

namespace ombrak::fuzz {

struct KeyedInput {
    std::uint8_t selector;
    Text key;
    Bytes data;
};

inline std::optional<KeyedInput> keyed_input(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return std::nullopt;
    const std::size_t units = std::min<std::size_t>(data[1], (size - 2) / 2);
    KeyedInput in{data[0], Text(units, u'\0'), {}};
    for (std::size_t i = 0; i < units; ++i)
        in.key[i] = static_cast<char16_t>(data[2 + 2 * i] | data[3 + 2 * i] << 8);
    in.data.assign(data + 2 + 2 * units, data + size);
    return in;
}

}  // namespace ombrak::fuzz
