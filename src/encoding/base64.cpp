// Base64 kernel: table-driven, one pass, no per-character allocation.
#include "ombrak/encoding/base64.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define OMBRAK_BASE64_SSSE3 1
#endif

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

#if OMBRAK_BASE64_SSSE3
// Twelve bytes at p (sixteen readable) to sixteen Base64 characters: spread each 3-byte group
// over a 32-bit lane, cut out the four 6-bit fields with two multiplies, and add to each field
// the offset of its character range, chosen by a byte shuffle.
__attribute__((target("ssse3"))) inline __m128i encode12(const std::uint8_t* p) {
    __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    in = _mm_shuffle_epi8(in, _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
    __m128i hi =
        _mm_mulhi_epu16(_mm_and_si128(in, _mm_set1_epi32(0x0FC0FC00)), _mm_set1_epi32(0x04000040));
    __m128i lo =
        _mm_mullo_epi16(_mm_and_si128(in, _mm_set1_epi32(0x003F03F0)), _mm_set1_epi32(0x01000010));
    __m128i idx = _mm_or_si128(hi, lo);
    // Range: 0 for 26..51, 1..12 for 52..63, 13 for 0..25.
    __m128i range = _mm_subs_epu8(idx, _mm_set1_epi8(51));
    range = _mm_or_si128(range,
                         _mm_and_si128(_mm_cmpgt_epi8(_mm_set1_epi8(26), idx), _mm_set1_epi8(13)));
    const __m128i offsets =
        _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                      '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
    return _mm_add_epi8(idx, _mm_shuffle_epi8(offsets, range));
}

template <class Char>
__attribute__((target("ssse3"))) inline void store16(Char* out, __m128i chars) {
    if constexpr (sizeof(Char) == 1) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chars);
    } else {
        __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(chars, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(chars, zero));
    }
}

