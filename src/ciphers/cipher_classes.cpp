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

namespace ombrak {

void clsKvVeskEncDecGostA::Key(const Text& value) {
    if (value == key_text_) return;
    // Key byte i is byte i mod n of the text: with no character there is nothing to cycle.
    if (value.empty()) raise_runtime(RuntimeError::DivisionByZero);
    const std::size_t n = value.size();
    Bytes bytes = ansi_from_text(value);
    if (bytes.size() < std::min<std::size_t>(n, 32)) {
        ciphers::wipe(bytes.data(), bytes.size());
        raise_runtime(RuntimeError::SubscriptOutOfRange);
    }
    std::uint8_t key[32];
    for (std::size_t i = 0; i < 32; ++i) key[i] = bytes[i % n];
    kernel_.set_key(key);
    ciphers::wipe(key, sizeof key);
    ciphers::wipe(bytes.data(), bytes.size());
    key_text_ = value;
}

const ClassInfo& clsKvVeskEncDecGostA::info() {
    static const ClassInfo k = envelope_class_info<clsKvVeskEncDecGostA>(
        "clsKvVeskEncDecGostA", "czVeskEncDecGost_Progress",
        {"BuddyObject get", "BuddyObject set", "Decode64", "DecodeArray64", "Encode64",
         "EncodeArray64", "EncryptFile", "DecryptFile", "DecryptString", "EncryptString",
         "EncryptByte", "DecryptByte", "Key let"});
    return k;
}

void clsKvVeskEncDec2FishA::Key(std::int32_t min_key_length, const Text& value) {
    std::int64_t bits = 8 * static_cast<std::int64_t>(value.size());
    Bytes bytes = ansi_from_text(value);
    if (bits < min_key_length) {
        // Cut or zero-extended to the minimum's bytes; only the first 32 can ever count.
        bytes.resize(std::min<std::size_t>(static_cast<std::size_t>(min_key_length / 8), 32));
        bits = min_key_length;
    }
    // Keys of 32 bits or less take the 64-bit form, zero-extended: a 32-bit class has no key
    // words to fill and would ignore the key.
    const std::size_t length = bits > 192 ? 32 : bits > 128 ? 24 : bits > 64 ? 16 : 8;
    bytes.resize(std::max(bytes.size(), length));
    kernel_.set_key(bytes.data(), length);
    ciphers::wipe(bytes.data(), bytes.size());
}

MemberInfo clsKvVeskEncDec2FishA::key_member() {
    using namespace binding;
    using C = clsKvVeskEncDec2FishA;
    return let<static_cast<void (C::*)(std::int32_t, const Text&)>(&C::Key), C>(
        "Key",
        {opt_enum("MinKeyLength", "TWOFISHKEYLENGTH", Variant(std::int32_t{0})), arg("Key")});
}

const ClassInfo& clsKvVeskEncDec2FishA::info() {
    static const ClassInfo k = [] {
        ClassInfo c = envelope_class_info<clsKvVeskEncDec2FishA>(
            "clsKvVeskEncDec2FishA", "czVeskEncDec2Fish_Progress",
            {"BuddyObject get", "BuddyObject set", "Decode64", "DecodeArray64", "Encode64",
             "EncodeArray64", "EncryptFile", "DecryptFile", "EncryptString", "DecryptString",
             "Key let", "EncryptByte", "DecryptByte"});
        c.enums.push_back(EnumInfo{"TWOFISHKEYLENGTH",
                                   {{"TWOFISH_256", TWOFISH_256},
                                    {"TWOFISH_196", TWOFISH_196},
                                    {"TWOFISH_128", TWOFISH_128},
                                    {"TWOFISH_64", TWOFISH_64}}});
        return c;
    }();
    return k;
}

}  // namespace ombrak
