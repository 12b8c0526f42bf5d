// Fonts, glyph cache, line fitting and layout, and the text command. Oracles: FreeType called
// directly on the same font file, and pixels of runs drawn word by word.
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/FontList.h"
#include "graphics/text/TextLayout.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tonvane {
namespace {

// FreeType on its own, opened on the file the font uses.
class DirectFace {
public:
    DirectFace(const FontFile& file, int32_t pointSize, int32_t dpi)
    {
        FT_Init_FreeType(&m_library);
        if (FT_New_Face(m_library, file.path.c_str(), file.faceIndex, &m_face) != 0)
            m_face = nullptr;
        else
            FT_Set_Char_Size(m_face, pointSize * 64, pointSize * 64, dpi, dpi);
    }
    ~DirectFace()
    {
        if (m_face != nullptr)
            FT_Done_Face(m_face);
        FT_Done_FreeType(m_library);
    }
    bool has(char32_t c) const { return FT_Get_Char_Index(m_face, c) != 0; }
    FT_GlyphSlot render(char32_t c) const
    {
        return FT_Load_Char(m_face, c, FT_LOAD_RENDER) == 0 ? m_face->glyph : nullptr;
    }
    double advance(char32_t c) const
    {
        return FT_Load_Char(m_face, c, FT_LOAD_RENDER) == 0 ? m_face->glyph->advance.x / 64.0 : 0;
    }
    bool ok() const { return m_face != nullptr; }

private:
    FT_Library m_library = nullptr;
    FT_Face m_face = nullptr;
};

// The cached glyph's level at bitmap row `rowFromTop`, column `x`.
int cachedLevel(const Glyph& g, int rowFromTop, int x)
{
    const GlyphRow& run = g.rowRuns[g.rows - 1 - rowFromTop];
    if (x < run.first || x >= run.first + run.count)
        return 0;
    return g.coverage[run.offset + (x - run.first)];
}

std::string describe(char32_t c)
{
    return "U+" + std::to_string(static_cast<unsigned>(c));
}

const Glyph* lockedGlyph(Font& font, char32_t c)
{
    std::lock_guard guard(textLock());
    return font.glyph(c);
}

TEST(Fonts, CachedGlyphsEqualWhatFreeTypeRenders)
{
    struct Face {
        const char16_t* name;
        int32_t size;
        bool bold;
    };
    const Face faces[] = {{u"Tahoma", 8, false}, {u"Tahoma", 10, true}, {u"Arial", 13, false}};
    std::u32string characters;
    for (char32_t c = 32; c < 127; ++c)
        characters += c;
    characters += U"éßØñ€ДЖщ";
    for (const Face& face : faces) {
        FontRef font(getFont(face.name, face.size, face.bold, false));
        ASSERT_TRUE(font);
        for (char32_t c : characters)
            lockedGlyph(*font.get(), c);
        DirectFace direct(font->facesUsed().at(0), face.size, font->dpi());
        ASSERT_TRUE(direct.ok());
        for (char32_t c : characters) {
            const Glyph* g = font->cachedGlyph(c);
            FT_GlyphSlot slot = direct.render(c);
            ASSERT_EQ(g != nullptr, direct.has(c)) << describe(c);
            if (g == nullptr)
                continue;
            ASSERT_NE(slot, nullptr);
            ASSERT_EQ(g->rows, int(slot->bitmap.rows)) << describe(c);
            ASSERT_EQ(g->width, int(slot->bitmap.width)) << describe(c);
            EXPECT_EQ(g->left, slot->bitmap_left) << describe(c);
            EXPECT_EQ(g->bottom, slot->bitmap_top - int(slot->bitmap.rows)) << describe(c);
            EXPECT_EQ(g->advance_x, slot->advance.x / 64.0) << describe(c);
            for (int y = 0; y < g->rows; ++y)
                for (int x = 0; x < g->width; ++x)
                    ASSERT_EQ(cachedLevel(*g, y, x), slot->bitmap.buffer[y * slot->bitmap.pitch + x])
                        << describe(c) << " at " << x << "," << y;
        }
        // Line metrics and the measured width of a line are FreeType's.
        std::u16string line = u"Tonvane rips, tags & encodes: 12 tracks";
        LineFit fit = measureLine(*font.get(), line.data(), uint32_t(line.size()), 1e6);
        double sum = 0;
        for (char16_t c : line)
            sum += direct.advance(c);
        EXPECT_EQ(fit.characters, line.size());
        EXPECT_DOUBLE_EQ(fit.width, sum);
        EXPECT_EQ(fit.spaces, 6u);
    }
}

TEST(Fonts, FaceNamesIgnoreCaseAndCountReferences)
{
    Font* a = getFont(u"tahoma", 9, false, false);
    Font* b = getFont(u"TAHOMA", 9, false, false);
    Font* bold = getFont(u"Tahoma", 9, true, false);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->refs, 2);
    EXPECT_NE(a, bold);
    EXPECT_TRUE(sameFaceName(u"ДЕЙА Vu", u"дейа vU"));
    EXPECT_FALSE(sameFaceName(u"Tahoma", u"Tahom"));
    releaseFont(bold);
    releaseFont(b);
    EXPECT_EQ(a->refs, 1);
    releaseFont(a);

