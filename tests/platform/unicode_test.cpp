// UTF-8/UTF-16 conversion and the device's case rules.
#include "platform/unicode.h"

#include <gtest/gtest.h>

namespace {

using namespace win;

TEST(Unicode, Utf8DecodesAndReplacesEachMalformedByte) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"NX.EXE", u"NX.EXE"},
        {"\xC2\xA7", u"\u00A7"},  // the field separator
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},                // a surrogate pair
        {"a\x80z", u"a\uFFFDz"},                            // stray continuation byte
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong
        {"\xE2\x82", u"\uFFFD\uFFFD"},                      // cut short at the end
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
}

TEST(Unicode, Utf16EncodesAndReplacesUnpairedSurrogates) {
    struct Case {
        std::u16string utf16;
        std::string utf8;
    } cases[] = {
        {u"\u00A7\u20AC", "\xC2\xA7\xE2\x82\xAC"},       {u"\U0001F600", "\xF0\x9F\x98\x80"},
        {std::u16string{0xD83D, u'x'}, "\xEF\xBF\xBDx"}, {std::u16string{0xDE00}, "\xEF\xBF\xBD"},
        {std::u16string{u'a', 0xD83D}, "a\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
}

TEST(Unicode, UpperCasingAndComparisonIgnoreLetterCaseOnly) {
    std::u16string text = u"nx.exe \u00e0\u00df\u00ff\u03c9 \U0001F600";
    CharUpperW(text);
    EXPECT_EQ(text, u"NX.EXE \u00c0\u00df\u0178\u03a9 \U0001F600");
    // Letters whose capital is another letter's: micro sign, dotless i, long s, titlecase dz,
    // final sigma, the Greek beta symbol, Cyrillic rounded ve, long s with dot.
    std::u16string kept = u"\u00b5\u0131\u017f\u01c5\u03c2\u03d0\u1c80\u1e9b";
    CharUpperW(kept);
    EXPECT_EQ(kept, u"\u00b5\u0131\u017f\u01c5\u03c2\u03d0\u1c80\u1e9b");
    EXPECT_FALSE(EqualsIgnoreCase(u"\u03c2", u"\u03a3"));
    EXPECT_TRUE(EqualsIgnoreCase(u"FlashDisk\\Nedix", u"FLASHDISK\\nedix"));
    EXPECT_TRUE(EqualsIgnoreCase(u"\u00e9t\u00e9", u"\u00c9T\u00c9"));
    EXPECT_FALSE(EqualsIgnoreCase(u"NX.EXE", u"NX.EXE "));
    EXPECT_FALSE(EqualsIgnoreCase(u"NX.EXE", u"NX_EXE"));
}

}  // namespace
