// Fitting text to a width with an ellipsis: the strings chosen for a table of widths, the
// character boundaries a cut respects over every width, and the pixels of a fitted line.
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/FontList.h"
#include "graphics/text/TextFit.h"
#include "graphics/text/TextLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tonvane {
namespace {

class TextFit : public ::testing::Test {
protected:
    void SetUp() override
    {
        font = FontRef(getFont(u"Tahoma", 8, false, false));
        ASSERT_TRUE(font);
    }
    double width(std::u16string_view text)
    {
        return measureLine(*font.get(), text.data(), uint32_t(text.size()), 1e9).width;
    }
    FontRef font;
};

TEST_F(TextFit, ChosenStringsForATableOfWidths)
{
    const double e = width(u"…");
    ASSERT_GT(e, 0) << "the face has no ellipsis";
    struct Case {
        std::u16string text;
        double available;
        std::u16string fitted;
        bool cut;
    };
    const Case cases[] = {
        {u"Morning Light", width(u"Morning Light"), u"Morning Light", false},
        {u"Morning Light", width(u"Morning Light") - 0.01, u"Morning Li…", true}, // "ght" is wider than "…"
        {u"Morning Light", width(u"Morning L") + e, u"Morning L…", true},
        {u"Morning Light", width(u"Morning L") + e - 0.01, u"Morning…", true}, // the space before it goes
        {u"Morning Light", width(u"M") + e, u"M…", true},
        {u"Morning Light", e, u"…", true},
        {u"Morning Light", e - 0.01, u"", true},
        {u"", 100, u"", false},
        {u"Über die Brücke", width(u"Über") + e + 0.5, u"Über…", true},
        // A decomposed ë keeps its mark: no cut between the e and U+0308.
        {u"Zoe\u0308 Noe\u0308l", width(u"Zoe\u0308") + e, u"Zoe\u0308…", true},
        // A kana with its sound mark stays whole; the mark is never left behind alone.
        {u"か\u3099か\u3099みみみ", width(u"か\u3099か\u3099") + e, u"か\u3099か\u3099…", true},
        {u"か\u3099か\u3099みみみ", width(u"か\u3099") + e + 0.5, u"か\u3099…", true},
        // A character outside the basic plane is one character: both halves or neither (these
        // two have no glyph in the face and measure 0).
        {u"ab\U0001D400\U0001D400cd", width(u"ab") + e, u"ab\U0001D400\U0001D400…", true},
        {u"Первая песня", width(u"Первая п") + e, u"Первая п…", true},
        {u"one\ntwo", 1000, u"one", false},
    };
    for (const Case& c : cases) {
        FittedText got = fitWithEllipsis(*font.get(), c.text, c.available);
        EXPECT_EQ(got.text, c.fitted) << std::string(c.text.begin(), c.text.end()) << " in " << c.available;
        EXPECT_EQ(got.cut, c.cut) << std::string(c.text.begin(), c.text.end());
        EXPECT_DOUBLE_EQ(got.width, width(got.text));
    }
}

TEST_F(TextFit, EveryWidthCutsAtACharacterBoundaryAndTheResultFits)
{
    const std::u16string texts[] = {
        u"Über die Brücke, À propos, Ñandú y Йошкар-Ола",
        u"Cafe\u0301 Noe\u0308l \U0001D400\U0001D401 か\u3099ら\u309Aす",
        u"夜明けの歌（ライブ・バージョン）",
    };
    for (const std::u16string& text : texts) {
        double whole = width(text);
        for (double available = 0; available <= whole + 2; available += 0.75) {
            FittedText got = fitWithEllipsis(*font.get(), text, available);
            ASSERT_LE(got.width, available + 1e-9) << available;
            if (!got.cut) {
                EXPECT_EQ(got.text, text);
                continue;
            }
            if (got.text.empty())
                continue;
            ASSERT_EQ(got.text.back(), kEllipsis);
            std::u16string head = got.text.substr(0, got.text.size() - 1);
            ASSERT_EQ(text.compare(0, head.size(), head), 0) << "not a head of the text";
            ASSERT_LT(head.size(), text.size());
            char16_t next = text[head.size()];
            EXPECT_FALSE(next >= 0xDC00 && next <= 0xDFFF) << "cut inside a surrogate pair at " << head.size();
            EXPECT_FALSE(joinsPrevious(next)) << "a mark left without its letter at " << head.size();
            EXPECT_TRUE(head.empty() || head.back() != u' ') << "a space before the ellipsis";
        }
    }
}

TEST_F(TextFit, WrappedLinesTakeEveryWordAndTheLastEndsInAnEllipsis)
{
    std::u16string text = u"Änderungen auf alle Tracks anwenden";
    double room = width(u"Änderungen auf alle") + 1;
    auto two = wrapWithEllipsis(*font.get(), text, room, 2);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0], u"Änderungen auf alle");
    EXPECT_EQ(two[1], u"Tracks anwenden");
    auto one = wrapWithEllipsis(*font.get(), text, room, 1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].back(), kEllipsis);
    EXPECT_LE(width(one[0]), room);
    auto narrow = wrapWithEllipsis(*font.get(), text, width(u"Tracks") + 0.5, 3);
    ASSERT_EQ(narrow.size(), 3u);
    EXPECT_EQ(narrow[2].back(), kEllipsis);
    EXPECT_TRUE(wrapWithEllipsis(*font.get(), text, room, 0).empty());
}

TEST_F(TextFit, AFittedLineInksNothingPastItsBoxAndDrawsTheEllipsisGlyph)
{
    std::u16string title(170, u'x');
    for (size_t i = 0; i < title.size(); i += 7)
        title[i] = u' ';
    constexpr int32_t kWidth = 300, kHeight = 24;
    constexpr double kLeft = 10, kRight = 180;
    FittedText fitted = fitWithEllipsis(*font.get(), title, kRight - kLeft);
    ASSERT_TRUE(fitted.cut);
    Surface s(1), alone(1);
    for (Surface* surface : {&s, &alone}) {
        ASSERT_TRUE(surface->setSize(kWidth, kHeight));
        surface->begin();
        surface->font = font.get();
        surface->text_colour = 0xFF000000u;
    }
    drawText(s, fitted.text.c_str(), int32_t(fitted.text.size()), 0, kLeft, 0, kRight, 20);
    s.render();
    // The ellipsis drawn alone where the fitted line puts it gives the same pixels there.
    double ellipsisX = kLeft + fitted.width - width(u"…");
    drawText(alone, u"…", 1, 0, ellipsisX, 0, kWidth, 20);
    alone.render();
    int inkedEllipsis = 0;
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            if (x >= int32_t(std::ceil(kRight))) {
                ASSERT_EQ(s.pixel(x, y), 0u) << "ink past the box at " << x << "," << y;
            }
            if (x >= int32_t(std::ceil(ellipsisX)) + 1 && alone.pixel(x, y) != 0) {
                EXPECT_EQ(s.pixel(x, y), alone.pixel(x, y)) << x << "," << y;
                ++inkedEllipsis;
            }
        }
    EXPECT_GE(inkedEllipsis, 3) << "the ellipsis glyph is not there";
}

} // namespace
} // namespace tonvane
