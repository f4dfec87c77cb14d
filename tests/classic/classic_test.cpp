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

namespace ombrak {
namespace {

Text codes_0_to_255() {
    Bytes b(256);
    for (int i = 0; i < 256; ++i) b[i] = static_cast<std::uint8_t>(i);
    return ansi_to_text(b);
}

Text from_codes(std::initializer_list<int> codes) {
    Text t;
    for (int c : codes) t += ansi_char(static_cast<std::uint8_t>(c));
    return t;
}

TEST(KeyedCiphers, Depth) {
    clsKvVeskEncDecCeaserA c;
    const struct {
        std::int16_t depth, kept;
    } depths[] = {{0, 40}, {300, 254}, {254, 254}, {1, 1}, {-3, -3}};
    const Text all = codes_0_to_255();
    for (const auto& d : depths) {
        Text t = all;
        std::int16_t depth = d.depth;
        const Text sealed = c.Encode(t, depth);
        EXPECT_EQ(depth, d.kept);
        std::int16_t again = depth;
        Text sealed_text = sealed;
        const Text back = c.Decode(sealed_text, again);
        if (d.kept < 0) {
            // A negative depth: codes that would fall below 0 pass unchanged and do not come
            // back; the others do.
            EXPECT_EQ(back.substr(3), all.substr(3)) << d.depth;
            continue;
        }
        // Everything comes back but code 255, which the wrap of 255 returns as 0.
        Text expected = all;
        expected[255] = ansi_char(0);
        EXPECT_EQ(back, expected) << d.depth;
    }
    // An empty text leaves the depth alone; a missing depth counts as 0, so 40.
    Text empty;
    std::int16_t zero = 0;
    c.Encode(empty, zero);
    EXPECT_EQ(zero, 0);
    Text abc = u"abc";
    std::int16_t forty = 40, missing = 0;
    EXPECT_EQ(c.Encode(abc, missing), c.Encode(abc, forty));
}

TEST(KeyedCiphers, PasswordSums) {
    clsKvVeskEncDecSoftCktA s;
    const Text all = codes_0_to_255();
    for (const Text& pw : {Text(u"pw"), Text(u"a"), Text(u"Long Password 123")}) {
        Text t = all;
        const Variant sealed = s.EncryptText(t, pw);
        EXPECT_EQ(t, all);
        Text back = sealed.get<Text>();
        EXPECT_EQ(s.DecryptText(back, pw).get<Text>(), all);
    }
    // The password is upper-cased; the first character uses the second password character.
    Text hi = u"AB";
    EXPECT_EQ(s.EncryptText(hi, u"xy").get<Text>(), from_codes({'A' + 'Y', 'B' + 'X'}));
    EXPECT_EQ(s.EncryptText(hi, u"XY").get<Text>(), s.EncryptText(hi, u"xy").get<Text>());
    EXPECT_EQ(s.EncryptText(hi, u"").get<Text>(), hi);
    // 32767 characters overflow the 16-bit counter; 32766 pass.
    Text ok(32766, u'a'), too_long(32767, u'a');
    EXPECT_EQ(s.EncryptText(ok, u"k").get<Text>().size(), 32766u);
    EXPECT_ERROR(s.EncryptText(too_long, u"k"), 6);
}

TEST(KeyedCiphers, SixSteps) {
    clsKvVeskEncDecSalasanaA l;
    Variant text(u"Hello world, six steps at a time"), pw(u"password");
    const Text sealed = l.Crypt(text, pw);
    // The caller's password is now the number: (883 * 0.1) / 6 = 14.7, so 14.
    EXPECT_EQ(pw, Variant(std::int32_t{14}));
    EXPECT_EQ(text, Variant(u"Hello world, six steps at a time"));
    Variant sealed_v(sealed), pw2(u"password");
    EXPECT_EQ(l.Decrypt(sealed_v, pw2), u"Hello world, six steps at a time");
    // Given the number instead of the password, decryption goes wrong.
    Variant sealed_again(sealed), number(std::int32_t{14});
    EXPECT_NE(l.Decrypt(sealed_again, number), u"Hello world, six steps at a time");
    // Codes pushed outside 0..255 drop their characters: position 1 adds (S - 5) + 1 = 10.
    Variant high(from_codes({250, 'a'})), pw3(u"password");
    EXPECT_EQ(l.Crypt(high, pw3).size(), 1u);
    // An empty password: S = 0.
    Variant plain(u"abcdef"), none(Text{});
    const Text zero_key = l.Crypt(plain, none);
    EXPECT_EQ(none, Variant(std::int32_t{0}));
    EXPECT_EQ(zero_key, from_codes({'a' - 4, 'b' + 6, 'c' + 1, 'd' + 7, 'e', 'f' + 2}));
}

TEST(KeyedCiphers, SabreIsItsOwnInverse) {
    clsKvVeskEncDecSabreA b;
    Text printable;
    for (char16_t c = 32; c < 127; ++c) printable += c;
    printable += u"\r\n";
    for (const Text& key :
         {Text(u"Key"), Text(u"key"), Text(u"a much longer key, with \"quotes\"")}) {
        b.KeyString(key);
        Text t = printable;
        Text sealed = b.Encrypt(t);
        EXPECT_EQ(sealed.size(), printable.size());
        EXPECT_EQ(b.Encrypt(sealed), printable);
    }
    b.KeyString(u"Key");
    Text t = u"Hello";
    const Text upper = b.Encrypt(t);
    b.KeyString(u"key");
    EXPECT_NE(b.Encrypt(t), upper);
    // No key, or key characters outside the alphabet: nothing for those characters.
    b.KeyString(u"");
    EXPECT_EQ(b.Encrypt(t), u"");
    b.KeyString(u"k\u00e9");
    EXPECT_EQ(b.Encrypt(t).size(), 3u);  // the second key character is not in the alphabet
    // A text character outside the alphabet raises 5; 32767 characters raise 6.
    Text accented = u"caf\u00e9";
    EXPECT_ERROR(b.Encrypt(accented), 5);
    Text too_long(32767, u'a');
    EXPECT_ERROR(b.Encrypt(too_long), 6);
    // A key of 32767 characters works; one more overflows its 16-bit position.
    b.KeyString(Text(32767, u'k'));
    EXPECT_EQ(b.Encrypt(t).size(), 5u);
    b.KeyString(Text(32768, u'k'));
    EXPECT_ERROR(b.Encrypt(t), 6);
}

TEST(KeyedCiphers, Smoke) {
    clsKvVeskEncDecSmokeA s;
    test::CountingReporter reports;
    Text hello = u"Hello";
    bool yes = true, no = false;
    const Text sealed = s.SmokeCryptString(hello, yes);
    // m = (72 + 101) mod 2 = 1: each code XOR 1 plus 2, reversed, framed by 147 and 199.
    EXPECT_EQ(sealed, from_codes({147, ('o' ^ 1) + 2, ('l' ^ 1) + 2, ('l' ^ 1) + 2, ('e' ^ 1) + 2,
                                  ('H' ^ 1) + 2, 199}));
    Text back = sealed;
    EXPECT_EQ(s.SmokeCryptString(back, no), u"Hello");
    EXPECT_TRUE(reports.places.empty());
    // The empty text: three errors reported, the empty result.
    Text empty;
    EXPECT_EQ(s.SmokeCryptString(empty, yes), u"");
    EXPECT_EQ(reports.places, std::vector<std::string>(3, "czVeskEncDecSmoke.SmokeCryptString"));
    // A character above 253 is left out with one report; the rest goes on.
    reports.places.clear();
    Text high = from_codes({'a', 'b', 254, 'c'});
    const Text partial = s.SmokeCryptString(high, yes);
    EXPECT_EQ(partial.size(), 5u);
    EXPECT_EQ(reports.places.size(), 1u);
}

}  // namespace
}  // namespace ombrak
