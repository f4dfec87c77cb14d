// RC4 kernel.
#include "ombrak/ciphers/rc4.h"

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
    std::uint32_t i = i_, j = j_;
    std::uint32_t* t = t_;
    for (std::size_t k = 0; k < n; ++k) {
        i = (i + 1) & 0xFF;
        const std::uint32_t a = t[i];
        j = (j + a) & 0xFF;
        const std::uint32_t b = t[j];
        t[i] = b;
        t[j] = a;
        data[k] ^= static_cast<std::uint8_t>(t[(a + b) & 0xFF]);
    }
    i_ = i;
    j_ = j;
}

}  // namespace ombrak::ciphers
