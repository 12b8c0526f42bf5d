#include "core/foundation/Utf.h"
#include "core/foundation/WideString.h"

#include <gtest/gtest.h>

using namespace tonvane;

TEST(Utf, RoundTripsEveryPlane)
{
    std::u16string text = u"Añ日本語Ру😀\U0010FFFF";
    std::string utf8 = utf16ToUtf8(text);
    EXPECT_EQ(utf8, "A\xC3\xB1\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xD0\xA0\xD1\x83\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF");
    EXPECT_EQ(utf8ToUtf16(utf8), text);
    EXPECT_TRUE(isValidUtf8(utf8));
}

TEST(Utf, UnpairedSurrogatesBecomeReplacementCharacters)
{
    std::u16string broken{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
    EXPECT_EQ(utf16ToUtf8(broken), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST(Utf, IllFormedUtf8IsReplacedPerMaximalSubpart)
{
    struct Case {
        std::string input;
        std::u16string expected;
    } cases[] = {
        {"\x80", u"\uFFFD"},                          // stray continuation
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                // overlong '/'
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},      // overlong three-byte form
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},      // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\xE6\x97", u"\uFFFD"},                      // cut short at the end
        {"\xE6\x97" "A", u"\uFFFD" "A"},              // cut short before ASCII
        {"\xFF\xFE", u"\uFFFD\uFFFD"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToUtf16(c.input), c.expected);
        EXPECT_EQ(isValidUtf8(c.input), c.input == std::string("a\0b", 3));
    }
}

TEST(Utf, Latin1MapsEachByteToItsCodePoint)
{
    EXPECT_EQ(latin1ToUtf16("Caf\xE9 \xFC"), u"Café ü");
}

TEST(Utf, WideStringConvertsBothWays)
{
    WideString text = WideString::fromUtf8("Motörhead – 東京");
    EXPECT_EQ(text.view(), u"Motörhead – 東京");
    EXPECT_EQ(text.toUtf8(), "Motörhead – 東京");
}
