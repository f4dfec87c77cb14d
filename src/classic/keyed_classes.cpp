// The five simple keyed text ciphers: depth, password sums, a six-step pattern, a 97-character
// table and the reversed, framed text. Each has its own way with failures: skip the step, raise
// to the caller, or report and go on.
#include <cmath>
#include <string_view>

#include "classic/codes.h"
#include "ombrak/classic/classes.h"
#include "ombrak/frame/components.h"

namespace ombrak {

using classic::char_of;
using classic::code_of;
using classic::fits16;

namespace {

// Runs a step whose failure is skipped.
template <class F>
void skipping(F&& step) {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

// ---- Depth ----------------------------------------------------------------------------------

namespace {

template <bool Decode>
Text depth_cipher(const Text& data, std::int16_t& depth) {
    CodePageScope code_page;
    Text out;
    out.reserve(data.size());
    for (char16_t ch : data) {
        skipping([&] {
            if (depth == 0) depth = 40;
            if (depth > 254) depth = 254;
            const int c = code_of(ch);
            int x = Decode ? c - depth : c + depth;
            if (!Decode && x > 255) x -= 255;  // a wrap of 255: code 255 comes back as 0
            if (Decode && x < 0) x += 255;
            // Outside 0..255 (a negative depth) the character goes through unchanged.
            out += x >= 0 && x <= 255 ? char_of(x) : ch;
        });
    }
    return out;
}

}  // namespace

Text clsKvVeskEncDecCeaserA::Encode(Text& data, std::int16_t& depth) {
    return depth_cipher<false>(data, depth);
}

Text clsKvVeskEncDecCeaserA::Decode(Text& data, std::int16_t& depth) {
    return depth_cipher<true>(data, depth);
}

const ClassInfo& clsKvVeskEncDecCeaserA::info() {
    using namespace binding;
    using C = clsKvVeskEncDecCeaserA;
    static const ClassInfo k{"clsKvVeskEncDecCeaserA",
                             {method<&C::Encode>("Encode", {arg("sData"), opt("iDepth")}),
                              method<&C::Decode>("Decode", {arg("sData"), opt("iDepth")})},
                             std::nullopt};
    return k;
}

// ---- Password sums --------------------------------------------------------------------------

namespace {

template <bool Decrypt>
Variant password_sum(const Text& text, const Text& password) {
    CodePageScope code_page;
    Text p = password;
    for (auto& ch : p) ch = upper_case(ch);
    if (p.empty()) return Variant(text);
    fits16(text.size(), 32767);
    Text out;
    out.reserve(text.size());
    for (std::size_t i = 1; i <= text.size(); ++i) {
        const int k = code_of(p[i % p.size()]);  // the second password character first
        const int c = code_of(text[i - 1]);
        out += char_of(((Decrypt ? c - k : c + k) % 256 + 256) % 256);
    }
    return Variant(out);
}

}  // namespace

Variant clsKvVeskEncDecSoftCktA::EncryptText(Text& text, const Text& password) {
    return password_sum<false>(text, password);
}

Variant clsKvVeskEncDecSoftCktA::DecryptText(Text& text, const Text& password) {
    return password_sum<true>(text, password);
}

const ClassInfo& clsKvVeskEncDecSoftCktA::info() {
    using namespace binding;
    using C = clsKvVeskEncDecSoftCktA;
    static const ClassInfo k{
        "clsKvVeskEncDecSoftCktA",
        {method<&C::EncryptText>("EncryptText", {arg("strText"), arg("strPwd")}),
         method<&C::DecryptText>("DecryptText", {arg("strText"), arg("strPwd")})},
        std::nullopt};
    return k;
}

// ---- Six-step pattern -----------------------------------------------------------------------

namespace {

template <bool Decrypt>
Text six_steps(Variant& text, Variant& password) {
    CodePageScope code_page;
    // The password's number: the sum of its codes, times 0.1, over 6, the integer part.
    std::int32_t s = 0;
    skipping([&] {
        const Text pw = to_text(password);
        double sum = 0;
        for (char16_t ch : pw) sum += code_of(ch);
        s = static_cast<std::int32_t>(std::floor(sum * 0.1 / 6));
    });
    password = Variant(s);
    Text out;
    skipping([&] {
        const Text t = to_text(text);
        out.reserve(t.size());
        // Offsets by position mod 6: Crypt adds them, Decrypt subtracts them.
        const int offset[6] = {-(s - 2),    (s - 5) + 1,  -(s - 4) + 2,
                               (s - 2) + 3, -(s - 3) + 4, (s - 5) + 5};
        for (std::size_t i = 1; i <= t.size(); ++i) {
            skipping([&] {
                const int x = code_of(t[i - 1]);
                const int d = offset[i % 6];
                out += char_of(Decrypt ? x - d : x + d);
            });
        }
    });
    return out;
}

}  // namespace

Text clsKvVeskEncDecSalasanaA::Crypt(Variant& text, Variant& password) {
    return six_steps<false>(text, password);
}

Text clsKvVeskEncDecSalasanaA::Decrypt(Variant& text, Variant& password) {
    return six_steps<true>(text, password);
}

const ClassInfo& clsKvVeskEncDecSalasanaA::info() {
    using namespace binding;
    using C = clsKvVeskEncDecSalasanaA;
    static const ClassInfo k{"clsKvVeskEncDecSalasanaA",
                             {method<&C::Crypt>("Crypt", {arg("Texti"), arg("Salasana")}),
                              method<&C::Decrypt>("Decrypt", {arg("Texti"), arg("Salasana")})},
                             std::nullopt};
    return k;
}

// ---- The 97-character table -----------------------------------------------------------------

namespace {

// Every printable ASCII character once, then carriage return, line feed and the quotation mark.
constexpr std::u16string_view kSabreAlphabet =
    u"8x3p5BeabcdfghijklmnoqrstuvwyzACDEFGHIJKLMNOPQRSTUVWXYZ "
    u"1246790-.#/\\!@$<>&*()[]{}';:,?=+~`^|%_"
    u"\r\n\"";
static_assert(kSabreAlphabet.size() == 97);

}  // namespace

Text clsKvVeskEncDecSabreA::Encrypt(Text& text) {
    fits16(text.size(), 32767);
    fits16(key_.size());
    Text out;
    std::size_t ki = 0;
    for (char16_t ch : text) {
        const std::size_t p = kSabreAlphabet.find(ch);
        if (p == std::u16string_view::npos) raise_runtime(RuntimeError::InvalidCall);
        // Row j starts with alphabet[j] and holds alphabet[(j + p) mod 97] in column p: the row
        // whose column p is the key character starts with alphabet[(q - p) mod 97].
        if (!key_.empty()) {
            const std::size_t q = kSabreAlphabet.find(key_[ki]);
            if (q != std::u16string_view::npos) out += kSabreAlphabet[(q + 97 - p) % 97];
            ki = (ki + 1) % key_.size();
        }
    }
    return out;
}

const ClassInfo& clsKvVeskEncDecSabreA::info() {
    using namespace binding;
    using C = clsKvVeskEncDecSabreA;
    static const ClassInfo k{"clsKvVeskEncDecSabreA",
                             {let<&C::KeyString>("KeyString", {arg("sKey")}),
                              method<&C::Encrypt>("Encrypt", {arg("mstext")})},
                             std::nullopt};
    return k;
}

// ---- Reversed and framed --------------------------------------------------------------------

Text clsKvVeskEncDecSmokeA::SmokeCryptString(Text& text, bool& encrypt) {
    constexpr std::string_view kPlace = "czVeskEncDecSmoke.SmokeCryptString";
    CodePageScope code_page;
    // Each statement on its own: a failure is reported and the next one runs.
    auto code_at = [&](std::size_t i) {
        if (i >= text.size()) raise_runtime(RuntimeError::InvalidCall);  // no such character
        return code_of(text[i]);
    };
    Text out;
    int a1 = 0, a2 = 0;
    if (encrypt) {
        report_and_continue(kPlace, [&] { a1 = code_at(0); });
        report_and_continue(kPlace, [&] { a2 = code_at(1); });
        const int m = (a1 + a2) % 2;
        for (char16_t ch : text)
            report_and_continue(kPlace,
                                [&] { out.insert(out.begin(), char_of((code_of(ch) ^ m) + 2)); });
        report_and_continue(kPlace, [&] {
            const char16_t head = char_of(2 * a1 + 3), tail = char_of(2 * a2 - 3);
            out = head + out + tail;
        });
    } else {
        report_and_continue(kPlace, [&] { a1 = (code_at(0) - 3) / 2; });
        // An empty text has no last character: code_at raises.
        report_and_continue(kPlace, [&] { a2 = (code_at(text.size() - 1) + 3) / 2; });
        const int m = (a1 + a2) % 2;  // the sign of the sum, as integer division gives it
        for (std::size_t i = 1; i + 1 < text.size(); ++i)
            report_and_continue(
                kPlace, [&] { out.insert(out.begin(), char_of((code_of(text[i]) ^ m) - 2)); });
    }
    return out;
}

const ClassInfo& clsKvVeskEncDecSmokeA::info() {
    using namespace binding;
    using C = clsKvVeskEncDecSmokeA;
    static const ClassInfo k{
        "clsKvVeskEncDecSmokeA",
        {method<&C::SmokeCryptString>("SmokeCryptString", {arg("sString"), arg("bEncrypt")})},
        std::nullopt};
    return k;
}

}  // namespace ombrak
