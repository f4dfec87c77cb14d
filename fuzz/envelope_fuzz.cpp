// Envelope decryption of arbitrary bytes under each cipher: never raises, never reads or writes
// outside the array, and trims only to a length the size check allows.
#include <cstdint>
#include <cstdlib>

#include "ombrak/ciphers/classes.h"

template <class C>
void one(const std::uint8_t* data, std::size_t size) {
    C cipher;
    ombrak::Text key = size ? ombrak::Text(1, static_cast<char16_t>(data[0])) : ombrak::Text();
    ombrak::Bytes bytes(data, data + size);
    cipher.DecryptByte(bytes, key);
    if (bytes.size() > size) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    one<ombrak::clsKvVeskEncDecTeaA>(data, size);
    one<ombrak::clsKvVeskEncDecBlowFishA>(data, size);
    one<ombrak::clsKvVeskEncDecDesA>(data, size);
    return 0;
}
