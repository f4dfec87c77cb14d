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
#include <optional>
#include <string_view>

#include "ombrak/ciphers/block.h"
#include "ombrak/encoding/base64.h"
#include "ombrak/encoding/base64_class.h"
#include "ombrak/frame/components.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/files.h"
#include "ombrak/frame/platform.h"
#include "ombrak/frame/progress.h"
#include "ombrak/frame/text.h"

namespace ombrak {

/// How a decryption of an envelope ended.
enum class DecryptStatus {
    Ok,         // trimmed to the data
    Partial,    // not a whole number of blocks: whole blocks decrypted, the tail left
    SizeError,  // the size descriptor failed its check: left untrimmed (nothing written)
    Failed,     // a progress notification failed: decrypted up to that block
};

/// Progress at most once per percent over positions in units of `Unit` bytes (a cipher block,
/// or one byte for a stream cipher). Percent and NextAt start at 0 for each operation; a step
/// at position o notifies when o has reached NextAt, with Percent = floor(o / total * 100) and
/// NextAt = (Percent + 1) / 100 * total + 1 rounded to even, both in double precision.
template <std::size_t Unit>
struct PercentSteps {
    std::int32_t percent = 0;
    std::int64_t next_at = 0;

    /// The first position from o whose step will notify.
    std::uint64_t next_stop(std::uint64_t o) const {
        const std::int64_t b = static_cast<std::int64_t>(Unit);
        const std::int64_t due = std::max<std::int64_t>((next_at + b - 1) / b * b, 0);
        return std::max<std::uint64_t>(o, static_cast<std::uint64_t>(due));
    }

    /// Runs op(position, units) over [from, to) and takes the step of each unit that is due,
    /// right after that unit, so op runs from one notification to the next in one call.
    /// notify(percent) gets the counter by reference: what it writes there stays.
    template <class Op, class Notify>
    void run(std::uint64_t from, std::uint64_t to, std::uint64_t total, Op&& op, Notify&& notify) {
        for (std::uint64_t o = from; o < to;) {
            const std::uint64_t stop = next_stop(o), end = std::min(stop + Unit, to);
            op(o, static_cast<std::size_t>((end - o) / Unit));
            o = end;
            if (stop < to && static_cast<std::int64_t>(stop) >= next_at) {
                percent = static_cast<std::int32_t>(
                    std::floor(static_cast<double>(stop) / static_cast<double>(total) * 100.0));
                next_at = static_cast<std::int64_t>(
                    std::nearbyint((percent + 1) / 100.0 * static_cast<double>(total) + 1));
                notify(percent);
            }
        }
    }
};

/// Writes one piece of an output, raw or in the library's Base64 layout. Every piece but the
/// last must be a multiple of 57 bytes; `total` is the length of the whole output, which a
/// single line (57 bytes or fewer) needs to be laid out.
void write_piece(files::Sink& out, std::span<const std::uint8_t> piece, std::uint64_t total,
                 bool base64, std::string& scratch);

/// The two early returns of the file operations: no input, or an output not to overwrite.
inline bool file_operation_allowed(const std::string& in, const std::string& out, bool overwrite) {
    return files::file_length_readable(in) && (overwrite || !files::file_length_readable(out));
}

/// How a file operation ended.
enum class FileOutcome { Refused, Failed, Written };

/// The shape of the file operations that return false on failure: the two early returns (no
/// input, or an output not to overwrite: Refused, nothing touched), then run(input, output)
/// streams into a replacement of the output, committed only when run returns true. Every
/// failure inside is swallowed (Failed) and leaves the destination as it was.
template <class Run>
FileOutcome file_operation(const Text& in_file, const Text& out_file, bool overwrite, Run&& run) {
    CodePageScope code_page;
    const std::string in = native_path(in_file), out = native_path(out_file);
    if (!file_operation_allowed(in, out, overwrite)) return FileOutcome::Refused;
    bool written = false;
    swallow([&] {
        auto input = files::Input::open(in);
        if (!input) raise_runtime(RuntimeError::FileAccess);
        files::ReplacingFile output(out);
        if (!run(*input, output)) return;
        output.commit();
        written = true;
    });
    return written ? FileOutcome::Written : FileOutcome::Failed;
}

/// The envelope itself, for callers that need more than the host operations tell (the tool
/// streams files through it and reports why a decryption failed).
class EnvelopeCipher {
  public:
    virtual ~EnvelopeCipher() = default;
    /// Sets the key as the Key property does.
    virtual void set_key(const Text& key) = 0;
    virtual void encrypt_envelope(Bytes& bytes) = 0;
    virtual DecryptStatus decrypt_envelope(Bytes& bytes) = 0;
    /// Writes the envelope of the input's bytes to out, raw or in the library's Base64 layout,
    /// piece by piece. The input's size must be known. Raises error 6 when the input is longer
    /// than max_data_length(), 75 when reading or writing fails, and the error of a failing
    /// progress notification.
    virtual void encrypt_stream(files::Input& in, files::Sink& out, bool base64) = 0;
    /// Decrypts the envelope the input holds (raw bytes, or Base64 text read by the lenient
    /// rules and the ANSI code page) and writes its data to out, piece by piece. `total` is
    /// envelope_length() of the input. The size descriptor is checked first: unless it passes,
    /// nothing is written and no progress is notified. A failing final notification does not
    /// fail the decryption. Raises error 75 when reading or writing fails.
    virtual DecryptStatus decrypt_stream(files::Input& in, std::uint64_t total, bool base64,
                                         files::Sink& out) = 0;
    virtual std::size_t block_size() const = 0;

