// The classic text ciphers and Morse code. Characters are taken by their ANSI codes; results are
// built through the object's text builder where the operation's output goes through it, and from
// the characters themselves elsewhere.
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "classic/codes.h"
#include "ombrak/classic/classes.h"
#include "ombrak/frame/error.h"
#include "ombrak/frame/platform.h"

namespace ombrak {

namespace {

using classic::char_of;
using classic::code_of;
using classic::fits16;

// Runs an operation that traps every failure: its result, or the empty text. The builder is
// empty before and after.
template <class F>
Text trapped(TextBuilder& builder, F&& operation) {
    CodePageScope code_page;
    builder.clear();
    Text result;
    try {
        result = operation();
    } catch (...) {
        result.clear();
    }
    builder.clear();
    return result;
}

// Words at every single space: k spaces give k + 1 words. The host's event loop turns once per
// space; a space past position 32767 of the rest, or 32767 spaces, overflow.
std::vector<Text> words_of(const Text& text) {
    std::vector<Text> words;
    std::size_t start = 0, spaces = 0;
    for (;;) {
        const std::size_t space = text.find(u' ', start);
        if (space == Text::npos) break;
        fits16(space - start + 1);
        fits16(++spaces, 32767);
        pump_events();
        words.emplace_back(text.substr(start, space - start));
        start = space + 1;
    }
    words.emplace_back(text.substr(start));
    return words;
}

Text trim_spaces(const Text& t) {
    const std::size_t a = t.find_first_not_of(u' ');
    if (a == Text::npos) return {};
    return t.substr(a, t.find_last_not_of(u' ') - a + 1);
}

// The key number of a code text: the codes of its first, middle (rounded up) and last
// characters, summed, over 6, rounded half away from zero.
int key_number(const Text& code) {
    if (code.empty()) return 0;
    const auto middle = static_cast<std::size_t>(std::round(code.size() / 2.0));
    const int sum = code_of(code.front()) + code_of(code.back()) + code_of(code[middle - 1]);
    return static_cast<int>(std::round(sum / 6.0));
}

constexpr int kBit[8] = {1, 2, 4, 8, 16, 32, 64, 128};

// A per-thread generator, seeded once from the operating system.
std::mt19937& random_digits() {
    thread_local std::mt19937 rng(system_random31());
    return rng;
}

}  // namespace

Text clsKvVeskClassicCiphersA::Ascii2Binary(Text& text) {
    return trapped(builder_, [&] {
        fits16(text.size(), 32767);
        Text out;
        out.reserve(8 * text.size());
        for (char16_t ch : text) {
            const int c = code_of(ch);
            int s = 0;
            for (int i = 7; i >= 0; --i) {
                if (c - s < kBit[i]) {
                    out += u'0';
                } else {
                    out += u'1';
                    s += kBit[i];
                }
            }
        }
        return out;
    });
}

Text clsKvVeskClassicCiphersA::Binary2Ascii(Text& binary_text) {
    return trapped(builder_, [&] {
        const auto groups =
            static_cast<std::size_t>(std::nearbyint(binary_text.size() / 8.0));  // ties to even
        if (groups >= 4096) raise_runtime(RuntimeError::Overflow);
        Text out;
        for (std::size_t g = 0; g < groups; ++g) {
            int value = 0;
            for (int j = 0; j < 8; ++j) {
                const std::size_t p = 8 * g + static_cast<std::size_t>(j);
                const char16_t ch = p < binary_text.size() ? binary_text[p] : u' ';
                const int digit = ch >= u'0' && ch <= u'9' ? ch - u'0' : 0;
                value += digit * kBit[7 - j];
            }
            out += char_of(value);
        }
        return out;
    });
}

Text clsKvVeskClassicCiphersA::ReverseString(Text& text) {
    return trapped(builder_, [&] {
        fits16(text.size());
        return Text(text.rbegin(), text.rend());
    });
}

Text clsKvVeskClassicCiphersA::CaesarShift(Text& text, std::int16_t& difference) {
    return trapped(builder_, [&] {
        while (difference > 26) difference = static_cast<std::int16_t>(difference - 26);
        const int d = difference;
        fits16(text.size(), 32767);
        for (char16_t ch : text) {
            if (ch == u' ') {
                builder_.append_byte(' ');
                continue;
            }
            const int x = code_of(ch) + d;
            const int wrap = lower_case(ch) == ch ? 122 : 90;
            const char16_t shifted = char_of(x > wrap ? x - 25 : x);
            builder_.append(std::u16string_view(&shifted, 1));
        }
        return builder_.take();
    });
}

Text clsKvVeskClassicCiphersA::Ascii2Transposition(Text& text) {
    return trapped(builder_, [&] {
        const std::size_t n = text.size();
        fits16(n);
        const std::size_t h = (n + 1) / 2, m = n / 2;
        Text out;
        out.reserve(n);
        for (std::size_t i = 0; i < m; ++i) {
            out += text[i];
            out += text[i + h];
        }
        if (n % 2) out += text[h - 1];
        return out;
    });
}

Text clsKvVeskClassicCiphersA::Transposition2Ascii(Text& text) {
    return trapped(builder_, [&] {
        fits16(text.size(), 32766);
        Text out;
        out.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); i += 2) out += text[i];
        for (std::size_t i = 1; i < text.size(); i += 2) out += text[i];
        return out;
    });
}