// Sixteen characters to twelve bytes (sixteen written) when every one is in the alphabet;
// false, writing nothing, otherwise (the scalar path then applies the lenient rules).
template <class Char>
__attribute__((target("ssse3"))) inline bool decode16(const Char* in, std::uint8_t* out) {
    __m128i c;
    if constexpr (sizeof(Char) == 1) {
        c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    } else {
        // Units above 255 saturate to 0 or 255, neither of which is in the alphabet.
        c = _mm_packus_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8)));
    }
    auto in_range = [&](char lo, char hi) {
        return _mm_and_si128(_mm_cmpgt_epi8(c, _mm_set1_epi8(static_cast<char>(lo - 1))),
                             _mm_cmplt_epi8(c, _mm_set1_epi8(static_cast<char>(hi + 1))));
    };
    __m128i slash = _mm_cmpeq_epi8(c, _mm_set1_epi8('/'));
    __m128i valid = _mm_or_si128(_mm_or_si128(in_range('A', 'Z'), in_range('a', 'z')),
                                 _mm_or_si128(in_range('0', '9'), slash));
    valid = _mm_or_si128(valid, _mm_cmpeq_epi8(c, _mm_set1_epi8('+')));
    if (_mm_movemask_epi8(valid) != 0xFFFF) return false;
    // Offset by high nibble: 2 -> '+' (+19; '/' gets 16), 3 -> digits, 4/5 -> upper, 6/7 -> lower.
    const __m128i by_high = _mm_setr_epi8(0, 0, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    __m128i high = _mm_and_si128(_mm_srli_epi32(c, 4), _mm_set1_epi8(0x0F));
    __m128i v = _mm_add_epi8(c, _mm_shuffle_epi8(by_high, high));
    v = _mm_add_epi8(v, _mm_and_si128(slash, _mm_set1_epi8(-3)));
    // Join the 6-bit values: pairs into 12 bits, pairs of those into 24, then bytes in order.
    v = _mm_maddubs_epi16(v, _mm_set1_epi32(0x01400140));
    v = _mm_madd_epi16(v, _mm_set1_epi32(0x00011000));
    v = _mm_shuffle_epi8(v, _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
    return true;
}

bool have_ssse3() {
    static const bool yes = __builtin_cpu_supports("ssse3");
    return yes;
}
#endif

template <class Char>
void store_pair(Char* out, std::uint32_t bits12) {
    if constexpr (sizeof(Char) == 1)
        std::memcpy(out, &kPairs8[bits12], 2);
    else
        std::memcpy(out, &kPairs16[bits12], 4);
}

// Encodes n bytes (any count) without line breaks; `avail` bytes from `in` may be read.
template <class Char, bool Simd>
[[gnu::always_inline]] inline Char* encode_run(const std::uint8_t* in, std::size_t n,
                                               std::size_t avail, Char* out) {
    std::size_t i = 0;
#if OMBRAK_BASE64_SSSE3
    if constexpr (Simd)
        for (; i + 12 <= n && i + 16 <= avail; i += 12, out += 16) store16(out, encode12(in + i));
#endif
    (void)avail;
    for (; i + 3 <= n; i += 3, out += 4) {
        std::uint32_t v =
            (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
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

template <class Char, bool Simd>
[[gnu::always_inline]] inline void encode_lines(std::span<const std::uint8_t> in, Char* out) {
    const std::size_t n = in.size();
    if (base64_length(n) <= kBase64LineLength) {
        encode_run<Char, Simd>(in.data(), n, n, out);
        return;
    }
    std::size_t i = 0;
    for (; i + kLineBytes <= n; i += kLineBytes) {
        out = encode_run<Char, Simd>(in.data() + i, kLineBytes, n - i, out);
        *out++ = '\r';
        *out++ = '\n';
    }
    out = encode_run<Char, Simd>(in.data() + i, n - i, n - i, out);
    // A padded last group can still complete a line of 76 characters: it ends in CR LF too.
    if (base64_length(n - i) == kBase64LineLength) {
        *out++ = '\r';
        *out++ = '\n';
    }
}

template <class Char>
void encode_lines_scalar(std::span<const std::uint8_t> in, Char* out) {
    encode_lines<Char, false>(in, out);
}

#if OMBRAK_BASE64_SSSE3
template <class Char>
__attribute__((target("ssse3"))) void encode_lines_ssse3(std::span<const std::uint8_t> in,
                                                         Char* out) {
    encode_lines<Char, true>(in, out);
}
__attribute__((target("ssse3"))) void encode_flat_ssse3(std::span<const std::uint8_t> in,
                                                        char* out) {
    encode_run<char, true>(in.data(), in.size(), in.size(), out);
}
#endif

template <class Char>
void encode_lines_best(std::span<const std::uint8_t> in, Char* out) {
#if OMBRAK_BASE64_SSSE3
    if (have_ssse3()) return encode_lines_ssse3(in, out);
#endif
    encode_lines_scalar(in, out);
}

template <class Char, bool Simd>
[[gnu::always_inline]] inline bool decode_lenient(const Char* in, std::size_t n, Bytes& out) {
    out.resize(n / 4 * 3 + 16);  // three bytes per four characters, plus room for a 16-byte store
    std::uint8_t* o = out.data();
    std::uint32_t acc = 0;
    int pending = 0;
    bool any = false;
    std::size_t i = 0;
    while (i < n) {
#if OMBRAK_BASE64_SSSE3
        if constexpr (Simd) {
            if (pending == 0 && i + 16 <= n && decode16(in + i, o)) {
                o += 12;
                i += 16;
                any = true;
                continue;
            }
        }
#endif
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

template <class Char>
bool decode_scalar(const Char* in, std::size_t n, Bytes& out) {
    return decode_lenient<Char, false>(in, n, out);
}

#if OMBRAK_BASE64_SSSE3
template <class Char>
__attribute__((target("ssse3"))) bool decode_ssse3(const Char* in, std::size_t n, Bytes& out) {
    return decode_lenient<Char, true>(in, n, out);
}
#endif

template <class Char>
bool decode_best(const Char* in, std::size_t n, Bytes& out) {
#if OMBRAK_BASE64_SSSE3
    if (have_ssse3()) return decode_ssse3(in, n, out);
#endif
    return decode_scalar(in, n, out);
}

}  // namespace

std::size_t base64_lines_length(std::size_t n) noexcept {
    std::size_t chars = base64_length(n);
    if (chars <= kBase64LineLength) return chars;
    return chars + 2 * (chars / kBase64LineLength);
}

void base64_encode(std::span<const std::uint8_t> in, char* out) noexcept {
#if OMBRAK_BASE64_SSSE3
    if (have_ssse3()) return encode_flat_ssse3(in, out);
#endif
    encode_run<char, false>(in.data(), in.size(), in.size(), out);
}

std::string base64_encode_lines(std::span<const std::uint8_t> in) {
    std::string out(base64_lines_length(in.size()), '\0');
    encode_lines_best(in, out.data());
    return out;
}

Text base64_encode_lines_text(std::span<const std::uint8_t> in) {
    Text out(base64_lines_length(in.size()), u'\0');
    encode_lines_best(in, out.data());
    return out;
}

bool base64_decode_lenient(std::u16string_view in, Bytes& out) {
    return decode_best(in.data(), in.size(), out);
}

bool base64_decode_lenient(std::span<const std::uint8_t> in, Bytes& out) {
    return decode_best(in.data(), in.size(), out);
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
        decode_best(reinterpret_cast<const std::uint8_t*>(clean.data()), clean.size(), out);
    return out;
}

}  // namespace ombrak::encoding