    // The shared default font and its larger sibling.
    ASSERT_TRUE(startTextEngine());
    FontRef small(defaultFont());
    FontRef large(defaultLargeFont());
    ASSERT_TRUE(small && large);
    EXPECT_EQ(small->point_size, 8);
    EXPECT_EQ(large->point_size, 10);
    EXPECT_TRUE(sameFaceName(small->face_name, u"Tahoma"));
    EXPECT_GT(small->line_height, 0);
    EXPECT_GT(small->average_advance, 0);
    EXPECT_GT(small->space_advance, 0);
    EXPECT_EQ(getFont(u"Tahoma", 0, false, false), nullptr);
    // Bytes FreeType cannot open give no font.
    FontFile garbage;
    garbage.bytes = std::make_shared<std::vector<uint8_t>>(4096, 0x5A);
    garbage.path = "garbage.ttf";
    EXPECT_EQ(Font::create(u"Garbage", 8, false, false, 96, garbage), nullptr);
}

TEST(Fonts, KanaAndIdeographsMissingFromTheFaceComeFromAFaceThatHasThem)
{
    FontRef font(getFont(u"Tahoma", 8, false, false));
    ASSERT_TRUE(font);
    DirectFace own(font->facesUsed().at(0), 8, font->dpi());
    for (char32_t c : {U'あ', U'カ', U'漢', U'字'}) {
        ASSERT_FALSE(own.has(c)) << "the Latin face has " << describe(c) << "; pick another character";
        const Glyph* g = lockedGlyph(*font.get(), c);
        ASSERT_NE(g, nullptr) << describe(c) << ": is fonts-ipafont-gothic installed?";
        EXPECT_GT(g->advance_x, 0);
    }
    std::vector<FontFile> faces = font->facesUsed();
    ASSERT_EQ(faces.size(), 2u);
    DirectFace fallback(faces[1], 8, font->dpi());
    EXPECT_TRUE(fallback.has(U'あ'));
    const Glyph* g = font->cachedGlyph(U'あ');
    FT_GlyphSlot slot = fallback.render(U'あ');
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(g->rows, int(slot->bitmap.rows));
    // CJK punctuation and full-width forms fall back too: without it a Japanese title would lose
    // its full stops and brackets.
    for (char32_t c : {U'。', U'「', U'：'}) {
        ASSERT_FALSE(own.has(c)) << describe(c);
        EXPECT_NE(lockedGlyph(*font.get(), c), nullptr) << describe(c);
    }
    // Characters no face has measure 0 and are not searched twice.
    EXPECT_EQ(lockedGlyph(*font.get(), 0xE000), nullptr);
    EXPECT_EQ(lockedGlyph(*font.get(), 0xE000), nullptr);
}

class Layout : public ::testing::Test {
protected:
    void SetUp() override
    {
        font = FontRef(getFont(u"Arial", 10, false, false));
        ASSERT_TRUE(font);
    }
    double width(std::u16string_view text)
    {
        return measureLine(*font.get(), text.data(), uint32_t(text.size()), 1e9).width;
    }
    std::vector<LaidOutLine> lines(std::u16string_view text, uint32_t flags, double boxWidth, double boxHeight = 1000)
    {
        return layoutText(*font.get(), text.data(), int32_t(text.size()), flags, 10, 1000 - boxHeight, 10 + boxWidth,
                          1000);
    }
    std::u16string lineText(std::u16string_view text, const LaidOutLine& line)
    {
        return std::u16string(text.substr(line.start, line.characters));
    }
    FontRef font;
};

