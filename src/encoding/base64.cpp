// Base64 kernel: table-driven, one pass, no per-character allocation.
#include "ombrak/encoding/base64.h"

#include <array>
#include <cstring>

namespace ombrak::encoding {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Twelve input bits give two output characters with one lookup.
template <class Pair>
constexpr std::array<Pair, 4096> make_pairs(int shift) {
    std::array<Pair, 4096> t{};
    for (int i = 0; i < 4096; ++i) {
        Pair a = static_cast<unsigned char>(kAlphabet[i >> 6]);
        Pair b = static_cast<unsigned char>(kAlphabet[i & 63]);
        t[i] = static_cast<Pair>(a | (b << shift));  // little-endian: first character first
    }
    return t;
}
constexpr auto kPairs8 = make_pairs<std::uint16_t>(8);
constexpr auto kPairs16 = make_pairs<std::uint32_t>(16);
static_assert(kPairs8[0] == ('A' | 'A' << 8) && kPairs8[4095] == ('/' | '/' << 8));

// Decoding values; kSpecial marks the characters the lenient rules remove ("=" and CR).
constexpr std::uint32_t kSpecial = 0x100;
constexpr std::array<std::uint32_t, 256> make_decode() {
    std::array<std::uint32_t, 256> t{};
    for (int v = 0; v < 64; ++v) t[static_cast<unsigned char>(kAlphabet[v])] = v;
    t['='] = kSpecial;
    t['\r'] = kSpecial;
    return t;
}
constexpr auto kDecode = make_decode();
static_assert(kDecode['/'] == 63 && kDecode['A'] == 0 && kDecode['z'] == 51);

template <class Char>
void store_pair(Char* out, std::uint32_t bits12) {
    if constexpr (sizeof(Char) == 1) std::memcpy(out, &kPairs8[bits12], 2);
    else std::memcpy(out, &kPairs16[bits12], 4);
}

// Encodes n bytes (any count) without line breaks.
template <class Char>
Char* encode_run(const std::uint8_t* in, std::size_t n, Char* out) {
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3, out += 4) {
        std::uint32_t v = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
        store_pair(out, v >> 12);
        store_pair(out + 2, v & 0xFFF);
    }
    if (n - i == 2) {
        std::uint32_t v = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8);
        store_pair(out, v >> 12);
        out[2] = static_cast<unsigned char>(kAlphabet[(v >> 6) & 63]);
        out[3] = '=';
        out += 4;
    } else if (n - i == 1) {
        out[0] = static_cast<unsigned char>(kAlphabet[in[i] >> 2]);
        out[1] = static_cast<unsigned char>(kAlphabet[(in[i] & 3) << 4]);
        out[2] = '=';
        out[3] = '=';
        out += 4;
    }
    return out;
}

// 57 input bytes make one line of 76 characters.
constexpr std::size_t kLineBytes = kBase64LineLength / 4 * 3;

template <class Char>
void encode_lines(std::span<const std::uint8_t> in, Char* out) {
    const std::size_t chars = base64_length(in.size());
    if (chars <= kBase64LineLength) {
        encode_run(in.data(), in.size(), out);
        return;
    }
    std::size_t i = 0;
    for (; i + kLineBytes <= in.size(); i += kLineBytes) {
        out = encode_run(in.data() + i, kLineBytes, out);
        *out++ = '\r';
        *out++ = '\n';
    }
    out = encode_run(in.data() + i, in.size() - i, out);
    // A padded last group can still complete a line of 76 characters: it ends in CR LF too.
    if (base64_length(in.size() - i) == kBase64LineLength) {
        *out++ = '\r';
        *out++ = '\n';
    }
}