Text clsKvVeskClassicCiphersA::Ascii2PigLatin(Text& text) {
    return trapped(builder_, [&] {
        Text out;
        for (const Text& w : words_of(text)) {
            if (w.empty()) raise_runtime(RuntimeError::InvalidCall);  // an empty word has no first
            out += w.substr(1);
            out += w[0];
            out += u"ay ";
        }
        return trim_spaces(out);
    });
}

Text clsKvVeskClassicCiphersA::PigLatin2Ascii(Text& text) {
    return trapped(builder_, [&] {
        Text out;
        for (const Text& w : words_of(text)) {
            if (w.size() < 3) raise_runtime(RuntimeError::InvalidCall);
            const Text stem = w.substr(0, w.size() - 2);
            out += stem.back();
            out += stem.substr(0, stem.size() - 1);
            out += u' ';
        }
        return trim_spaces(out);
    });
}

Text clsKvVeskClassicCiphersA::Ascii2Random(Text& text, Text& code) {
    return trapped(builder_, [&] {
        const int k = key_number(code);
        std::string digits;
        for (char16_t ch : text) {
            const auto v = static_cast<std::int16_t>(code_of(ch) + k);
            std::string n = std::to_string(std::abs(static_cast<int>(v)));
            if (n.size() < 3) n.insert(0, 3 - n.size(), '0');
            digits += n;
            pump_events();
        }
        Text out;
        out.reserve(digits.size());
        std::uniform_real_distribution<double> fraction(0.0, 1.0);
        for (char d : digits) {
            const int r = static_cast<int>(std::nearbyint(fraction(random_digits()) * 19));
            out += char_of(55 + 20 * (d - '0') + r);
            pump_events();
        }
        return out;
    });
}

Text clsKvVeskClassicCiphersA::Random2Ascii(const Text& text, const Text& code) {
    return trapped(builder_, [&]() -> Text {
        const int k = key_number(code);
        std::string digits;
        for (char16_t ch : text) {
            const int c = code_of(ch);
            if (c < 55 || c > 254) return {};
            digits += static_cast<char>('0' + (c - 55) / 20);
            pump_events();
        }
        for (std::size_t i = 0; i < digits.size(); i += 3) {
            const int v = std::abs(std::stoi(digits.substr(i, 3)) - k);
            if (v > 255) return {};
            builder_.append_byte(static_cast<std::uint8_t>(v));
            pump_events();
        }
        return builder_.take();
    });
}

const ClassInfo& clsKvVeskClassicCiphersA::info() {
    using namespace binding;
    using C = clsKvVeskClassicCiphersA;
    static const ClassInfo k{
        "clsKvVeskClassicCiphersA",
        {method<&C::Ascii2Binary>("Ascii2Binary", {arg("sText")}),
         method<&C::Binary2Ascii>("Binary2Ascii", {arg("sBinaryText")}),
         method<&C::ReverseString>("ReverseString", {arg("sText")}),
         method<&C::CaesarShift>("CaesarShift", {arg("sText"), arg("iDifference")}),
         method<&C::Ascii2Transposition>("Ascii2Transposition", {arg("sText")}),
         method<&C::Transposition2Ascii>("Transposition2Ascii", {arg("sText")}),
         method<&C::Ascii2PigLatin>("Ascii2PigLatin", {arg("sText")}),
         method<&C::PigLatin2Ascii>("PigLatin2Ascii", {arg("sText")}),
         method<&C::Ascii2Random>("Ascii2Random", {arg("sCustomValue"), arg("sEncryptCode")}),
         method<&C::Random2Ascii>("Random2Ascii", {arg("sCustomValue"), arg("sEncryptCode")})},
        std::nullopt};
    return k;
}