TEST_F(Layout, LineFittingBreaksAtSpacesInsideWordsTabsAndLineFeeds)
{
    std::u16string text = u"alpha beta  gamma";
    // Room for "alpha beta" and part of the double space: the line ends at the last space.
    auto fitted = lines(text, 0, width(u"alpha beta  g"));
    ASSERT_EQ(fitted.size(), 2u);
    EXPECT_EQ(lineText(text, fitted[0]), u"alpha beta ");
    EXPECT_EQ(fitted[0].width, width(u"alpha beta "));
    EXPECT_EQ(lineText(text, fitted[1]), u"gamma") << "spaces at the start of a soft-broken line are skipped";

    // A word longer than the box is broken inside the word.
    std::u16string word = u"oooooooooo";
    auto broken = lines(word, 0, width(u"oooo") + 0.5);
    ASSERT_EQ(broken.size(), 3u);
    EXPECT_EQ(lineText(word, broken[0]), u"oooo");
    EXPECT_EQ(lineText(word, broken[2]), u"oo");

    // A box narrower than the first character draws nothing.
    EXPECT_TRUE(lines(word, 0, width(u"a") - 0.5).empty());

    // A tab is eight space widths from where it stands, not a tab stop; a line feed ends a line.
    EXPECT_DOUBLE_EQ(width(u"ab\tc"), width(u"ab") + 8 * font->space_advance + width(u"c"));
    EXPECT_DOUBLE_EQ(width(u"\t"), width(u"        "));
    LineFit feed = measureLine(*font.get(), u"one\ntwo", 7, 1e9);
    EXPECT_EQ(feed.characters, 3u);
    EXPECT_EQ(feed.end, LineEnd::LineFeed);
    auto paragraph = lines(u"one\n\ntwo", 0, 500);
    ASSERT_EQ(paragraph.size(), 2u);
    EXPECT_DOUBLE_EQ(paragraph[0].run.baselineY - paragraph[1].run.baselineY, 2 * font->line_height)
        << "an empty line still takes its height";
    // A tab that would overflow ends the line there.
    LineFit tab = measureLine(*font.get(), u"ab\tcd", 5, width(u"ab") + 1);
    EXPECT_EQ(tab.characters, 2u);
    EXPECT_EQ(tab.end, LineEnd::SoftBreak);
}

TEST_F(Layout, AlignmentBoxesAndLimits)
{
    std::u16string text = u"one two three four five six seven";
    double box = width(u"one two three") + 1;
    auto left = lines(text, 0, box);
    auto centre = lines(text, kTextCentre, box);
    auto right = lines(text, kTextRight, box);
    auto justify = lines(text, kTextJustify, box);
    ASSERT_GE(left.size(), 3u);
    for (size_t i = 0; i < left.size(); ++i) {
        double slack = box - left[i].width;
        EXPECT_DOUBLE_EQ(left[i].run.penX, 10);
        EXPECT_DOUBLE_EQ(centre[i].run.penX, 10 + slack / 2);
        EXPECT_DOUBLE_EQ(right[i].run.penX, 10 + slack);
        EXPECT_DOUBLE_EQ(left[i].run.baselineY, 1000 - font->ascender - i * font->line_height);
        EXPECT_DOUBLE_EQ(left[i].run.boxBottom, left[i].run.baselineY - font->descender);
        EXPECT_DOUBLE_EQ(left[i].run.boxHeight, font->line_height);
        bool last = i + 1 == left.size();
        EXPECT_EQ(justify[i].run.spaces, last ? 0u : 2u) << "line " << i;
        EXPECT_DOUBLE_EQ(justify[i].run.distribute, last ? 0 : slack) << "line " << i;
    }
    // Lines that end in a line feed are not stretched either.
    auto fed = lines(u"a b\nc d e f g h i j k l m n o p", kTextJustify, width(u"c d e f") + 1);
    ASSERT_GE(fed.size(), 3u);
    EXPECT_EQ(fed[0].run.spaces, 0u);
    EXPECT_GT(fed[1].run.spaces, 0u);

    // Vertical centring: one line, centred by the point size.
    auto centred = lines(u"first\nsecond", kTextVerticalCentre, 500, 40);
    ASSERT_EQ(centred.size(), 1u);
    EXPECT_DOUBLE_EQ(centred[0].run.baselineY, 960 + (40 - 10) / 2.0);

    // Lines that would start below the box are not drawn.
    auto clipped = lines(text, 0, box, 1.5 * font->line_height);
    EXPECT_EQ(clipped.size(), 2u);

    // Length -1: up to the terminating zero, at most 4096 units.
    std::u16string many(5000, u'x');
    auto all = layoutText(*font.get(), many.c_str(), kTextUpToZero, 0, 0, -1e9, 1e9, 0);
    uint32_t total = 0;
    for (const LaidOutLine& line : all)
        total += line.characters;
    EXPECT_EQ(total, 4096u);
    auto shortText = layoutText(*font.get(), u"abc", kTextUpToZero, 0, 0, 0, 1000, 100);
    ASSERT_EQ(shortText.size(), 1u);
    EXPECT_EQ(shortText[0].characters, 3u);
}

