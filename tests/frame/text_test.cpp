// ANSI conversion through the Windows code pages, UTF conversions and the text builder.
#include "ombrak/frame/text.h"

#include <gtest/gtest.h>

namespace ombrak {
namespace {

class CodePageScope {
  public:
    explicit CodePageScope(int cp) : previous_(code_page()) { EXPECT_TRUE(set_code_page(cp)); }
    ~CodePageScope() { set_code_page(previous_); }

  private:
    int previous_;
};

TEST(CodePages, EveryByteRoundTripsInEveryCodePage) {
    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
    for (int cp : {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}) {
        CodePageScope scope(cp);
        Text t = ansi_to_text(all);
        EXPECT_EQ(ansi_from_text(t), all) << cp;
    }
}

TEST(CodePages, KnownCharacters) {
    // Windows-1252: 0x80 is the euro sign, 0x81 is undefined and keeps its value.
    EXPECT_EQ(code_page(), 1252);
    EXPECT_EQ(ansi_to_text(Bytes{0x80, 0x81, 0xE9}), Text(u"\u20AC\u0081\u00E9"));
    EXPECT_EQ(ansi_from_text(u"\u0100A\U0001F600"), (Bytes{'?', 'A', '?', '?'}));
    {
        CodePageScope cyrillic(1251);
        EXPECT_EQ(ansi_to_text(Bytes{0xC0}), Text(u"\u0410"));  // А
        EXPECT_EQ(ansi_from_text(u"\u00E9"), Bytes{'?'});
    }
    EXPECT_FALSE(set_code_page(65001));
    EXPECT_EQ(code_page(), 1252);
}

TEST(Utf, ConversionsAndLoneSurrogates) {
    Text t = utf8_to_text("a\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(t, Text(u"a\u00E9\U0001F600"));
    EXPECT_EQ(text_to_utf8(t), "a\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(utf8_to_text("\xC0\xAF"), Text(u"\uFFFD\uFFFD"));  // overlong form rejected
    EXPECT_FALSE(has_lone_surrogate(t));
    EXPECT_TRUE(has_lone_surrogate(Text(1, char16_t(0xD800))));
    EXPECT_TRUE(has_lone_surrogate(Text(u"x") + char16_t(0xDC00)));
}

TEST(TextBuilder, AccumulatesAcrossGrowthAndReplacesUnmappable) {
    TextBuilder b;
    Text expected;
    for (int i = 0; i < 700; ++i) {
        b.append(u"ab\u00E9");
        expected += u"ab\u00E9";
    }
    b.append(u"\u0100");
    expected += u"?";
    EXPECT_EQ(b.size(), 2101u);
    EXPECT_EQ(b.take(), expected);
    b.clear();
    EXPECT_EQ(b.take(), Text());
}

}  // namespace
}  // namespace ombrak

namespace ombrak {
namespace {

TEST(Text, LowerCaseIsTheSameInEveryLocale) {
    // Pairs from the Unicode character database's simple lower-case mappings.
    const std::pair<char16_t, char16_t> pairs[] = {
        {u'A', u'a'},     {u'Z', u'z'},     {u'a', u'a'},     {u'1', u'1'},     {u'@', u'@'},
        {0x00C9, 0x00E9}, {0x00DE, 0x00FE}, {0x00D7, 0x00D7}, {0x00DF, 0x00DF}, {0x0160, 0x0161},
        {0x0152, 0x0153}, {0x017D, 0x017E}, {0x0178, 0x00FF}, {0x0141, 0x0142}, {0x0139, 0x013A},
        {0x0130, u'i'},   {0x0131, 0x0131}, {0x0386, 0x03AC}, {0x0388, 0x03AD}, {0x038C, 0x03CC},
        {0x038E, 0x03CD}, {0x038F, 0x03CE}, {0x0391, 0x03B1}, {0x03A9, 0x03C9}, {0x03C9, 0x03C9},
        {0x0401, 0x0451}, {0x0416, 0x0436}, {0x042F, 0x044F}, {0x0490, 0x0491}, {0x0451, 0x0451},
        {0x20AC, 0x20AC},
    };
    for (const auto& [upper, lower] : pairs)
        EXPECT_EQ(static_cast<int>(lower_case(upper)), static_cast<int>(lower)) << int{upper};
    // And back, for every pair of two different letters but the dotted capital I.
    for (const auto& [upper, lower] : pairs) {
        if (upper != lower && upper != 0x130) {
            EXPECT_EQ(static_cast<int>(upper_case(lower)), static_cast<int>(upper)) << int{lower};
        }
    }
    EXPECT_EQ(upper_case(0x00DF), 0x00DF);
    EXPECT_EQ(upper_case(0x03C2), 0x03C2);
}

}  // namespace
}  // namespace ombrak
