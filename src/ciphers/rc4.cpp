// RC4 kernel.
#include "ombrak/ciphers/rc4.h"

#include <cstring>

#include "ombrak/ciphers/block.h"

namespace ombrak::ciphers {

Rc4Key::~Rc4Key() {
    wipe(s.data(), s.size());
}

void Rc4Key::reset() noexcept {
    for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
}

void Rc4Key::schedule(const std::uint8_t* key, std::size_t cycle) noexcept {
    reset();
    std::uint8_t j = 0;
    std::size_t k = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[k]);
        if (++k == cycle) k = 0;
        const std::uint8_t t = s[i];
        s[i] = s[j];
        s[j] = t;
    }
}

Rc4Stream::Rc4Stream(const Rc4Key& key) noexcept {
    for (int i = 0; i < 256; ++i) t_[i] = key.s[i];
}

Rc4Stream::~Rc4Stream() {
    wipe(t_, sizeof t_);
}

void Rc4Stream::apply(std::uint8_t* data, std::size_t n) noexcept {
    std::uint8_t i = static_cast<std::uint8_t>(i_), j = static_cast<std::uint8_t>(j_);
    std::uint32_t* t = t_;
    // t[i + 1] is read before this step's swap is stored, so the next step does not wait for
    // the stores; the one case where the swap changes it (j = i + 1) is patched afterwards.
    // Indices are bytes, so they wrap without a mask.
    std::uint32_t a = t[static_cast<std::uint8_t>(i + 1)];
    auto next = [&]() -> std::uint32_t {
        ++i;
        j = static_cast<std::uint8_t>(j + a);
        const std::uint32_t b = t[j];
        const std::uint8_t i2 = static_cast<std::uint8_t>(i + 1);
        std::uint32_t following = t[i2];
        t[i] = b;
        t[j] = a;
        following = i2 == j ? a : following;
        const std::uint32_t out = t[static_cast<std::uint8_t>(a + b)];
        a = following;
        return out;
    };
    // Eight keystream bytes gathered into one word, XORed over the data with one load and
    // one store.
    for (; n >= 8; n -= 8, data += 8) {
        std::uint64_t ks = 0;
        for (int u = 0; u < 8; ++u) ks |= static_cast<std::uint64_t>(next()) << (8 * u);
        std::uint64_t d;
        std::memcpy(&d, data, 8);
        d ^= ks;
        std::memcpy(data, &d, 8);
    }
    for (std::size_t k = 0; k < n; ++k) data[k] ^= static_cast<std::uint8_t>(next());
    i_ = i;
    j_ = j;
}

}  // namespace ombrak::ciphers
