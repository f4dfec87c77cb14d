// The ciphertext envelope shared by the block cipher classes: eight random bytes, a 32-bit size
// descriptor and the data, zero-padded to whole blocks and encrypted in CBC with a zero initial
// vector; the byte, string and file operations built on it; progress at most once per percent.
//
// A class derives from Envelope<Class, Kernel> and provides:
//   static constexpr const char* kSizeError;   // description of the size error
//   static constexpr bool kClearsArguments;    // string and file operations empty the caller's
//                                              // arguments and EncryptFile raises its failures
//   void Key(const Text& value);               // the key schedule
#pragma once

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "ombrak/encoding/base64.h"
#include "ombrak/encoding/base64_class.h"
#include "ombrak/frame/components.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/platform.h"
#include "ombrak/frame/progress.h"
#include "ombrak/frame/text.h"

namespace ombrak {

/// How a decryption of an envelope ended.
enum class DecryptStatus {
    Ok,         // trimmed to the data
    Partial,    // not a whole number of blocks: whole blocks decrypted, the tail left
    SizeError,  // decrypted in full, the size descriptor failed its check: left untrimmed
    Failed,     // a progress notification failed: decrypted up to that block
};

/// The envelope itself, for callers that need more than the host operations tell (the tool
/// reports why a decryption failed).
class EnvelopeCipher {
  public:
    virtual ~EnvelopeCipher() = default;
    /// Sets the key as the Key property does.
    virtual void set_key(const Text& key) = 0;
    virtual void encrypt_envelope(Bytes& bytes) = 0;
    virtual DecryptStatus decrypt_envelope(Bytes& bytes) = 0;
    virtual std::size_t block_size() const = 0;
};

template <class Derived, class Kernel>
class Envelope : public ProgressObject<std::int32_t>,
                 public Base64Members<Derived>,
                 public EnvelopeCipher {
  public:
    void set_key(const Text& key) override { self().Key(key); }
    std::size_t block_size() const override { return kBlock; }

    static constexpr std::size_t kBlock = Kernel::kBlockSize;

    /// Replaces the array by its envelope, encrypted. Raises every failure.
    void EncryptByte(Bytes& bytes, Text& key) {
        if (!key.empty()) self().Key(key);
        encrypt_envelope(bytes);
    }

    /// Replaces the array by the data of its envelope. Never raises: on a failure the array is
    /// left as far as decryption got.
    void DecryptByte(Bytes& bytes, Text& key) noexcept {
        swallow([&] {
            if (!key.empty()) self().Key(key);
            decrypt_envelope(bytes);
        });
    }

    Text EncryptString(Text& text, Text& key, bool& output_in_64) {
        Bytes bytes = ansi_from_text(text);
        EncryptByte(bytes, key);
        Text result = ansi_to_text(bytes);
        if (output_in_64) result = encode64(result);
        clear_arguments(text, key);
        return result;
    }

    Text DecryptString(Text& text, Text& key, bool& is_text_in_64) {
        if (is_text_in_64) text = decode64(text);
        Bytes bytes = ansi_from_text(text);
        DecryptByte(bytes, key);
        Text result = ansi_to_text(bytes);
        clear_arguments(text, key);
        return result;
    }

    bool EncryptFile(Text& in_file, Text& out_file, bool& overwrite, Text& key,
                     bool& output_in_64) {
        if constexpr (Derived::kClearsArguments) {
            // Raises its failures; clears the caller's arguments once the file is written.
            if (!encrypt_file(in_file, out_file, overwrite, key, output_in_64)) return false;
            clear_arguments(key, in_file, out_file);
            return true;
        } else {
            bool written = false;
            swallow(
                [&] { written = encrypt_file(in_file, out_file, overwrite, key, output_in_64); });
            return written;
        }
    }

    bool DecryptFile(Text& in_file, Text& out_file, bool& overwrite, Text& key,
                     bool& is_file_in_64) {
        const std::string in = native_path(in_file), out = native_path(out_file);
        if (!files_allowed(in, out, overwrite)) return false;
        bool written = false;
        swallow([&] {
            auto data = read_whole_file(in);
            if (!data) raise_runtime(RuntimeError::FileAccess);
            if (is_file_in_64) *data = decode_array64(ansi_to_text(*data));
            if (!key.empty()) self().Key(key);
            // Nothing is written unless the envelope decrypted and passed its size check.
            if (decrypt_envelope(*data) != DecryptStatus::Ok) return;
            written = write_file_replacing(out, *data);
        });
        clear_arguments(key, in_file, out_file);
        return written;
    }

    /// The envelope's decryption, with how it ended (DecryptByte discards the status).
    DecryptStatus decrypt_envelope(Bytes& a) override {
        const std::size_t total = a.size(), whole = total / kBlock * kBlock;
        Steps steps;
        std::uint8_t chain[kBlock] = {};
        try {
            for (std::size_t o = 0; o < whole;) {
                std::size_t stop = steps.next_stop(o), end = std::min(stop + kBlock, whole);
                kernel_.cbc_decrypt(a.data() + o, (end - o) / kBlock, chain);
                o = end;
                if (stop < whole) step(steps, stop, total);
            }
        } catch (...) {
            return DecryptStatus::Failed;
        }
        if (whole != total) return DecryptStatus::Partial;
        if (total < 12) return DecryptStatus::SizeError;
        const std::int32_t size = static_cast<std::int32_t>(get_le32(a.data() + 8));
        // Computed in 64 bits, and a negative descriptor fails too: -1 would otherwise pass the
        // distance check and ask for a move of -1 bytes.
        std::int64_t spare = static_cast<std::int64_t>(total) - size;
        if (size < 0 || spare < 12 || spare > static_cast<std::int64_t>(11 + kBlock))
            return DecryptStatus::SizeError;
        std::memmove(a.data(), a.data() + 12, static_cast<std::size_t>(size));
        a.resize(static_cast<std::size_t>(size));
        try {
            finish(steps);
        } catch (...) {
            return DecryptStatus::Failed;
        }
        return DecryptStatus::Ok;
    }

    /// The envelope's encryption in place.
    void encrypt_envelope(Bytes& a) override {
        const std::uint64_t length = a.size();
        const std::uint64_t total = (length + 12 + kBlock - 1) / kBlock * kBlock;
        // The size descriptor and the host's array bounds are 32-bit.
        if (total > static_cast<std::uint64_t>(INT32_MAX)) raise_runtime(RuntimeError::Overflow);
        a.resize(static_cast<std::size_t>(total));
        std::memmove(a.data() + 12, a.data(), static_cast<std::size_t>(length));
        put_le32(a.data() + 8, static_cast<std::uint32_t>(length));
        put_le32(a.data(), envelope_random31());
        put_le32(a.data() + 4, envelope_random31());
        Steps steps;
        std::uint8_t chain[kBlock] = {};
        for (std::size_t o = 0; o < total;) {
            std::size_t stop = steps.next_stop(o),
                        end = std::min<std::size_t>(stop + kBlock, total);
            kernel_.cbc_encrypt(a.data() + o, (end - o) / kBlock, chain);
            o = end;
            if (stop < total) step(steps, stop, total);
        }
        finish(steps);
    }

  protected:
    Kernel kernel_;

  private:
    Derived& self() { return static_cast<Derived&>(*this); }

    static std::uint32_t get_le32(const std::uint8_t* p) {
        return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    static void put_le32(std::uint8_t* p, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }

    template <class... T>
    static void clear_arguments(T&... args) {
        if constexpr (Derived::kClearsArguments) (args.clear(), ...);
    }

    // Progress: Percent and NextAt start at 0 for each operation; a step at block offset o
    // notifies when o has reached NextAt, so at most once per percent.
    struct Steps {
        std::int32_t percent = 0;
        std::int64_t next_at = 0;
        // The first block offset from o whose step will notify.
        std::size_t next_stop(std::size_t o) const {
            std::int64_t due = (next_at + static_cast<std::int64_t>(kBlock) - 1) /
                               static_cast<std::int64_t>(kBlock) *
                               static_cast<std::int64_t>(kBlock);
            return std::max<std::size_t>(o,
                                         static_cast<std::size_t>(std::max<std::int64_t>(due, 0)));
        }
    };

    void step(Steps& s, std::size_t o, std::size_t total) {
        if (static_cast<std::int64_t>(o) < s.next_at) return;
        s.percent = static_cast<std::int32_t>(
            std::floor(static_cast<double>(o) / static_cast<double>(total) * 100.0));
        s.next_at = static_cast<std::int64_t>(
            std::nearbyint((s.percent + 1) / 100.0 * static_cast<double>(total) + 1));
        notify(s.percent);
    }

    void finish(Steps& s) {
        if (s.percent != 100) notify_done();
    }

    // The two early returns of the file operations: no input, or an output not to overwrite.
    static bool files_allowed(const std::string& in, const std::string& out, bool overwrite) {
        return file_length_readable(in) && (overwrite || !file_length_readable(out));
    }

    bool encrypt_file(Text& in_file, Text& out_file, bool overwrite, Text& key, bool output_in_64) {
        const std::string in = native_path(in_file), out = native_path(out_file);
        if (!files_allowed(in, out, overwrite)) return false;
        auto data = read_whole_file(in);
        if (!data) raise_runtime(RuntimeError::FileAccess);
        EncryptByte(*data, key);
        bool ok;
        if (output_in_64) {
            std::string text = encoding::base64_encode_lines(*data);
            ok = write_file_replacing(
                out, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
        } else {
            ok = write_file_replacing(out, *data);
        }
        if (!ok) raise_runtime(RuntimeError::FileAccess);
        return true;
    }
};

/// Member-table lines of an envelope class, in the order the class lists them: "BuddyObject get",
/// "BuddyObject set", "Key let", an operation's name, or one of the four Base64 operations.
template <class C>
std::vector<MemberInfo> envelope_members(std::initializer_list<std::string_view> order) {
    using namespace binding;
    using E = Envelope<C, typename C::KernelType>;
    std::vector<MemberInfo> base64 = base64_members<C>();
    std::vector<MemberInfo> out;
    for (std::string_view name : order) {
        if (name == "BuddyObject get")
            out.push_back(buddy_get<C, std::int32_t>());
        else if (name == "BuddyObject set")
            out.push_back(buddy_set<C, std::int32_t>());
        else if (name == "Key let")
            out.push_back(let<&C::Key, C>("Key", {arg("Key")}));
        else if (name == "EncryptByte")
            out.push_back(
                method<&E::EncryptByte, C>("EncryptByte", {arg("byteArray"), opt("Key")}));
        else if (name == "DecryptByte")
            out.push_back(
                method<&E::DecryptByte, C>("DecryptByte", {arg("byteArray"), opt("Key")}));
        else if (name == "EncryptString")
            out.push_back(method<&E::EncryptString, C>(
                "EncryptString", {arg("Text"), opt("Key"), opt("OutputIn64")}));
        else if (name == "DecryptString")
            out.push_back(method<&E::DecryptString, C>(
                "DecryptString", {arg("Text"), opt("Key"), opt("IsTextIn64")}));
        else if (name == "EncryptFile")
            out.push_back(method<&E::EncryptFile, C>(
                "EncryptFile",
                {arg("InFile"), arg("OutFile"), arg("Overwrite"), opt("Key"), opt("OutputIn64")}));
        else if (name == "DecryptFile")
            out.push_back(method<&E::DecryptFile, C>(
                "DecryptFile",
                {arg("InFile"), arg("OutFile"), arg("Overwrite"), opt("Key"), opt("IsFileIn64")}));
        else
            for (const auto& m : base64)
                if (m.name == name) out.push_back(m);
    }
    return out;
}

/// The class description of an envelope class: its members in the given order and its Progress
/// event (32-bit Percent) with the buddy method's name.
template <class C>
ClassInfo envelope_class_info(const char* name, const char* buddy_method,
                              std::initializer_list<std::string_view> order) {
    return ClassInfo{name, envelope_members<C>(order),
                     EventInfo{"Progress", "Percent", DeclType::I32, buddy_method}};
}

}  // namespace ombrak
