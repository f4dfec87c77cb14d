// The classic text ciphers and Morse code: the documented cases as tables, round trips over all
// 256 codes, the 16-bit limits at their boundaries, the write-backs, the event loop's turns.
#include <gtest/gtest.h>

#include <atomic>

#include "ombrak/classic/classes.h"
#include "ombrak/frame/platform.h"
#include "support.h"

namespace ombrak {
namespace {

using Op = Text (clsKvVeskClassicCiphersA::*)(Text&);

// Every character of code page 1252 (all 256 codes).
Text all_codes() {
    Bytes b(256);
    for (int i = 0; i < 256; ++i) b[i] = static_cast<std::uint8_t>(i);
    return ansi_to_text(b);
}

TEST(ClassicCiphers, DocumentedCases) {
    const struct {
        Op op;
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {&clsKvVeskClassicCiphersA::Ascii2Binary, u"AB", u"0100000101000010"},
        {&clsKvVeskClassicCiphersA::Ascii2Binary, u"", u""},
        {&clsKvVeskClassicCiphersA::Binary2Ascii, u"0100000101000010", u"AB"},
        {&clsKvVeskClassicCiphersA::Binary2Ascii, u"010000010100", u"A@"},  // 12 digits: 2 groups
        {&clsKvVeskClassicCiphersA::Binary2Ascii, u"0100", u""},            // 4 digits: none
        {&clsKvVeskClassicCiphersA::Binary2Ascii, u"00000009", u"\t"},      // decimal digit values
        {&clsKvVeskClassicCiphersA::Binary2Ascii, u"99999999", u""},        // above 255: error 5
        {&clsKvVeskClassicCiphersA::Binary2Ascii, u"0x0000a1", u"\x01"},    // others count 0
        {&clsKvVeskClassicCiphersA::ReverseString, u"abc\u4e2d", u"\u4e2dcba"},
        {&clsKvVeskClassicCiphersA::Ascii2Transposition, u"ABCDE", u"ADBEC"},
        {&clsKvVeskClassicCiphersA::Ascii2Transposition, u"ABCD", u"ACBD"},
        {&clsKvVeskClassicCiphersA::Ascii2Transposition, u"ABCDEFG", u"AEBFCGD"},
        {&clsKvVeskClassicCiphersA::Ascii2Transposition, u"A", u"A"},
        {&clsKvVeskClassicCiphersA::Transposition2Ascii, u"ADBEC", u"ABCDE"},
        {&clsKvVeskClassicCiphersA::Ascii2PigLatin, u"hello world", u"ellohay orldway"},
        {&clsKvVeskClassicCiphersA::Ascii2PigLatin, u"a", u"aay"},
        {&clsKvVeskClassicCiphersA::Ascii2PigLatin, u"a  b", u""},  // an empty word
        {&clsKvVeskClassicCiphersA::Ascii2PigLatin, u" a", u""},
        {&clsKvVeskClassicCiphersA::Ascii2PigLatin, u"", u""},
        {&clsKvVeskClassicCiphersA::PigLatin2Ascii, u"ellohay orldway", u"hello world"},
        {&clsKvVeskClassicCiphersA::PigLatin2Ascii, u"aay", u"a"},
        {&clsKvVeskClassicCiphersA::PigLatin2Ascii, u"ay", u""},  // fewer than three
    };
    clsKvVeskClassicCiphersA c;
    for (const auto& k : cases) {
        Text in = k.in;
        EXPECT_EQ((c.*k.op)(in), Text(k.out)) << text_to_utf8(k.in);
        EXPECT_EQ(in, Text(k.in));  // the caller's text is not changed
    }
}

TEST(ClassicCiphers, CaesarShift) {
    const struct {
        const char16_t* in;
        std::int16_t shift, kept;
        const char16_t* out;
    } cases[] = {
        {u"abc xyz", 3, 3, u"def bcd"},  // x + 3 = 123 wraps by 25 to b
        {u"WXYZ", 3, 3, u"ZBCD"},        // W + 3 = 90 stays; X + 3 = 91 wraps by 25 to B
        {u"Hello", 30, 4, u"Lipps"},     // 30 is reduced to 4 and written back
        {u"Hello", 26, 26, u"Ifmmp"},    // H + 26 = 98 is above 90: 98 - 25 gives I
        {u"bcd", -1, -1, u"abc"},        // negative shifts have no wrap
        {u"\x01", -5, -5, u""},          // below code 0: error 5
        {u"7!", 3, 3, u":$"},
    };
    clsKvVeskClassicCiphersA c;
    for (const auto& k : cases) {
        Text in = k.in;
        std::int16_t shift = k.shift;
        const Text out = c.CaesarShift(in, shift);
        SCOPED_TRACE(text_to_utf8(k.in));
        EXPECT_EQ(shift, k.kept);
        EXPECT_EQ(out, Text(k.out));
    }
    // Letters above ASCII wrap too: E acute (upper case, 201) and e acute (233) shifted by 1
    // give the characters of 177 and 209; the case comes from the locale-free mapping.
    Text accented = u"\u00c9\u00e9";
    std::int16_t one = 1;
    EXPECT_EQ(c.CaesarShift(accented, one), (Text{ansi_char(177), ansi_char(209)}));
}

TEST(ClassicCiphers, RoundTripsOverAllCodes) {
    clsKvVeskClassicCiphersA c;
    const Text all = all_codes();
    for (std::size_t n : {0, 1, 2, 3, 255, 256}) {
        Text t = all.substr(0, n);
        Text packed = c.Ascii2Transposition(t);
        EXPECT_EQ(c.Transposition2Ascii(packed), t) << n;
        Text bits = c.Ascii2Binary(t);
        EXPECT_EQ(bits.size(), 8 * n);
        EXPECT_EQ(c.Binary2Ascii(bits), t) << n;
        Text reversed = c.ReverseString(t);
        EXPECT_EQ(c.ReverseString(reversed), t);
    }
    // Characters outside the code page survive the transposition both ways.
    Text wide = u"\u4e2d\u6587 text";
    Text packed = c.Ascii2Transposition(wide);
    EXPECT_EQ(c.Transposition2Ascii(packed), wide);
    // The random digits: three characters each, in their ranges, decoded with the same code.
    for (const Text& code : {Text(u"secret code"), Text(), Text(u"x")}) {
        Text t = all, k = code;
        const Text r = c.Ascii2Random(t, k);
        ASSERT_EQ(r.size(), 3 * all.size());
        for (char16_t ch : r) {
            const std::uint8_t b = ansi_from_text(std::u16string_view(&ch, 1))[0];
            EXPECT_TRUE(b >= 55 && b <= 254) << int{b};
        }
        EXPECT_EQ(c.Random2Ascii(r, code), all);
        Text again = all;
        EXPECT_NE(c.Ascii2Random(again, k), r);  // another draw
    }
    EXPECT_EQ(c.Random2Ascii(u"A6", u"k"), u"");  // '6' has code 54, below 55
}

TEST(ClassicCiphers, SixteenBitLimits) {
    clsKvVeskClassicCiphersA c;
    auto text = [](std::size_t n) { return Text(n, u'a'); };
    const struct {
        Op op;
        std::size_t ok, fails;
    } limits[] = {
        {&clsKvVeskClassicCiphersA::Ascii2Binary, 32766, 32767},
        {&clsKvVeskClassicCiphersA::ReverseString, 32767, 32768},
        {&clsKvVeskClassicCiphersA::Ascii2Transposition, 32767, 32768},
        {&clsKvVeskClassicCiphersA::Transposition2Ascii, 32765, 32766},
    };
    for (const auto& l : limits) {
        Text ok = text(l.ok), fails = text(l.fails);
        EXPECT_FALSE((c.*l.op)(ok).empty()) << l.ok;
        EXPECT_TRUE((c.*l.op)(fails).empty()) << l.fails;
    }
    Text ok = text(32766), fails = text(32767);
    std::int16_t shift = 1;
    EXPECT_EQ(c.CaesarShift(ok, shift).size(), 32766u);
    EXPECT_EQ(c.CaesarShift(fails, shift), u"");
    shift = 40;
    EXPECT_EQ(c.CaesarShift(fails, shift), u"");
    EXPECT_EQ(shift, 14);  // the reduction is written back before the failure
    // Binary2Ascii: 4095 groups pass, 4096 fail.
    Text groups = Text(8 * 4095, u'0'), more = Text(8 * 4096, u'0');
    EXPECT_EQ(c.Binary2Ascii(groups).size(), 4095u);
    EXPECT_EQ(c.Binary2Ascii(more), u"");
    // Pig Latin: 32766 spaces pass, 32767 fail; a word longer than 32766 fails.
    Text words, many;
    for (int i = 0; i < 32766; ++i) words += u"ab ";
    words += u"ab";
    many = words + u" ab";
    EXPECT_FALSE(c.Ascii2PigLatin(words).empty());
    EXPECT_EQ(c.Ascii2PigLatin(many), u"");
    Text long_word = Text(32767, u'a') + u" b";
    EXPECT_EQ(c.Ascii2PigLatin(long_word), u"");
    Text fits = Text(32766, u'a') + u" b";
    EXPECT_FALSE(c.Ascii2PigLatin(fits).empty());
}

TEST(ClassicCiphers, EventLoopTurns) {
    std::atomic<int> turns{0};
    set_event_pump([&] { ++turns; });
    clsKvVeskClassicCiphersA c;
    Text t = u"one two three", code = u"k";
    c.Ascii2PigLatin(t);
    EXPECT_EQ(turns, 2);  // one per space
    turns = 0;
    const Text r = c.Ascii2Random(t, code);
    EXPECT_EQ(turns, 13 + 39);  // one per character, one per digit
    turns = 0;
    c.Random2Ascii(r, code);
    EXPECT_EQ(turns, 39 + 13);  // one per character, one per group
    set_event_pump(nullptr);
}

// ---- Morse ----------------------------------------------------------------------------------

TEST(Morse, DocumentedCases) {
    clsKvVeskEncDecMorseA m;
    const struct {
        const char16_t* in;
        const char16_t* code;
    } encode[] = {
        {u"Hi!", u".... .. \\ "},
        {u"SOS", u"... --- ... "},
        {u"sos", u"... --- ... "},
        {u"a\r\nb", u".- ~ -... "},   // the line feed is lost
        {u"\u00e9>`~\\\ta", u".- "},  // no entry: dropped
        {u"0 9.,?'-/()", u"----- \\ ----. .-.-.- --..-- ..--.. .----. -....- -..-. -.--. -.--.- "},
        {u"@#$%^&*<=+][{}|", u"\\ \\ \\ \\ \\ \\ \\ \\ \\ \\ \\ \\ \\ \\ \\ "},
        {u"", u""},
    };
    for (const auto& e : encode) {
        Text in = e.in;
        EXPECT_EQ(m.MorseEncode(in), Text(e.code)) << text_to_utf8(e.in);
        EXPECT_EQ(in, Text(e.in));
    }
    const struct {
        const char16_t* in;
        const char16_t* out;
        const char16_t* rest;
    } decode[] = {
        {u".... .. \\ ", u"hi ", u""},
        {u".- ~ -... ", u"a\r\nb", u""},
        {u".- -...", u"a ", u"-..."},                  // no final space: the code of b stays
        {u".-  -... ", u"a ", u" -... "},              // a doubled space stops there
        {u".- ........ .- ", u"a ", u"........ .- "},  // an unknown code
        {u"", u"", u""},
        {u"---... .-..-. ..--.- -.-.-. ", u":\"_;", u""},
    };
    for (const auto& d : decode) {
        Text in = d.in;
        EXPECT_EQ(m.MorseDecode(in), Text(d.out)) << text_to_utf8(d.in);
        EXPECT_EQ(in, Text(d.rest)) << text_to_utf8(d.in);
    }
}

TEST(Morse, RoundTripOfEveryCharacterWithACode) {
    clsKvVeskEncDecMorseA m;
    Text all = u"abcdefghijklmnopqrstuvwxyz0123456789.,:?'-/()\";_ ";
    Text upper = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,:?'-/()\";_ ";
    Text code = m.MorseEncode(upper);
    EXPECT_EQ(m.MorseEncode(all), code);
    EXPECT_EQ(m.MorseDecode(code), all);
    EXPECT_EQ(code, u"");
}

}  // namespace
}  // namespace ombrak
