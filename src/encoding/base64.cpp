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
[[gnu::always_inline]] inline void encode_lines(std::span<const std::uint8_t> in, Char* out,
                                                bool part) {
    const std::size_t n = in.size();
    // A whole text of one line has no line break; a part of a longer text breaks every line.
    if (!part && base64_length(n) <= kBase64LineLength) {
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
void encode_lines_scalar(std::span<const std::uint8_t> in, Char* out, bool part) {
    encode_lines<Char, false>(in, out, part);
}

#if OMBRAK_BASE64_SSSE3
template <class Char>
__attribute__((target("ssse3"))) void encode_lines_ssse3(std::span<const std::uint8_t> in,
                                                         Char* out, bool part) {
    encode_lines<Char, true>(in, out, part);
}
__attribute__((target("ssse3"))) void encode_flat_ssse3(std::span<const std::uint8_t> in,
                                                        char* out) {
    encode_run<char, true>(in.data(), in.size(), in.size(), out);
}
#endif

template <class Char>
void encode_lines_best(std::span<const std::uint8_t> in, Char* out, bool part = false) {
#if OMBRAK_BASE64_SSSE3
    if (have_ssse3()) return encode_lines_ssse3(in, out, part);
#endif
    encode_lines_scalar(in, out, part);
}

#if OMBRAK_BASE64_SSSE3
// Counts the characters lenient decoding removes among 16 (17 readable): every "=" and both
// characters of every CR LF pair that starts among them.
__attribute__((target("sse2"))) inline std::size_t removed16(const std::uint8_t* p) {
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    unsigned eq = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(c, _mm_set1_epi8('='))));
    unsigned pair = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
        _mm_cmpeq_epi8(c, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(next, _mm_set1_epi8('\n')))));
    return static_cast<std::size_t>(__builtin_popcount(eq) + 2 * __builtin_popcount(pair));
}
#endif

}  // namespace

// ---- Incremental decoding ----------------------------------------------------------------

template <class Char, bool Simd>
[[gnu::always_inline]] inline std::size_t Base64Decoder::run(const Char* in, std::size_t n,
                                                             std::uint8_t* out) noexcept {
    std::uint8_t* o = out;
    std::size_t i = 0;
    const bool strict = rules_ == Rules::Strict;
    if (bad_) return 0;
    if (held_cr_) {
        held_cr_ = false;
        if (n && in[0] == '\n')
            i = 1;
        else
            push(0, o);  // a lone CR is a data character
    }
    while (i < n) {
        if (pending_ == 0 && pads_ == 0) {
#if OMBRAK_BASE64_SSSE3
            if constexpr (Simd) {
                if (i + 16 <= n && decode16(in + i, o)) {
                    o += 12;
                    i += 16;
                    any_ = true;
                    continue;
                }
            }
#endif
            // A whole group of four alphabet characters at a group boundary.
            if (i + 4 <= n) {
                std::uint32_t c0 = in[i], c1 = in[i + 1], c2 = in[i + 2], c3 = in[i + 3];
                if ((c0 | c1 | c2 | c3) < 0x80) {
                    std::uint32_t a = kDecode[c0], b = kDecode[c1], c = kDecode[c2],
                                  d = kDecode[c3];
                    bool plain = ((a | b | c | d) & kSpecial) == 0;
                    if (plain && strict)
                        plain = (a || c0 == 'A') && (b || c1 == 'A') && (c || c2 == 'A') &&
                                (d || c3 == 'A');
                    if (plain) {
                        std::uint32_t v =
                            __builtin_bswap32((a << 26) | (b << 20) | (c << 14) | (d << 8));
                        std::memcpy(o, &v, 4);
                        o += 3;
                        i += 4;
                        any_ = true;
                        continue;
                    }
                }
            }
        }
        const std::uint32_t c = in[i];
        if (strict) {
            ++i;
            if (c == '\n' || c == '\r') continue;
            if (c == '=') {
                // Padding completes a group of two or three characters, and ends the data.
                if (pending_ < 2 || pending_ + ++pads_ > 4) bad_ = true;
            } else if (c > 0xFF || base64_value(static_cast<std::uint8_t>(c)) < 0 || pads_) {
                bad_ = true;
            } else {
                push(kDecode[c], o);
            }
            if (bad_) return static_cast<std::size_t>(o - out);
            continue;
        }
        if (c == '\r') {
            if (i + 1 == n) {
                held_cr_ = true;  // whether it pairs with an LF, the next piece tells
                break;
            }
            if (in[i + 1] == '\n') {
                i += 2;
                continue;
            }
        }
        ++i;
        if (c == '=') continue;
        std::uint32_t v;
        if constexpr (sizeof(Char) == 1)
            v = c >= 0x80 && high_ ? high_[c - 0x80] : kDecode[c] & 63;
        else
            v = kDecode[c & 0xFF] & 63;
        push(v, o);
    }
    return static_cast<std::size_t>(o - out);
}

