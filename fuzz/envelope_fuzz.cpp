// Envelope decryption of arbitrary ciphertexts under arbitrary keys, for every envelope cipher
// (TEA, Blowfish, DES, GOST, Twofish):
// the byte, string (raw and Base64) and file decryptions never raise what they must not, never
// grow their input and agree with each other; and through by-name calls an encryption always
// decrypts back, while a tampered or truncated ciphertext neither raises nor grows, and never
// makes a file operation write more than its input.
//
// Input: byte 0 picks the cipher (low bits), Base64 input (0x40) and the by-name property check
// (0x80); byte 1 is the key's length in UTF-16 units, which follow little-endian; the rest is
// the ciphertext (or, for the property check, the plaintext).
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <type_traits>

#include "keyed_input.h"
#include "ombrak/ciphers/classes.h"
#include "ombrak/frame/components.h"
#include "ombrak/frame/files.h"
#include "sandbox.h"

namespace {

using namespace ombrak;

[[noreturn]] void broken() {
    std::abort();
}

void write(const std::string& path, const Bytes& data) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
}

std::optional<Bytes> read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

// A new Twofish object has no key until one is set: its operations raise error 9.
template <class C>
bool keyless(const Text& key) {
    return std::is_same_v<C, clsKvVeskEncDec2FishA> && key.empty();
}

// The file decryption against the in-memory one on the same bytes.
template <class C>
void decrypt_file(const Bytes& file, const Text& key, bool base64) {
    const std::string in = fuzz::sandbox() + "/in", out = fuzz::sandbox() + "/out";
    write(in, file);
    std::remove(out.c_str());
    C cipher;
    Text i = utf8_to_text(in), o = utf8_to_text(out), k = key;
    bool yes = true, b64 = base64;
    const bool written = cipher.DecryptFile(i, o, yes, k, b64);

    // What the in-memory operations make of the same bytes.
    std::optional<Bytes> expected;
    try {
        Bytes envelope = base64 ? decode_array64(ansi_to_text(file)) : file;
        C reference;
        if (!key.empty()) reference.Key(key);
        if (reference.decrypt_envelope(envelope) == DecryptStatus::Ok) expected = envelope;
    } catch (const Error& e) {
        // Only Base64 text with no data fails, and a Twofish object that has no key yet.
        if (!(base64 && e.number() == 5) && !(keyless<C>(key) && e.number() == 9)) broken();
    }
    auto result = read(out);
    if (written != result.has_value()) broken();  // written exactly when it says so
    if (written != expected.has_value()) broken();
    if (written && (*result != *expected || result->size() > file.size())) broken();
}

template <class C>
void decrypt(const Bytes& data, const Text& key, bool base64) {
    C cipher;
    Bytes bytes = data;
    Text k = key;
    cipher.DecryptByte(bytes, k);  // never raises
    if (bytes.size() > data.size()) broken();

    Text text = ansi_to_text(data), k2 = key;
    bool b64 = base64;
    try {
        C fresh;
        Text plain = fresh.DecryptString(text, k2, b64);
        if (!base64 && plain.size() > data.size()) broken();
        if (keyless<C>(key) && plain != text) broken();  // given back as it came
    } catch (const Error& e) {
        if (!base64 || e.number() != 5) broken();
    }
    decrypt_file<C>(data, key, base64);
}

// By name, as a host calls: decrypt(encrypt(x)) = x; a tampered ciphertext neither raises nor
// grows; a file operation on it writes at most its input.
void property(const char* progid, const Bytes& data, const Text& key, bool keyless) {
    ObjectRef c = create_object(progid);
    Variant bytes(data), k(key);
    try {
        call(*c, "EncryptByte", bytes, k);
    } catch (const Error& e) {
        // Twofish without a key: error 9, and the array untouched.
        if (!keyless || e.number() != 9 || bytes.get<Bytes>() != data) broken();
        return;
    }
    if (keyless) broken();
    Bytes sealed = bytes.get<Bytes>();
    Variant k2(key);
    ObjectRef d = create_object(progid);
    call(*d, "DecryptByte", bytes, k2);
    if (bytes.get<Bytes>() != data) broken();

    Variant text(ansi_to_text(data)), k3(key), yes(true);
    Variant sealed_text = call(*c, "EncryptString", text, k3, yes);
    Variant k4(key);
    if (call(*d, "DecryptString", sealed_text, k4, yes) != Variant(ansi_to_text(data))) broken();

    if (sealed.empty()) return;
    Bytes tampered = sealed;
    tampered[data.size() % tampered.size()] ^= static_cast<std::uint8_t>(1 + data.size() % 255);
    tampered.resize(tampered.size() - data.size() % 9);
    Variant t(tampered), k5(key);
    call(*d, "DecryptByte", t, k5);
    if (t.get<Bytes>().size() > tampered.size()) broken();

    const std::string in = fuzz::sandbox() + "/tampered", out = fuzz::sandbox() + "/tampered.out";
    write(in, tampered);
    std::remove(out.c_str());
    Variant i(utf8_to_text(in)), o(utf8_to_text(out)), over(true), k6(key), raw(false);
    if (call(*d, "DecryptFile", i, o, over, k6, raw) == Variant(true)) {
        auto result = read(out);
        if (!result || result->size() > tampered.size()) broken();
    } else if (read(out)) {
        broken();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto input = fuzz::keyed_input(data, size);
    if (!input) return 0;
    const Text& key = input->key;
    const Bytes& rest = input->data;
    const std::uint8_t selector = input->selector;
    const bool base64 = selector & 0x40, by_name = selector & 0x80;

    static const char* const kProgIds[] = {
        "Ombrak10.clsKvVeskEncDecTeaA", "Ombrak10.clsKvVeskEncDecBlowFishA",
        "Ombrak10.clsKvVeskEncDecDesA", "Ombrak10.clsKvVeskEncDecGostA",
        "Ombrak10.clsKvVeskEncDec2FishA"};
    const std::size_t cipher = (selector & 0x3F) % std::size(kProgIds);
    if (by_name) {
        property(kProgIds[cipher], rest, key, cipher == 4 && key.empty());
        return 0;
    }
    switch (cipher) {
        case 0:
            decrypt<clsKvVeskEncDecTeaA>(rest, key, base64);
            break;
        case 1:
            decrypt<clsKvVeskEncDecBlowFishA>(rest, key, base64);
            break;
        case 2:
            decrypt<clsKvVeskEncDecDesA>(rest, key, base64);
            break;
        case 3:
            decrypt<clsKvVeskEncDecGostA>(rest, key, base64);
            break;
        default:
            decrypt<clsKvVeskEncDec2FishA>(rest, key, base64);
            break;
    }
    return 0;
}