// ---- Morse ----------------------------------------------------------------------------------

namespace {

struct MorseEntry {
    char16_t ch;
    const char16_t* code;  // with its trailing space
};

// clang-format off
constexpr MorseEntry kMorse[] = {
    {u'a', u".- "},    {u'b', u"-... "},  {u'c', u"-.-. "},  {u'd', u"-.. "},   {u'e', u". "},
    {u'f', u"..-. "},  {u'g', u"--. "},   {u'h', u".... "},  {u'i', u".. "},    {u'j', u".--- "},
    {u'k', u"-.- "},   {u'l', u".-.. "},  {u'm', u"-- "},    {u'n', u"-. "},    {u'o', u"--- "},
    {u'p', u".--. "},  {u'q', u"--.- "},  {u'r', u".-. "},   {u's', u"... "},   {u't', u"- "},
    {u'u', u"..- "},   {u'v', u"...- "},  {u'w', u".-- "},   {u'x', u"-..- "},  {u'y', u"-.-- "},
    {u'z', u"--.. "},  {u'0', u"----- "}, {u'1', u".---- "}, {u'2', u"..--- "}, {u'3', u"...-- "},
    {u'4', u"....- "}, {u'5', u"..... "}, {u'6', u"-.... "}, {u'7', u"--... "}, {u'8', u"---.. "},
    {u'9', u"----. "}, {u'.', u".-.-.- "}, {u',', u"--..-- "}, {u':', u"---... "}, {u'?', u"..--.. "},
    {u'\'', u".----. "}, {u'-', u"-....- "}, {u'/', u"-..-. "}, {u'(', u"-.--. "}, {u')', u"-.--.- "},
    {u';', u"-.-.-. "}, {u'"', u".-..-. "}, {u'_', u"..--.- "},
};
// clang-format on

constexpr std::u16string_view kSeparators = u" !@#$%^&*<=+][{}|";

}  // namespace

Text clsKvVeskEncDecMorseA::MorseEncode(Text& text) {
    CodePageScope code_page;
    builder_.clear();
    for (char16_t ch : text) {
        // The table holds lower-case letters and caseless characters: the lower-case form
        // matches it exactly.
        const char16_t c = lower_case(ch);
        if (kSeparators.find(c) != std::u16string_view::npos) {
            builder_.append(u"\\ ");
        } else if (c == u'\r') {
            builder_.append(u"~ ");
        } else {
            for (const MorseEntry& e : kMorse)
                if (e.ch == c) builder_.append(e.code);
        }
    }
    Text result = builder_.take();
    builder_.clear();
    return result;
}

Text clsKvVeskEncDecMorseA::MorseDecode(Text& text) {
    CodePageScope code_page;
    builder_.clear();
    while (!text.empty()) {
        const std::size_t space = text.find(u' ');
        const std::u16string_view token = space == Text::npos
                                              ? std::u16string_view()
                                              : std::u16string_view(text).substr(0, space + 1);
        bool known = false;
        if (token == u"\\ ") {
            builder_.append(u" ");
            known = true;
        } else if (token == u"~ ") {
            builder_.append(u"\r\n");
            known = true;
        } else if (!token.empty()) {
            for (const MorseEntry& e : kMorse) {
                if (token == e.code) {
                    builder_.append(std::u16string_view(&e.ch, 1));
                    known = true;
                    break;
                }
            }
        }
        if (!known) {
            builder_.append(u" ");
            break;
        }
        text.erase(0, space + 1);
    }
    Text result = builder_.take();
    builder_.clear();
    return result;
}

const ClassInfo& clsKvVeskEncDecMorseA::info() {
    using namespace binding;
    using C = clsKvVeskEncDecMorseA;
    static const ClassInfo k{"clsKvVeskEncDecMorseA",
                             {method<&C::MorseEncode>("MorseEncode", {arg("sText")}),
                              method<&C::MorseDecode>("MorseDecode", {arg("sText")})},
                             std::nullopt};
    return k;
}

}  // namespace ombrak