inline void Base64Decoder::push(std::uint32_t v, std::uint8_t*& o) noexcept {
    any_ = true;
    acc_ = (acc_ << 6) | v;
    if (++pending_ == 4) {
        o[0] = static_cast<std::uint8_t>(acc_ >> 16);
        o[1] = static_cast<std::uint8_t>(acc_ >> 8);
        o[2] = static_cast<std::uint8_t>(acc_);
        o += 3;
        pending_ = 0;
        acc_ = 0;
    }
}

template <class Char>
std::size_t Base64Decoder::run_scalar(const Char* in, std::size_t n, std::uint8_t* out) noexcept {
    return run<Char, false>(in, n, out);
}

#if OMBRAK_BASE64_SSSE3
template <class Char>
__attribute__((target("ssse3"))) std::size_t Base64Decoder::run_ssse3(const Char* in, std::size_t n,
                                                                      std::uint8_t* out) noexcept {
    return run<Char, true>(in, n, out);
}
#endif

template <class Char>
std::size_t Base64Decoder::dispatch(const Char* in, std::size_t n, std::uint8_t* out) noexcept {
#if OMBRAK_BASE64_SSSE3
    if (have_ssse3()) return run_ssse3(in, n, out);
#endif
    return run_scalar(in, n, out);
}

std::size_t Base64Decoder::update(std::span<const std::uint8_t> in, std::uint8_t* out) noexcept {
    return dispatch(in.data(), in.size(), out);
}

std::size_t Base64Decoder::update(std::u16string_view in, std::uint8_t* out) noexcept {
    return dispatch(in.data(), in.size(), out);
}

std::size_t Base64Decoder::finish(std::uint8_t* out) noexcept {
    std::uint8_t* o = out;
    if (held_cr_) {
        held_cr_ = false;
        push(0, o);
    }
    if (rules_ == Rules::Strict && !bad_ && pending_ + pads_ != 0 && pending_ + pads_ != 4)
        bad_ = true;
    if (bad_) return static_cast<std::size_t>(o - out);
    if (pending_ == 3) {
        *o++ = static_cast<std::uint8_t>(acc_ >> 10);
        *o++ = static_cast<std::uint8_t>(acc_ >> 2);
    } else if (pending_ == 2) {
        *o++ = static_cast<std::uint8_t>(acc_ >> 4);
    }
    pending_ = 0;
    acc_ = 0;
    return static_cast<std::size_t>(o - out);
}

void Base64DataCounter::update(std::span<const std::uint8_t> in) noexcept {
    const std::uint8_t* p = in.data();
    std::size_t n = in.size(), i = 0, removed = 0;
    if (n == 0) return;
    if (held_cr_ && p[0] == '\n') removed += 2;  // the pair's CR was counted as data
#if OMBRAK_BASE64_SSSE3
    for (; i + 17 <= n; i += 16) removed += removed16(p + i);
#endif
    for (; i < n; ++i)
        removed += (p[i] == '=') + 2 * (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n');
    held_cr_ = p[n - 1] == '\r';
    characters_ += n;
    characters_ -= removed;
}

std::uint64_t Base64DataCounter::decoded_length() const noexcept {
    const std::uint64_t r = characters_ % 4;
    return characters_ / 4 * 3 + (r == 3 ? 2 : r == 2 ? 1 : 0);
}

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

std::size_t base64_part_length(std::size_t n) noexcept {
    std::size_t chars = base64_length(n);
    return chars + 2 * (chars / kBase64LineLength);
}

std::size_t base64_encode_lines_part(std::span<const std::uint8_t> in, char* out) noexcept {
    encode_lines_best(in, out, true);
    return base64_part_length(in.size());
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

namespace {
template <class Input>
bool decode_whole(Base64Decoder::Rules rules, const Input& in, Bytes& out) {
    Base64Decoder d(rules);
    out.resize(Base64Decoder::capacity(in.size()));
    std::size_t n = d.update(in, out.data());
    n += d.finish(out.data() + n);
    out.resize(n);
    bool ok = rules == Base64Decoder::Rules::Strict ? d.valid() : d.any();
    if (!ok) out.clear();
    return ok;
}
}  // namespace

bool base64_decode_lenient(std::u16string_view in, Bytes& out) {
    return decode_whole(Base64Decoder::Rules::Lenient, in, out);
}

bool base64_decode_lenient(std::span<const std::uint8_t> in, Bytes& out) {
    return decode_whole(Base64Decoder::Rules::Lenient, in, out);
}

std::optional<Bytes> base64_decode_strict(std::span<const std::uint8_t> in) {
    Bytes out;
    if (!decode_whole(Base64Decoder::Rules::Strict, in, out)) return std::nullopt;
    return out;
}

int base64_value(std::uint8_t c) noexcept {
    return (kDecode[c] & kSpecial) || (kDecode[c] == 0 && c != 'A') ? -1
                                                                    : static_cast<int>(kDecode[c]);
}

}  // namespace ombrak::encoding
