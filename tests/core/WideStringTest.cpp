#include "core/foundation/WideString.h"

#include <gtest/gtest.h>

using tonvane::WideString;

TEST(WideString, ReserveRuleGivesFixedStepsThenMultiplesOf4096)
{
    struct Case {
        int32_t request, capacity;
    } cases[] = {{1, 256}, {255, 256}, {256, 512}, {300, 512}, {511, 512}, {512, 1024}, {1023, 1024},
                 {1024, 2048}, {2047, 2048}, {2048, 4096}, {4095, 4096}, {4096, 8192}, {5000, 8192},
                 {8191, 8192}, {8192, 12288}};
    for (const Case& c : cases) {
        WideString text;
        text.reserve(c.request);
        EXPECT_EQ(text.capacity(), c.capacity) << "reserve(" << c.request << ")";
    }
}

TEST(WideString, ReserveKeepsTextAndNeverShrinks)
{
    WideString text(u"keep me");
    text.reserve(5000);
    EXPECT_EQ(text.capacity(), 8192);
    EXPECT_EQ(text.view(), u"keep me");
    text.reserve(10);
    EXPECT_EQ(text.capacity(), 8192);
}

TEST(WideString, EmptyStringOwnsNoStorageUntilWritten)
{
    WideString text;
    EXPECT_EQ(text.data(), nullptr);
    EXPECT_EQ(text.capacity(), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(text.text()), ""); // still a valid empty text
    text.appendChar(u'x');
    EXPECT_EQ(text.capacity(), 256);
    EXPECT_EQ(text.length(), 1);
    EXPECT_EQ(text.data()[1], 0);
}

TEST(WideString, MeasureStopsAtTheLimit)
{
    std::u16string exact(4095, u'a');
    EXPECT_EQ(WideString::measure(exact.c_str()), 4095);
    std::u16string tooLong(4096, u'a');
    EXPECT_EQ(WideString::measure(tooLong.c_str()), -1);
    EXPECT_EQ(WideString::measure(u""), 0);
    // A text longer than the limit is still taken whole by the constructor.
    WideString whole(tooLong.c_str());
    EXPECT_EQ(whole.length(), 4096);
}

TEST(WideString, EveryWriteKeepsTheTerminator)
{
    WideString text;
    text.assign(u"abc");
    EXPECT_EQ(text.data()[3], 0);
    text.append(u"de");
    EXPECT_EQ(text.data()[5], 0);
    text.appendDecimal(-42);
    EXPECT_EQ(text.view(), u"abcde-42");
    EXPECT_EQ(text.data()[text.length()], 0);
    text.append(text.view()); // appending itself while it grows
    EXPECT_EQ(text.view(), u"abcde-42abcde-42");
}

TEST(WideString, AppendDecimalCoversSignsAndExtremes)
{
    WideString text;
    text.appendDecimal(0);
    text.appendChar(u' ');
    text.appendDecimal(2147483647);
    text.appendChar(u' ');
    text.appendDecimal(-2147483647 - 1);
    EXPECT_EQ(text.view(), u"0 2147483647 -2147483648");
}

TEST(WideString, FormattedNumberPadsTrackNumbersAndTimes)
{
    auto format = [](int32_t integer, int32_t fraction, int32_t minInt, int32_t minFrac, bool pad, bool keep) {
        WideString text;
        text.appendFormattedNumber(integer, fraction, minInt, minFrac, pad, keep);
        return std::u16string(text.view());
    };
    EXPECT_EQ(format(5, 0, 2, 0, true, false), u"05");
    EXPECT_EQ(format(7, 0, 2, 0, true, false), u"07");
    EXPECT_EQ(format(0, 0, 2, 0, true, false), u"00");
    EXPECT_EQ(format(123, 0, 2, 0, true, false), u"123");
    EXPECT_EQ(format(10, 0, 2, 0, true, false), u"10");
    EXPECT_EQ(format(3, 5, 0, 2, false, false), u"3.05");
    EXPECT_EQ(format(3, 50, 0, 2, false, false), u"3.5");
    EXPECT_EQ(format(3, 50, 0, 2, false, true), u"3.50");
}

TEST(WideString, ReplaceAllRemovesAndReplaces)
{
    WideString text(u"AC/DC: \"Live\" AC/DC");
    text.replaceAll(u"\"", u"'");
    text.replaceAll(u"/", u"");
    text.replaceAll(u":", u"");
    EXPECT_EQ(text.view(), u"ACDC 'Live' ACDC");
    text.replaceAll(u"ACDC", u"AC-DC band");
    EXPECT_EQ(text.view(), u"AC-DC band 'Live' AC-DC band");
}

TEST(WideString, KeyPathsJoinWithBackslashFilePathsWithSlash)
{
    WideString key(u"SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2");
    WideString withMain = key;
    withMain.joinKeyPath(u"\\Main");
    EXPECT_EQ(withMain.view(), u"SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2\\Main");
    WideString withEmpty = key;
    withEmpty.joinKeyPath(u"");
    EXPECT_EQ(withEmpty.view(), u"SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2\\");
    WideString withPlain = key;
    withPlain.joinKeyPath(u"FreeDB");
    EXPECT_EQ(withPlain.view(), u"SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2\\FreeDB");

    WideString folder(u"/home/ana/Music");
    folder.joinFilePath(u"01 - Intro.mp3");
    EXPECT_EQ(folder.view(), u"/home/ana/Music/01 - Intro.mp3");
    WideString rooted(u"/srv");
    rooted.joinFilePath(u"/x");
    EXPECT_EQ(rooted.view(), u"/srv/x");
}

TEST(WideString, CopiesAndMovesOwnTheirStorage)
{
    WideString a(u"first");
    WideString b = a;
    b.append(u" copy");
    EXPECT_EQ(a.view(), u"first");
    WideString c = std::move(b);
    EXPECT_EQ(c.view(), u"first copy");
    EXPECT_TRUE(b.empty());
    a = c;
    EXPECT_EQ(a.view(), u"first copy");
    a = a; // self-assignment keeps the text
    EXPECT_EQ(a.view(), u"first copy");
}
