// The Serpent class: texts zero-padded to whole blocks, each block encrypted on its own.
#include <cmath>
#include <cstring>

#include "ombrak/ciphers/classes.h"

namespace ombrak {

void clsKvVeskEncDecSerpentA::set_key(const Text& key) {
    // One byte per character, the first 32 characters, zero-padded.
    Bytes bytes = ansi_from_text(Text(key.substr(0, 32)));
    bytes.resize(32);
    kernel_.set_key(bytes.data());
    ciphers::wipe(bytes.data(), bytes.size());
}

// After each block: a progress step with the block's Percent, then a turn of the host's event
// pump; a failure of either costs only that step. Nobody listening and no pump: the blocks
// run in one call.
template <class Op, class Percent>
void clsKvVeskEncDecSerpentA::blocks(std::size_t length, Op&& op, Percent&& percent) {
    for (std::size_t o = 0; o < length; o += 16) {
        if (!listened() && !event_pump_installed()) {
            op(o, (length - o + 15) / 16);
            return;
        }
        op(o, 1);
        std::int16_t p = percent(o);
        swallow([&] { notify(p); });
        swallow([] { pump_events(); });
    }
}

namespace {
// x / total * 100 rounded to the nearest integer, ties to even, at most 100.
std::int16_t rounded_percent(std::size_t x, std::size_t total) {
    const double p = std::nearbyint(static_cast<double>(x) / static_cast<double>(total) * 100.0);
    return static_cast<std::int16_t>(p > 100 ? 100 : p);
}
}  // namespace

namespace {

// Runs fn over [o, o + length) in chunks that fit a small buffer on the stack: the text is
// converted, transformed and converted back a few kilobytes at a time, without a byte copy of
// the whole text.
constexpr std::size_t kChunk = 4096;
template <class Fn>
void in_chunks(std::size_t o, std::size_t length, Fn&& fn) {
    for (std::size_t end = o + length; o < end;) {
        const std::size_t m = std::min(kChunk, end - o);
        fn(o, m);
        o += m;
    }
}

}  // namespace

Text clsKvVeskEncDecSerpentA::EncryptString(Text& text, Text& key, bool& output_in_64) {
    CodePageScope code_page;
    Text result;
    swallow([&] {
        const std::size_t n = text.size(), total = n == 0 ? 16 : (n + 15) / 16 * 16;
        set_key(key);
        result.reserve(total);
        std::uint8_t buffer[kChunk];
        char16_t chars[kChunk];
        blocks(
            total,
            [&](std::size_t o, std::size_t k) {
                in_chunks(o, 16 * k, [&](std::size_t at, std::size_t m) {
                    // The text's bytes, then the zero padding.
                    const std::size_t have = at < n ? std::min(m, n - at) : 0;
                    ansi_from_text(std::u16string_view(text).substr(at, have), buffer);
                    std::memset(buffer + have, 0, m - have);
                    kernel_.encrypt_ecb(buffer, m / 16);
                    ansi_to_text(std::span(buffer, m), chars);
                    result.append(chars, m);
                });
            },
            [&](std::size_t o) -> std::int16_t {
                return o == total - 16 ? 100 : rounded_percent(o, total);
            });
        ciphers::wipe(buffer, sizeof buffer);
    });
    if (output_in_64) swallow([&] { result = encode64(result); });
    return result;
}

Text clsKvVeskEncDecSerpentA::DecryptString(Text& text, Text& key, bool& is_text_in_64) {
    CodePageScope code_page;
    if (is_text_in_64) swallow([&] { text = decode64(text); });
    Text result;
    swallow([&] {
        const std::size_t total = text.size(), whole = total / 16 * 16;
        set_key(key);
        result.reserve(total);
        // A last partial block is completed by the bytes of the ciphertext block before it
        // (zeros for the first), and only its own bytes are kept.
        std::uint8_t tail[16] = {};
        if (whole != total) {
            if (whole) ansi_from_text(std::u16string_view(text).substr(whole - 16, 16), tail);
            ansi_from_text(std::u16string_view(text).substr(whole), tail);
        }
        std::uint8_t buffer[kChunk];
        char16_t chars[kChunk];
        blocks(
            total,
            [&](std::size_t o, std::size_t k) {
                const std::size_t full = std::min(k, (whole - std::min(o, whole)) / 16);
                in_chunks(o, 16 * full, [&](std::size_t at, std::size_t m) {
                    ansi_from_text(std::u16string_view(text).substr(at, m), buffer);
                    kernel_.decrypt_ecb(buffer, m / 16);
                    ansi_to_text(std::span(buffer, m), chars);
                    result.append(chars, m);
                });
                if (full < k) {
                    kernel_.decrypt_ecb(tail, 1);
                    ansi_to_text(std::span(tail, total - whole), chars);
                    result.append(chars, total - whole);
                }
            },
            [&](std::size_t o) { return rounded_percent(o, total); });
        ciphers::wipe(buffer, sizeof buffer);
        ciphers::wipe(tail, sizeof tail);
    });
    return result;
}

void clsKvVeskEncDecSerpentA::crypt_stream(const Text& key, bool decrypt, files::Input& in,
                                           std::uint64_t total, bool in_64, files::Sink& out,
                                           bool out_64) {
    CodePageScope code_page;
    set_key(key);
    // Encryption pads to whole blocks, and the empty text is one block of zeros.
    const std::uint64_t length = decrypt ? total : total == 0 ? 16 : (total + 15) / 16 * 16;
    EnvelopeReader reader(in, in_64);
    Bytes piece(static_cast<std::size_t>(
        std::clamp<std::uint64_t>((length + 15) / 16 * 16, 16, files::kPiece)));
    std::uint8_t previous[16] = {};  // the ciphertext block before a partial last one
    std::string scratch;
    PercentSteps<16> steps;
    for (std::uint64_t o = 0; o < length;) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(files::kPiece, length - o));
        const std::size_t data =
            static_cast<std::size_t>(std::min<std::uint64_t>(n, total > o ? total - o : 0));
        if (reader.read(piece.data(), data) != data) raise_runtime(RuntimeError::FileAccess);
        std::memset(piece.data() + data, 0, n - data);
        const std::size_t whole = n / 16, rest = n % 16;
        if (decrypt && rest) {
            if (whole) std::memcpy(previous, piece.data() + 16 * (whole - 1), 16);
            std::memcpy(piece.data() + 16 * whole + rest, previous + rest, 16 - rest);
        }
        if (decrypt && !rest) std::memcpy(previous, piece.data() + n - 16, 16);
        steps.run(
            o, o + 16 * (whole + (rest != 0)), length,
            [&](std::uint64_t at, std::size_t k) {
                if (decrypt)
                    kernel_.decrypt_ecb(piece.data() + (at - o), k);
                else
                    kernel_.encrypt_ecb(piece.data() + (at - o), k);
            },
            [this](std::int32_t& p) {
                std::int16_t q = static_cast<std::int16_t>(p);
                notify(q);
            });
        write_piece(out, std::span(piece.data(), n), length, out_64, scratch);
        o += n;
    }
    if (steps.percent != 100) notify_done();
}

const ClassInfo& clsKvVeskEncDecSerpentA::info() {
    using namespace binding;
    using C = clsKvVeskEncDecSerpentA;
    static const ClassInfo k = [] {
        std::vector<MemberInfo> members = {buddy_get<C, std::int16_t>(),
                                           buddy_set<C, std::int16_t>()};
        for (auto& m : base64_members<C>()) members.push_back(std::move(m));
        members.push_back(method<&C::EncryptString>("EncryptString",
                                                    {arg("Text"), opt("Key"), opt("OutputIn64")}));
        members.push_back(method<&C::DecryptString>("DecryptString",
                                                    {arg("Text"), opt("Key"), opt("IsTextIn64")}));
        return ClassInfo{
            "clsKvVeskEncDecSerpentA", std::move(members),
            EventInfo{"Progress", "Percent", DeclType::I16, "czVeskEncDecSerpent_Progress"}};
    }();
    return k;
}

}  // namespace ombrak
