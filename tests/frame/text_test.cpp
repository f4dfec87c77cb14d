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