template <class Char>
bool decode_lenient(const Char* in, std::size_t n, Bytes& out) {
    out.resize(n / 4 * 3 + 4);  // three bytes per four characters, plus room for a 4-byte store
    std::uint8_t* o = out.data();
    std::uint32_t acc = 0;
    int pending = 0;
    bool any = false;
    std::size_t i = 0;
    while (i < n) {
        // Fast path: a whole group of four plain characters at a group boundary.
        if (pending == 0 && i + 4 <= n) {
            std::uint32_t c0 = in[i], c1 = in[i + 1], c2 = in[i + 2], c3 = in[i + 3];
            if (sizeof(Char) == 1 || (c0 | c1 | c2 | c3) <= 0xFF) {
                std::uint32_t a = kDecode[c0], b = kDecode[c1], c = kDecode[c2], d = kDecode[c3];
                if (((a | b | c | d) & kSpecial) == 0) {
                    std::uint32_t v = (a << 26) | (b << 20) | (c << 14) | (d << 8);
                    v = __builtin_bswap32(v);
                    std::memcpy(o, &v, 4);
                    o += 3;
                    i += 4;
                    any = true;
                    continue;
                }
            }
        }
        std::uint32_t c = in[i];
        if (c == '\r' && i + 1 < n && in[i + 1] == '\n') {
            i += 2;
            continue;
        }
        ++i;
        if (c == '=') continue;
        any = true;
        acc = (acc << 6) | (kDecode[c & 0xFF] & 63);
        if (++pending == 4) {
            o[0] = static_cast<std::uint8_t>(acc >> 16);
            o[1] = static_cast<std::uint8_t>(acc >> 8);
            o[2] = static_cast<std::uint8_t>(acc);
            o += 3;
            pending = 0;
            acc = 0;
        }
    }
    if (pending == 3) {
        *o++ = static_cast<std::uint8_t>(acc >> 10);
        *o++ = static_cast<std::uint8_t>(acc >> 2);
    } else if (pending == 2) {
        *o++ = static_cast<std::uint8_t>(acc >> 4);
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    if (!any) out.clear();
    return any;
}

}  // namespace

std::size_t base64_lines_length(std::size_t n) noexcept {
    std::size_t chars = base64_length(n);
    if (chars <= kBase64LineLength) return chars;
    return chars + 2 * (chars / kBase64LineLength);
}

void base64_encode(std::span<const std::uint8_t> in, char* out) noexcept {
    encode_run(in.data(), in.size(), out);
}

std::string base64_encode_lines(std::span<const std::uint8_t> in) {
    std::string out(base64_lines_length(in.size()), '\0');
    encode_lines(in, out.data());
    return out;
}

Text base64_encode_lines_text(std::span<const std::uint8_t> in) {
    Text out(base64_lines_length(in.size()), u'\0');
    encode_lines(in, out.data());
    return out;
}

bool base64_decode_lenient(std::u16string_view in, Bytes& out) {
    return decode_lenient(in.data(), in.size(), out);
}

bool base64_decode_lenient(std::span<const std::uint8_t> in, Bytes& out) {
    return decode_lenient(in.data(), in.size(), out);
}

std::optional<Bytes> base64_decode_strict(std::span<const std::uint8_t> in) {
    std::string clean;
    clean.reserve(in.size());
    for (std::uint8_t c : in) {
        if (c == '\n' || c == '\r') continue;
        bool alphabet = c != '=' && (kDecode[c] != 0 || c == 'A');
        if (!alphabet && c != '=') return std::nullopt;
        clean.push_back(static_cast<char>(c));
    }
    if (clean.size() % 4 != 0) return std::nullopt;
    std::size_t pad = 0;
    while (pad < clean.size() && pad < 3 && clean[clean.size() - 1 - pad] == '=') ++pad;
    if (pad > 2 || clean.find('=') < clean.size() - pad) return std::nullopt;
    Bytes out;
    if (!clean.empty())
        decode_lenient(reinterpret_cast<const std::uint8_t*>(clean.data()), clean.size(), out);
    return out;
}

}  // namespace ombrak::encoding
