// RC4 (Rivest): a key schedule over up to 256 key bytes and the keystream XORed over data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ombrak::ciphers {

/// The permutation a key schedules.
struct Rc4Key {
    std::array<std::uint8_t, 256> s{};

    Rc4Key() = default;
    Rc4Key(const Rc4Key&) = default;
    Rc4Key& operator=(const Rc4Key&) = default;
    ~Rc4Key();

    /// The identity permutation.
    void reset() noexcept;
    /// The standard key schedule: key byte i mod `cycle` at step i (cycle > 0, every index
    /// below min(cycle, 256) readable).
    void schedule(const std::uint8_t* key, std::size_t cycle) noexcept;
};

/// The keystream from a permutation, from its start.
class Rc4Stream {
  public:
    explicit Rc4Stream(const Rc4Key& key) noexcept;
    Rc4Stream(const Rc4Stream&) = delete;
    Rc4Stream& operator=(const Rc4Stream&) = delete;
    ~Rc4Stream();

    /// XORs the next n keystream bytes over data.
    void apply(std::uint8_t* data, std::size_t n) noexcept;

  private:
    std::uint32_t t_[256];  // words, not bytes: no partial-register merges in the loop
    std::uint32_t i_ = 0, j_ = 0;
};

}  // namespace ombrak::ciphers