// The surface's premultiplied pixels as a byte string, to compare whole pictures.
std::vector<uint32_t> picture(const Surface& s)
{
    return std::vector<uint32_t>(s.pixels(), s.pixels() + size_t(s.width()) * s.height());
}

TEST_F(Layout, JustifiedSpacesWidenByWholePixelsAndGlyphsLandOnWholePixels)
{
    // "aa bb cc dd" justified in a box 17.6 pixels wider than the line: after the k-th space the
    // extra is floor(k x 17.6 / 3) = 5, 11, 17. Drawn word by word at those places it must give
    // the same pixels.
    std::u16string text = u"aa bb cc dd eeeeeeeeee";
    double natural = width(u"aa bb cc dd");
    double slack = 17.6;
    Surface together(1), apart(1);
    for (Surface* s : {&together, &apart}) {
        ASSERT_TRUE(s->setSize(300, 40));
        s->begin();
        s->font = font.get();
    }
    drawText(together, text.c_str(), int32_t(text.size()), kTextJustify, 3.3, 0, 3.3 + natural + slack, 30);
    // Only the first line is compared: draw it alone in the second picture.
    const char16_t* words[] = {u"aa ", u"bb ", u"cc ", u"dd"};
    double pen = 3.3;
    int extra[] = {5, 11, 17};
    for (int k = 0; k < 4; ++k) {
        std::u16string w = words[k];
        drawText(apart, w.c_str(), int32_t(w.size()), 0, pen + (k > 0 ? extra[k - 1] : 0), 0, 300, 30);
        pen += width(w);
    }
    // The last line is not stretched.
    drawText(apart, u"eeeeeeeeee", -1, 0, 3.3, 0, 300, 30 - font->line_height);
    together.render();
    apart.render();
    EXPECT_EQ(picture(together), picture(apart));

    // A glyph's pixels: the cached levels at floor(pen x + left), floor(baseline) + bottom, in an
    // opaque colour.
    Surface one(1);
    ASSERT_TRUE(one.setSize(40, 40));
    one.begin();
    one.font = font.get();
    one.text_colour = 0xFF204080u;
    drawText(one, u"g", 1, 0, 7.8, 0, 40, 30.6);
    one.render();
    const Glyph* g = font->cachedGlyph(U'g');
    ASSERT_NE(g, nullptr);
    int x0 = int(std::floor(7.8 + g->left));
    int y0 = int(std::floor(30.6 - font->ascender)) + g->bottom;
    int inked = 0;
    for (int r = 0; r < g->rows; ++r)
        for (int x = 0; x < g->width; ++x) {
            uint32_t level = uint32_t(cachedLevel(*g, g->rows - 1 - r, x));
            uint32_t want = level == 0 ? 0u : compositePixel(0, 0xFF204080u, level);
            EXPECT_EQ(one.pixel(x0 + x, y0 + r), want) << x << "," << r;
            inked += level != 0;
        }
    EXPECT_GT(inked, 10);
}

