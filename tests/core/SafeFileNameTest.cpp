#include "core/disc/ConversionJob.h"
#include "core/disc/SafeFileName.h"
#include "core/foundation/Utf.h"

#include <gtest/gtest.h>

#include <string>

using namespace tonvane;

namespace {

std::u16string repeat(std::u16string_view piece, int times)
{
    std::u16string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

// What must never be in a name given to the file system.
void expectHarmless(const std::string& utf8, const std::string& context)
{
    SCOPED_TRACE(context);
    EXPECT_LE(utf8.size(), kMaxFileNameBytes);
    EXPECT_EQ(utf8.find('/'), std::string::npos);
    EXPECT_EQ(utf8.find('\0'), std::string::npos);
    EXPECT_EQ(WideString::fromUtf8(utf8).toUtf8(), utf8); // valid UTF-8 that survives a round trip
    EXPECT_EQ(utf8.find("\xEF\xBF\xBD"), std::string::npos); // no U+FFFD from a broken surrogate
    for (const char* forbidden : {"\xE2\x80\xAE", "\xE2\x80\xAA", "\xE2\x81\xA6", "\xE2\x81\xA9", "\xEF\xBB\xBF", "\xC2\x85"})
        EXPECT_EQ(utf8.find(forbidden), std::string::npos);
    for (unsigned char c : utf8)
        EXPECT_TRUE(c >= 0x20 && c != 0x7F) << "control byte " << int(c);
    if (!utf8.empty()) {
        EXPECT_NE(utf8.front(), '.');
        EXPECT_NE(utf8.back(), '.');
        EXPECT_NE(utf8.back(), ' ');
    }
}

} // namespace

TEST(SafeFileName, HostileTextsBecomeHarmlessNames)
{
    struct Case {
        const char* name;
        std::u16string text;
        std::u16string expected; // empty: the caller's fallback
    } cases[] = {
        {"plain", u"Blue in Green", u"Blue in Green"},
        {"separators and quotes", u"AC/DC: \"Live\" <a|b> \\", u"ACDC 'Live' ab"},
        {"right-to-left override", u"evil\u202Egnp.exe", u"evilgnp.exe"},
        {"every bidi control", u"\u202Aa\u202Bb\u202Cc\u202Dd\u202Ee\u2066f\u2067g\u2068h\u2069", u"abcdefgh"},
        {"climbing out", u"../../etc/passwd", u"etcpasswd"},
        {"dot dot", u"..", u""},
        {"dot", u".", u""},
        {"spaced dot", u" . ", u""},
        {"hidden", u".bashrc", u"bashrc"},
        {"trailing dots and spaces", u"Why? ... ", u"Why?"},
        {"NUL inside", std::u16string(u"Side A\0Side B", 13), u"Side ASide B"},
        {"C0 and DEL", u"a\tb\nc\x01\x1F\x7F" u"d", u"abcd"},
        {"C1", u"a\u0080b\u0085c\u009F", u"abc"},
        {"byte order mark", u"\uFEFFTitle\uFEFF", u"Title"},
        {"only controls", u"\u202E\uFEFF\x01", u""},
        {"lone high surrogate", std::u16string(u"a") + char16_t(0xD83D) + u"b", u"ab"},
        {"lone low surrogate at the end", std::u16string(u"ab") + char16_t(0xDE00), u"ab"},
        {"pair kept", u"smile \U0001F600", u"smile \U0001F600"},
        {"accents and kana", u"Ça ira – 東京", u"Ça ira – 東京"},
    };
    for (const Case& c : cases) {
        WideString name = safePathComponent(c.text);
        EXPECT_EQ(name.view(), std::u16string_view(c.expected)) << c.name;
        expectHarmless(name.toUtf8(), c.name);
    }
}

TEST(SafeFileName, LongNamesAreCutAtCharacterBoundariesAndTrimmedAgain)
{
    struct Case {
        const char* name;
        std::u16string text;
        size_t maxBytes;
        size_t expectedBytes;
    } cases[] = {
        {"300 bytes of 4-byte characters", repeat(u"\U0001D11E", 75), 255, 252},
        {"4-byte characters, odd budget", repeat(u"\U0001D11E", 75), 10, 8},
        {"3-byte characters", repeat(u"日", 100), 255, 255},
        {"2-byte characters", repeat(u"é", 200), 255, 254},
        {"cut lands on a space", u"abc" + repeat(u" ", 300) + u"d", 100, 3},
        {"cut lands on dots", u"ab" + repeat(u".", 300), 50, 2},
        {"no room", u"abc", 0, 0},
    };
    for (const Case& c : cases) {
        std::string utf8 = safePathComponent(c.text, c.maxBytes).toUtf8();
        EXPECT_EQ(utf8.size(), c.expectedBytes) << c.name;
        expectHarmless(utf8, c.name);
    }
}

TEST(SafeFileName, TrackNamesFallBackToTheUntitledNameAndKeepTheirTemporaryFormShort)
{
    fillLanguageSlots();
    setCurrentLanguage(kEnglish);
    ConversionJob job;
    job.resetTracks(12);
    job.count = 12;
    job.outputFolder = WideString(u"/music/");
    struct Case {
        std::u16string title;
        std::u16string suffix;
        std::u16string expected; // the final path
    } cases[] = {
        {u"..", u"", u"/music/Track 1.flac"},
        {u" . ", u"", u"/music/Track 2.flac"},
        {u"\u202E\uFEFF", u"", u"/music/Track 3.flac"},
        {u"../../etc", u"", u"/music/04 - etc.flac"},
        {u"Intro", u" (2)", u"/music/05 - Intro (2).flac"},
        {u"", u" (3)", u"/music/Track 6 (3).flac"},
        {u".hidden.", u"", u"/music/07 - hidden.flac"},
        {u"Outro", u"/../x\u202E", u"/music/08 - Outro..x.flac"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        TrackEntry& entry = job.tracks[i];
        entry.format = kFormatFlac;
        entry.title = WideString(std::u16string_view(cases[i].title));
        entry.nameSuffix = WideString(std::u16string_view(cases[i].suffix));
        EXPECT_EQ(job.outputPath(static_cast<int32_t>(i)).view(), std::u16string_view(cases[i].expected)) << i;
    }
    EXPECT_EQ(job.partPath(4).view(), u"/music/.05 - Intro (2).flac.part");

    // 300 bytes of 4-byte characters with a suffix: final and temporary names fit NAME_MAX, the
    // suffix and extension survive, nothing is split.
    TrackEntry& longEntry = job.tracks[11];
    longEntry.format = kFormatVorbis;
    longEntry.title = WideString(repeat(u"\U0001D11E", 75));
    longEntry.nameSuffix = WideString(u" (2)");
    std::string finalName = job.outputPath(11).toUtf8().substr(7), partName = job.partPath(11).toUtf8().substr(7);
    expectHarmless(finalName, "final");
    EXPECT_LE(partName.size(), kMaxFileNameBytes);
    EXPECT_EQ(partName, "." + finalName + ".part");
    EXPECT_EQ(finalName.substr(0, 5), "12 - ");
    EXPECT_EQ(finalName.substr(finalName.size() - 8), " (2).ogg");
    EXPECT_EQ((finalName.size() - 5 - 8) % 4, 0u);
    EXPECT_GE(partName.size(), kMaxFileNameBytes - 3);

    // A suffix longer than half a name is cut; the whole name still fits.
    longEntry.nameSuffix = WideString(repeat(u"é", 200));
    std::string partOfLong = job.partPath(11).toUtf8().substr(7);
    EXPECT_LE(partOfLong.size(), kMaxFileNameBytes);
    EXPECT_EQ(partOfLong.substr(0, 5), ".12 -");
    expectHarmless(job.outputPath(11).toUtf8().substr(7), "long suffix");
}
