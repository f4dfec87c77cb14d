// MD2 (RFC 1319) and MD4 (RFC 1320): broken as digests, kept because the platform provider's
// password keys are made with them.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "ombrak/digests/digests.h"

namespace ombrak::digests {

/// MD2, incremental: 16-byte blocks, a running checksum appended at the end.
class Md2 {
  public:
    static constexpr std::size_t kDigestSize = 16;
    void update(std::span<const std::uint8_t> data) noexcept;
    /// The digest; the object starts over afterwards.
    std::array<std::uint8_t, 16> final() noexcept;

  private:
    void compress(const std::uint8_t* block) noexcept;
    std::array<std::uint8_t, 48> x_{};
    std::array<std::uint8_t, 16> checksum_{};
    std::array<std::uint8_t, 16> block_{};
    std::uint8_t last_ = 0;
    std::size_t used_ = 0;
};

struct Md4Algo : MdFamily<Md4Algo> {
    static void compress(State& s, const std::uint8_t* blocks, std::size_t n) noexcept;
};

using Md4 = BlockHash<Md4Algo>;

}  // namespace ombrak::digests
