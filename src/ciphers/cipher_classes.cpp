// Key texts and member tables of the TEA, Blowfish and DES classes.
#include "ombrak/ciphers/classes.h"

namespace ombrak {

void clsKvVeskEncDecTeaA::Key(const Text& value) {
    Bytes bytes = ansi_from_text(value);
    bytes.resize(16);  // shorter keys are zero-padded, longer ones cut
    kernel_.set_key(bytes.data());
    ciphers::wipe(bytes.data(), bytes.size());
}

const ClassInfo& clsKvVeskEncDecTeaA::info() {
    static const ClassInfo k = envelope_class_info<clsKvVeskEncDecTeaA>(
        "clsKvVeskEncDecTeaA", "czVeskEncDecTea_Progress",
        {"BuddyObject get", "BuddyObject set", "Decode64", "DecodeArray64", "Encode64",
         "EncodeArray64", "EncryptFile", "DecryptFile", "EncryptString", "DecryptString",
         "EncryptByte", "DecryptByte", "Key let"});
    return k;
}

void clsKvVeskEncDecBlowFishA::Key(const Text& value) {
    if (value == key_text_) return;
    key_text_ = value;
    kernel_.reset();
    Bytes bytes = ansi_from_text(value);
    // The key bytes are read in a cycle of as many bytes as the text has characters; with no
    // character there is no first byte to read.
    if (value.empty() || bytes.size() < value.size())
        raise_runtime(RuntimeError::SubscriptOutOfRange);
    std::uint32_t words[18];
    ciphers::BlowfishKernel::pack_key(bytes.data(), value.size(), words);
    kernel_.expand(words);
    ciphers::wipe(words, sizeof words);
    ciphers::wipe(bytes.data(), bytes.size());
}

const ClassInfo& clsKvVeskEncDecBlowFishA::info() {
    static const ClassInfo k = envelope_class_info<clsKvVeskEncDecBlowFishA>(
        "clsKvVeskEncDecBlowFishA", "czVeskEncDecBlowFish_Progress",
        {"BuddyObject get", "BuddyObject set", "Decode64", "DecodeArray64", "Encode64",
         "EncodeArray64", "EncryptByte", "EncryptString", "DecryptString", "DecryptByte", "Key let",
         "EncryptFile", "DecryptFile"});
    return k;
}

void clsKvVeskEncDecDesA::Key(const Text& value) {
    if (value == key_text_) return;
    key_text_ = value;
    const std::size_t m = std::min<std::size_t>(value.size(), 8);
    Bytes bytes = ansi_from_text(value);
    if (bytes.size() < m) raise_runtime(RuntimeError::SubscriptOutOfRange);
    std::uint8_t key[8] = {};
    if (m) std::memcpy(key, bytes.data(), m);
    kernel_.set_key(key);
    ciphers::wipe(key, sizeof key);
    ciphers::wipe(bytes.data(), bytes.size());
}

const ClassInfo& clsKvVeskEncDecDesA::info() {
    static const ClassInfo k = envelope_class_info<clsKvVeskEncDecDesA>(
        "clsKvVeskEncDecDesA", "czVeskEncDecDES_Progress",
        {"BuddyObject get", "BuddyObject set", "Decode64", "DecodeArray64", "Encode64",
         "EncodeArray64", "EncryptByte", "DecryptByte", "EncryptFile", "DecryptFile",
         "EncryptString", "DecryptString", "Key let"});
    return k;
}

}  // namespace ombrak