    /// The longest data an envelope holds: its length must fit the 32-bit size descriptor.
    std::uint64_t max_data_length() const { return INT32_MAX / block_size() * block_size() - 12; }
    /// The longest envelope whose size check can pass.
    std::uint64_t max_envelope_length() const {
        return std::uint64_t{INT32_MAX} + 11 + block_size();
    }
};

/// The length of the envelope an input holds: its size, or for Base64 text the length of the
/// bytes it decodes to (a counting pass; the input is rewound). Raises error 5 when Base64 text
/// holds no data character, 75 when reading fails.
std::uint64_t envelope_length(files::Input& in, bool base64);

/// Reads the bytes of an envelope from an input holding it raw or as Base64 text (lenient rules,
/// bytes read as characters of the ANSI code page in force when it is made).
class EnvelopeReader {
  public:
    EnvelopeReader(files::Input& in, bool base64);
    /// n bytes, fewer only at the end.
    std::size_t read(std::uint8_t* p, std::size_t n);

  private:
    files::Input& in_;
    bool base64_;
    encoding::Base64Decoder decoder_;
    std::uint8_t high_values_[128];
    Bytes text_, decoded_;
    std::size_t at_ = 0, end_ = 0;
    bool ended_ = false;
};

template <class Derived, class Kernel>
class Envelope : public ProgressObject<std::int32_t>,
                 public Base64Members<Derived>,
                 public EnvelopeCipher {
  public:
    void set_key(const Text& key) override { self().Key(key); }
    std::size_t block_size() const override { return kBlock; }

    static constexpr std::size_t kBlock = Kernel::kBlockSize;
    static_assert(files::kPiece % kBlock == 0);

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
        CodePageScope code_page;
        Bytes bytes = ansi_from_text(text);
        EncryptByte(bytes, key);
        Text result = ansi_to_text(bytes);
        if (output_in_64) result = encode64(result);
        clear_arguments(text, key);
        return result;
    }

    Text DecryptString(Text& text, Text& key, bool& is_text_in_64) {
        CodePageScope code_page;
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
        const FileOutcome outcome = file_operation(
            in_file, out_file, overwrite, [&](files::Input& input, files::Sink& output) {
                const std::uint64_t total = envelope_length(input, is_file_in_64);
                if (!key.empty()) self().Key(key);
                // Nothing is written unless the envelope decrypted and passed its size check.
                return decrypt_stream(input, total, is_file_in_64, output) == DecryptStatus::Ok;
            });
        if (outcome != FileOutcome::Refused) clear_arguments(key, in_file, out_file);
        return outcome == FileOutcome::Written;
    }

    /// The envelope's decryption, with how it ended (DecryptByte discards the status).
    DecryptStatus decrypt_envelope(Bytes& a) override {
        require_key();
        const std::size_t total = a.size(), whole = total / kBlock * kBlock;
        Steps steps;
        std::uint8_t chain[kBlock] = {};
        try {
            run(steps, 0, whole, total, decrypt_at(a.data(), 0, chain));
        } catch (...) {
            return DecryptStatus::Failed;
        }
        if (whole != total) return DecryptStatus::Partial;
        auto size = checked_size(a.data(), total);
        if (!size) return DecryptStatus::SizeError;
        std::memmove(a.data(), a.data() + 12, *size);
        a.resize(*size);
        try {
            finish(steps);
        } catch (...) {
            return DecryptStatus::Failed;
        }
        return DecryptStatus::Ok;
    }