TEST_F(Layout, OneTwoAndThreeBandsGiveTheSameBytesForATextHeavyList)
{
    std::vector<uint32_t> results[3];
    for (unsigned bands = 1; bands <= 3; ++bands) {
        Surface s(bands);
        ASSERT_TRUE(s.setSize(320, 300));
        s.begin();
        s.fillRectangle(0, 0, 320, 300, 0xFFF4F4F0u);
        s.font = font.get();
        for (int row = 0; row < 12; ++row) {
            double top = 295 - row * 24.3;
            std::u16string title = u"0" + std::u16string(1, char16_t(u'1' + row % 9)) + u" - Track title «" +
                std::u16string(1, char16_t(0x0410 + row)) + u"» ひらがな\t4:1" + std::u16string(1, char16_t(u'0' + row % 10));
            s.text_colour = row % 3 == 0 ? 0xFF101010u : 0xC0203060u;
            if (row % 4 == 1)
                drawText(s, title.c_str(), -1, kTextJustify, 4.5, top - 30, 180, top, Paint::linearX(0xFF0000FFu, 0x80FF0000u, 0, 320));
            else if (row % 4 == 2)
                drawText(s, title.c_str(), -1, kTextRight, 4.5, top - 30, 310, top, Paint::radial(160, 150, 0xFF00FF00u, 0x4000FFFFu, 10, 200));
            else
                drawText(s, title.c_str(), -1, kTextCentre, 4.5, top - 30, 310.25, top);
        }
        s.setClip(0, 100, 200, 180);
        drawText(s, u"clipped text across the band edges, twice over", -1, 0, 0, 90, 320, 190);
        s.render();
        results[bands - 1] = picture(s);
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}


// The alpha FreeType's own bitmaps give a line drawn glyph by glyph in opaque colour: each
// glyph's levels at floor(pen + left), floor(baseline) + bottom, overlaps combined as coverage.
std::vector<int> freeTypeLine(const DirectFace& face, std::u32string_view text, double penX, double baseline,
                              int32_t width, int32_t height)
{
    std::vector<int> alpha(size_t(width) * height, 0);
    double pen = penX;
    for (char32_t c : text) {
        FT_GlyphSlot slot = face.render(c);
        if (slot == nullptr)
            continue;
        int x0 = int(std::floor(pen + slot->bitmap_left));
        int top = int(std::floor(baseline)) + slot->bitmap_top; // one above the bitmap's first row
        for (unsigned r = 0; r < slot->bitmap.rows; ++r)
            for (unsigned x = 0; x < slot->bitmap.width; ++x) {
                int px = x0 + int(x), py = top - 1 - int(r);
                if (px < 0 || py < 0 || px >= width || py >= height)
                    continue;
                int level = slot->bitmap.buffer[r * unsigned(slot->bitmap.pitch) + x];
                int& a = alpha[size_t(py) * width + px];
                a = a + (255 - a) * level / 255;
            }
        pen += slot->advance.x / 64.0;
    }
    return alpha;
}

TEST(TextInk, AccentedCapitalsKeepTheirMarksInEveryBandSplitAndRegionRepaint)
{
    // 8 pt, the program's label size: the marks of these capitals rise above the line's box
    // (baseline - descender + line height: the faces' line gap is smaller than ascender plus
    // descender), on a whole-pixel baseline as the widgets place it.
    const std::u32string capitals = U"ÁÄÀÜÉÖÑЙÇÂ Álbum: Über À propos";
    std::u16string text;
    for (char32_t c : capitals)
        text.push_back(char16_t(c));
    constexpr int32_t kWidth = 260, kHeight = 40;
    constexpr double kLeft = 3.4, kTop = 28;
    for (std::string face : {"Tahoma", "DejaVu Sans", "Liberation Sans"}) {
        FontRef font(getFont(std::u16string(face.begin(), face.end()), 8, false, false));
        ASSERT_TRUE(font);
        DirectFace direct(font->facesUsed().at(0), 8, font->dpi());
        ASSERT_TRUE(direct.ok());
        double baseline = kTop - font->ascender;
        std::vector<int> expected = freeTypeLine(direct, capitals, kLeft, baseline, kWidth, kHeight);
        int above = 0; // inked pixels above the line's box
        for (int32_t y = int32_t(std::ceil(baseline - font->descender + font->line_height)); y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x)
                above += expected[size_t(y) * kWidth + x] != 0;
        ASSERT_GT(above, 10) << "the marks no longer leave the box: pick a smaller size or taller marks";

        auto draw = [&](Surface& s) {
            s.font = font.get();
            s.text_colour = 0xFF000000u;
            drawText(s, text.c_str(), int32_t(text.size()), 0, kLeft, 0, kWidth, kTop);
            s.render();
        };
        std::vector<uint32_t> first;
        for (unsigned bands : {1u, 2u, 3u, 7u}) {
            Surface s(bands);
            ASSERT_TRUE(s.setSize(kWidth, kHeight));
            s.begin();
            draw(s);
            for (int32_t y = 0; y < kHeight; ++y)
                for (int32_t x = 0; x < kWidth; ++x) {
                    int got = int(s.pixel(x, y) >> 24);
                    int want = expected[size_t(y) * kWidth + x];
                    ASSERT_LE(std::abs(got - want), 2)
                        << face << ", " << bands << " bands, at " << x << ","
                        << y << " (baseline row " << int(std::floor(baseline)) << ")";
                }
            if (first.empty())
                first = picture(s);
            else
                EXPECT_EQ(picture(s), first) << bands << " bands";
        }
        // A repaint of only the rows above the box (where the marks are) gives the same pixels
        // as the whole picture, and so does one of only the rows below the baseline.
        for (IntRect region : {IntRect{0, int32_t(baseline) + 6, kWidth, kHeight}, IntRect{0, 0, kWidth, int32_t(baseline)},
                               IntRect{40, 5, 120, 35}}) {
            Surface s(3);
            ASSERT_TRUE(s.setSize(kWidth, kHeight));
            s.begin();
            s.fillRectangle(0, 0, kWidth, kHeight, 0xFF0000FFu); // stale pixels outside the region
            s.render();
            s.begin(region);
            draw(s);
            for (int32_t y = 0; y < kHeight; ++y)
                for (int32_t x = 0; x < kWidth; ++x) {
                    bool inside = x >= region.x0 && x < region.x1 && y >= region.y0 && y < region.y1;
                    uint32_t want = inside ? first[size_t(y) * kWidth + x] : 0xFF0000FFu;
                    ASSERT_EQ(s.pixel(x, y), want) << x << "," << y;
                }
        }
    }
}


// The summed alpha of a line drawn in opaque black.
uint64_t inkOf(Font& font, std::u16string_view text)
{
    Surface s(1);
    if (!s.setSize(400, 40))
        return 0;
    s.begin();
    s.font = &font;
    s.text_colour = 0xFF000000u;
    drawText(s, text.data(), int32_t(text.size()), 0, 4, 0, 400, 30);
    s.render();
    uint64_t sum = 0;
    for (uint32_t p : picture(s))
        sum += p >> 24;
    return sum;
}

TEST(TextInk, BoldKanaAndIdeographsFromARegularOnlyFaceAreEmboldened)
{
    // The Japanese faces installed have no bold style: a bold label's kana and ideographs come
    // from the regular face and must be thickened, as the Latin letters of the bold face are.
    const std::u16string japanese = u"日本語のタイトル：夜明けの歌";
    for (int32_t size : {8, 10}) {
        FontRef regular(getFont(u"Tahoma", size, false, false));
        FontRef bold(getFont(u"Tahoma", size, true, false));
        ASSERT_TRUE(regular && bold);
        uint64_t thin = inkOf(*regular.get(), japanese);
        uint64_t thick = inkOf(*bold.get(), japanese);
        std::vector<FontFile> faces = bold->facesUsed();
        ASSERT_EQ(faces.size(), 2u) << "the bold font's kana came from its own face";
        EXPECT_EQ(faces[1].path, regular->facesUsed().at(1).path) << "a bold Japanese face is installed now";
        EXPECT_GT(thick, thin + thin / 8) << size << " pt: bold " << thick << ", regular " << thin;
        // A bold glyph is as wide as its regular one plus the thickening, never narrower.
        std::lock_guard guard(textLock());
        for (char32_t c : {U'日', U'の', U'タ'}) {
            const Glyph* a = regular->glyph(c);
            const Glyph* b = bold->glyph(c);
            ASSERT_TRUE(a && b);
            EXPECT_GT(b->advance_x, a->advance_x) << describe(c);
            EXPECT_GE(b->width, a->width) << describe(c);
        }
    }
    // Latin text of the bold face itself is FreeType's rendering of that face, unchanged.
    FontRef bold(getFont(u"Tahoma", 8, true, false));
    const Glyph* g = lockedGlyph(*bold.get(), U'É');
    DirectFace direct(bold->facesUsed().at(0), 8, bold->dpi());
    FT_GlyphSlot slot = direct.render(U'É');
    ASSERT_TRUE(g && slot);
    EXPECT_EQ(g->advance_x, slot->advance.x / 64.0);
    EXPECT_EQ(g->width, int(slot->bitmap.width));
}

} // namespace
} // namespace tonvane