    /// The envelope's encryption in place.
    void encrypt_envelope(Bytes& a) override {
        require_key();
        const std::uint64_t length = a.size(), total = envelope_total(length);
        a.resize(static_cast<std::size_t>(total));
        std::memmove(a.data() + 12, a.data(), static_cast<std::size_t>(length));
        put_header(a.data(), length);
        Steps steps;
        std::uint8_t chain[kBlock] = {};
        run(steps, 0, total, total, encrypt_at(a.data(), 0, chain));
        finish(steps);
    }

    void encrypt_stream(files::Input& in, files::Sink& out, bool base64) override {
        require_key();
        if (!in.size()) raise_runtime(RuntimeError::FileAccess);
        const std::uint64_t length = *in.size(), total = envelope_total(length);
        Bytes piece(static_cast<std::size_t>(std::min<std::uint64_t>(files::kPiece, total)));
        std::string text;
        Steps steps;
        std::uint8_t chain[kBlock] = {};
        for (std::uint64_t o = 0; o < total;) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(files::kPiece, total - o));
            std::size_t at = 0;
            if (o == 0) {
                put_header(piece.data(), length);
                at = 12;
            }
            // Data fills the envelope from offset 12 to 12 + length, zeros pad the rest.
            const std::uint64_t data_end = std::min<std::uint64_t>(o + n, 12 + length);
            if (o + at < data_end) {
                const std::size_t want = static_cast<std::size_t>(data_end - o - at);
                if (in.read(piece.data() + at, want) != want)
                    raise_runtime(RuntimeError::FileAccess);  // the file shrank while read
                at += want;
            }
            std::memset(piece.data() + at, 0, n - at);
            run(steps, o, o + n, total, encrypt_at(piece.data(), o, chain));
            write_piece(out, std::span(piece.data(), n), total, base64, text);
            o += n;
        }
        finish(steps);
    }

    DecryptStatus decrypt_stream(files::Input& in, std::uint64_t total, bool base64,
                                 files::Sink& out) override {
        require_key();
        const std::uint64_t whole = total / kBlock * kBlock;
        Steps steps;
        if (whole != total) {
            // The blocks are not looked at: only the progress they would report.
            try {
                run(steps, 0, whole, total, [](std::uint64_t, std::size_t) {});
            } catch (...) {
                return DecryptStatus::Failed;
            }
            return DecryptStatus::Partial;
        }
        if (total < 16) return DecryptStatus::SizeError;  // no size descriptor
        EnvelopeReader reader(in, base64);
        Bytes piece(static_cast<std::size_t>(std::min<std::uint64_t>(files::kPiece, total)));
        std::size_t n = reader.read(piece.data(), piece.size());
        if (n != piece.size()) raise_runtime(RuntimeError::FileAccess);
        // The size descriptor, from a decrypted copy of the first 16 bytes.
        std::uint8_t head[16], chain[kBlock] = {};
        std::memcpy(head, piece.data(), 16);
        kernel_.cbc_decrypt(head, 16 / kBlock, chain);
        auto size = checked_size(head, total);
        ciphers::wipe(head, sizeof head);
        if (!size) return DecryptStatus::SizeError;
        std::memset(chain, 0, sizeof chain);
        for (std::uint64_t o = 0;;) {
            try {
                run(steps, o, o + n, total, decrypt_at(piece.data(), o, chain));
            } catch (...) {
                return DecryptStatus::Failed;
            }
            // Keep the data: envelope offsets 12 to 12 + size.
            const std::uint64_t from = std::max<std::uint64_t>(o, 12),
                                to = std::min<std::uint64_t>(o + n, 12 + *size);
            if (from < to)
                out.write(
                    std::span(piece.data() + (from - o), static_cast<std::size_t>(to - from)));
            o += n;
            if (o == total) break;
            n = static_cast<std::size_t>(std::min<std::uint64_t>(files::kPiece, total - o));
            if (reader.read(piece.data(), n) != n) raise_runtime(RuntimeError::FileAccess);
        }
        // The data is whole and checked: a failing last notification does not undo it.
        try {
            finish(steps);
        } catch (...) {
        }
        return DecryptStatus::Ok;
    }

  protected:
    Kernel kernel_;

  private:
    Derived& self() { return static_cast<Derived&>(*this); }

    // A kernel that starts without a key (it has keyed()) refuses every block until one is set:
    // error 9, before anything is touched.
    void require_key() const {
        if constexpr (requires { kernel_.keyed(); })
            if (!kernel_.keyed()) raise_runtime(RuntimeError::SubscriptOutOfRange);
    }

    static std::uint32_t get_le32(const std::uint8_t* p) {
        return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    static void put_le32(std::uint8_t* p, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }

    // The envelope's length for data of `length` bytes; error 6 when the size descriptor and
    // the host's 32-bit array bounds cannot hold it.
    static std::uint64_t envelope_total(std::uint64_t length) {
        const std::uint64_t total = (length + 12 + kBlock - 1) / kBlock * kBlock;
        if (total > static_cast<std::uint64_t>(INT32_MAX)) raise_runtime(RuntimeError::Overflow);
        return total;
    }

    static void put_header(std::uint8_t* p, std::uint64_t length) {
        put_le32(p, envelope_random31());
        put_le32(p + 4, envelope_random31());
        put_le32(p + 8, static_cast<std::uint32_t>(length));
    }

    // The size descriptor of a decrypted envelope of `total` bytes (its first 12 bytes at p),
    // when it passes the check. Computed in 64 bits, and a negative descriptor fails too: -1
    // would otherwise pass the distance check and ask for a move of -1 bytes.
    static std::optional<std::size_t> checked_size(const std::uint8_t* p, std::uint64_t total) {
        if (total < 12) return std::nullopt;
        const std::int32_t size = static_cast<std::int32_t>(get_le32(p + 8));
        const std::int64_t spare = static_cast<std::int64_t>(total) - size;
        if (size < 0 || spare < 12 || spare > static_cast<std::int64_t>(11 + kBlock))
            return std::nullopt;
        return static_cast<std::size_t>(size);
    }

    // The kernel in CBC over the blocks at an envelope offset, held at `data` from offset `base`.
    auto encrypt_at(std::uint8_t* data, std::uint64_t base, std::uint8_t* chain) {
        return [=, this](std::uint64_t o, std::size_t blocks) {
            kernel_.cbc_encrypt(data + (o - base), blocks, chain);
        };
    }
    auto decrypt_at(std::uint8_t* data, std::uint64_t base, std::uint8_t* chain) {
        return [=, this](std::uint64_t o, std::size_t blocks) {
            kernel_.cbc_decrypt(data + (o - base), blocks, chain);
        };
    }

    template <class... T>
    static void clear_arguments(T&... args) {
        if constexpr (Derived::kClearsArguments) (args.clear(), ...);
    }

    using Steps = PercentSteps<kBlock>;

    // Runs op(offset, blocks) over the blocks at envelope offsets [from, to), notifying the
    // steps that are due.
    template <class Op>
    void run(Steps& s, std::uint64_t from, std::uint64_t to, std::uint64_t total, Op&& op) {
        s.run(from, to, total, op, [this](std::int32_t& p) { notify(p); });
    }

    void finish(Steps& s) {
        if (s.percent != 100) notify_done();
    }

    bool encrypt_file(Text& in_file, Text& out_file, bool overwrite, Text& key, bool output_in_64) {
        CodePageScope code_page;
        const std::string in = native_path(in_file), out = native_path(out_file);
        if (!file_operation_allowed(in, out, overwrite)) return false;
        auto input = files::Input::open(in);
        if (!input) raise_runtime(RuntimeError::FileAccess);
        if (!key.empty()) self().Key(key);
        require_key();
        envelope_total(*input->size());  // errors 9 and 6 before anything is written
        files::ReplacingFile output(out);
        encrypt_stream(*input, output, output_in_64);
        output.commit();
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
        else if (name == "Key let") {
            if constexpr (requires { C::key_member(); })
                out.push_back(C::key_member());
            else
                out.push_back(let<&C::Key, C>("Key", {arg("Key")}));
        } else if (name == "EncryptByte")
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
