#include "graphics/text/Font.h"

#include "graphics/raster/Compositor.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <map>
#include <tuple>
#include <cmath>
#include <mutex>

namespace tonvane {

namespace {

constexpr double kFixed26_6 = 64.0; // FreeType's 26.6 fixed point: 64 units per pixel
constexpr char32_t kTab = 9;
constexpr char32_t kSpace = 32;
constexpr int kTabSpaces = 8; // a tab advances by eight space widths

// Characters that fall back to the Japanese and Chinese system faces when the font lacks them:
// ideographs and kana, and with them the CJK punctuation, the rarer ideographs of extension A
// and the full-width forms that Japanese and Chinese titles use (a Latin face has none of them,
// and without the fallback they would not be drawn at all).
bool isKanaOrIdeograph(char32_t c)
{
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3040 && c <= 0x30FF) || (c >= 0x3000 && c <= 0x303F)
        || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xFF00 && c <= 0xFFEF);
}
constexpr const char* kFallbackFamilies[] = {"MS PGothic", "SimSun"};

FT_Library freeTypeLibrary()
{
    static FT_Library library = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        if (FT_Init_FreeType(&library) != 0)
            library = nullptr;
    });
    return library;
}

// A rendered FreeType bitmap as 8-bit coverage levels, top row first.
struct GreyBitmap {
    const uint8_t* buffer = nullptr;
    int pitch = 0;
    unsigned rows = 0;
    unsigned width = 0;
    unsigned maxLevel = 255;

    uint8_t level(unsigned row, unsigned column) const
    {
        const uint8_t* line = pitch >= 0 ? buffer + size_t(row) * pitch : buffer + size_t(rows - 1 - row) * size_t(-pitch);
        unsigned v = line[column];
        if (maxLevel == 255)
            return static_cast<uint8_t>(v);
        return static_cast<uint8_t>(std::min(255u, (v * 255 + maxLevel / 2) / maxLevel));
    }
};

// Appends the glyph's bitmap as trimmed rows, lowest row first.
void storeRows(const GreyBitmap& bitmap, GlyphPage& page)
{
    for (unsigned r = 0; r < bitmap.rows; ++r) {
        unsigned row = bitmap.rows - 1 - r; // bottom-up
        unsigned first = 0;
        while (first < bitmap.width && bitmap.level(row, first) == 0)
            ++first;
        unsigned last = bitmap.width;
        while (last > first && bitmap.level(row, last - 1) == 0)
            --last;
        GlyphRow run;
        run.first = static_cast<uint16_t>(first < bitmap.width ? first : 0);
        run.count = static_cast<uint16_t>(last - first);
        run.offset = static_cast<uint32_t>(page.coverage.size());
        for (unsigned x = first; x < last; ++x)
            page.coverage.push_back(bitmap.level(row, x));
        page.rowRuns.push_back(run);
    }
}

// Loads and renders one glyph; with `embolden` its outline is thickened first (FreeType's
// synthetic bold: 1/24 em on each axis, the advance widened by as much).
bool renderGlyph(FT_Face face, char32_t c, bool embolden)
{
    if (!embolden)
        return FT_Load_Char(face, c, FT_LOAD_RENDER) == 0;
    if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) != 0)
        return false;
    FT_GlyphSlot_Embolden(face->glyph);
    return face->glyph->format == FT_GLYPH_FORMAT_BITMAP || FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0;
}

// Renders one glyph into the page; false when FreeType cannot load or render it.
bool loadGlyph(FT_Face face, char32_t c, bool embolden, GlyphPage& page, Glyph& glyph, size_t& rowIndex)
{
    if (!renderGlyph(face, c, embolden))
        return false;
    FT_GlyphSlot slot = face->glyph;
    glyph.advance_x = slot->advance.x / kFixed26_6;
    glyph.advance_y = slot->advance.y / kFixed26_6;
    glyph.left = slot->bitmap_left;
    glyph.bottom = slot->bitmap_top - static_cast<int32_t>(slot->bitmap.rows);
    glyph.rows = static_cast<int32_t>(slot->bitmap.rows);
    glyph.width = static_cast<int32_t>(slot->bitmap.width);
    if (glyph.width > UINT16_MAX)
        return false;
    rowIndex = page.rowRuns.size();

    GreyBitmap grey;
    if (slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        grey = {slot->bitmap.buffer, slot->bitmap.pitch, slot->bitmap.rows, slot->bitmap.width,
                std::max(1u, unsigned(slot->bitmap.num_grays) - 1)};
        storeRows(grey, page);
        return true;
    }
    // Monochrome strikes and other depths: converted to one byte per pixel first.
    FT_Bitmap converted;
    FT_Bitmap_Init(&converted);
    if (FT_Bitmap_Convert(freeTypeLibrary(), &slot->bitmap, &converted, 1) != 0) {
        FT_Bitmap_Done(freeTypeLibrary(), &converted);
        return false;
    }
    grey = {converted.buffer, converted.pitch, converted.rows, converted.width,
            std::max(1u, unsigned(converted.num_grays) - 1)};
    storeRows(grey, page);
    FT_Bitmap_Done(freeTypeLibrary(), &converted);
    return true;
}

// floor(alpha x level / 255): the colour's alpha times the coverage level / 255.
inline uint32_t coveredLevel(uint32_t colourAlpha, uint32_t level)
{
    return level == 255 ? colourAlpha : colourAlpha * level / 255;
}

// One glyph row of coverage levels in one colour.
void compositeLevels(uint32_t* row, int32_t from, int32_t to, const uint8_t* levels, uint32_t colour)
{
    uint32_t colourAlpha = colour >> 24;
    if (colourAlpha == 255) {
        uint32_t opaque = colour | 0xFF000000u;
        for (int32_t x = from; x < to; ++x, ++levels) {
            uint32_t level = *levels;
            if (level == 255)
                row[x] = opaque;
            else if (level != 0)
                row[x] = compositePixel(row[x], colour, level);
        }
        return;
    }
    for (int32_t x = from; x < to; ++x, ++levels)
        if (*levels != 0)
            row[x] = compositePixel(row[x], colour, coveredLevel(colourAlpha, *levels));
}

} // namespace

char32_t nextCharacter(const char16_t* text, uint32_t length, uint32_t& i)
{
    char32_t c = text[i++];
    if (c >= 0xD800 && c <= 0xDBFF && i < length) {
        char32_t low = text[i];
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++i;
            return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return c;
}

Font* Font::create(const std::u16string& faceName, int32_t pointSize, bool bold, bool italic, int32_t dpi,
                   const FontFile& file)
{
    if (pointSize <= 0 || pointSize > kMaxPointSize || freeTypeLibrary() == nullptr)
        return nullptr;
    Font* font = new Font;
    font->face_name = faceName;
    font->point_size = pointSize;
    font->bold = bold;
    font->italic = italic;
    font->m_dpi = dpi;
    FT_Face face = font->openFace(file);
    if (face == nullptr) {
        delete font;
        return nullptr;
    }
    // The first page, from the face's first character code, gives the average advance.
    FT_UInt index = 0;
    char32_t first = static_cast<char32_t>(FT_Get_First_Char(face, &index));
    GlyphPage* page = index != 0 ? font->loadPage(first) : nullptr;
    if (page == nullptr) {
        delete font;
        return nullptr;
    }
    double sum = 0;
    int counted = 0;
    for (const Glyph& g : page->glyphs)
        if (g.advance_x != 0) {
            sum += g.advance_x;
            ++counted;
        }
    font->average_advance = counted > 0 ? sum / counted : 0;
    const FT_Size_Metrics& metrics = face->size->metrics;
    font->line_height = metrics.height / kFixed26_6;
    font->ascender = metrics.ascender / kFixed26_6;
    font->descender = std::fabs(metrics.descender / kFixed26_6);
    const Glyph* space = font->glyph(kSpace);
    font->space_advance = space != nullptr ? space->advance_x : 0;
    return font;
}

Font::~Font()
{
    GlyphPage* page = m_pages.load(std::memory_order_acquire);
    while (page != nullptr) {
        GlyphPage* next = page->next.load(std::memory_order_relaxed);
        delete page;
        page = next;
    }
    for (OpenFace& open : m_faces)
        FT_Done_Face(open.face);
}

FT_Face Font::openFace(const FontFile& file)
{
    for (OpenFace& open : m_faces)
        if (open.file.path == file.path && open.file.faceIndex == file.faceIndex)
            return open.face;
    if (!file.bytes || file.bytes->empty())
        return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(freeTypeLibrary(), file.bytes->data(), static_cast<FT_Long>(file.bytes->size()),
                           file.faceIndex, &face)
        != 0)
        return nullptr;
    FT_F26Dot6 size = static_cast<FT_F26Dot6>(point_size) * 64;
    if (FT_Set_Char_Size(face, size, size, static_cast<FT_UInt>(m_dpi), static_cast<FT_UInt>(m_dpi)) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    m_faces.push_back({face, file, false});
    return face;
}

const Glyph* Font::cachedGlyph(char32_t c) const
{
    for (GlyphPage* page = m_pages.load(std::memory_order_acquire); page != nullptr;
         page = page->next.load(std::memory_order_acquire))
        if (const Glyph* g = page->find(c))
            return g;
    return nullptr;
}

const Glyph* Font::glyph(char32_t c)
{
    if (const Glyph* g = cachedGlyph(c))
        return g;
    if (std::binary_search(m_missing.begin(), m_missing.end(), c))
        return nullptr;
    GlyphPage* page = loadPage(c);
    if (page == nullptr) {
        m_missing.insert(std::upper_bound(m_missing.begin(), m_missing.end(), c), c);
        return nullptr;
    }
    return page->find(c);
}

// First the font's own face; kana and ideographs it lacks then come from the Japanese and
// Chinese system faces (a face of that family holding the character), then the own face again.
GlyphPage* Font::loadPage(char32_t c)
{
    if (m_faces.empty())
        return nullptr;
    FT_Face own = m_faces[0].face;
    if (GlyphPage* page = buildPage(own, c))
        return page;
    if (!isKanaOrIdeograph(c))
        return nullptr; // the second attempt would use the own face again
    for (const char* family : kFallbackFamilies)
        if (FT_Face face = fallbackFace(family, c))
            return buildPage(face, c);
    return nullptr;
}

FT_Face Font::fallbackFace(const char* family, char32_t c)
{
    // fontconfig's sorted search takes milliseconds: the face found for a block of codes is
    // remembered for every font (the text lock guards it) and tried first next time.
    struct Key {
        std::string family;
        bool bold, italic;
        char32_t block;
        bool operator<(const Key& o) const
        {
            return std::tie(family, bold, italic, block) < std::tie(o.family, o.bold, o.italic, o.block);
        }
    };
    static std::map<Key, FontFile> found;
    Key key{family, bold, italic, c / kPageCodes};
    if (auto known = found.find(key); known != found.end())
        if (FT_Face face = openFace(known->second); face != nullptr && FT_Get_Char_Index(face, c) != 0)
            return face;
    FontFile file;
    if (!findFontFile(family, bold, italic, c, file))
        return nullptr;
    found[key] = file;
    return openFace(file);
}

GlyphPage* Font::buildPage(FT_Face face, char32_t c)
{
    auto present = [&](char32_t code) { return FT_Get_Char_Index(face, code) != 0 && cachedGlyph(code) == nullptr; };
    if (!present(c))
        return nullptr;
    char32_t blockStart = c - c % kPageCodes;
    char32_t blockEnd = blockStart + kPageCodes;
    char32_t start = c;
    while (start > blockStart && present(start - 1))
        --start;
    char32_t end = c + 1;
    while (end < blockEnd && present(end))
        ++end;

    // A bold font drawn from a face without a bold style (the Japanese and Chinese faces have
    // none) would look regular: its glyphs are thickened instead.
    bool embolden = bold && (face->style_flags & FT_STYLE_FLAG_BOLD) == 0;
    auto* page = new GlyphPage;
    std::vector<size_t> rowIndex;
    for (char32_t code = start; code < end; ++code) {
        Glyph glyph;
        size_t rows = 0;
        if (loadGlyph(face, code, embolden, *page, glyph, rows)) {
            page->glyphs.push_back(glyph);
            rowIndex.push_back(rows);
            continue;
        }
        if (code == c) {
            delete page;
            return nullptr;
        }
        if (code > c)
            break;
        // A code before c failed: the page starts after it.
        page->glyphs.clear();
        page->rowRuns.clear();
        page->coverage.clear();
        rowIndex.clear();
        start = code + 1;
    }
    page->first = start;
    page->count = static_cast<uint32_t>(page->glyphs.size());
    for (size_t i = 0; i < page->glyphs.size(); ++i) {
        Glyph& g = page->glyphs[i];
        g.rowRuns = page->rowRuns.data() + rowIndex[i];
        g.coverage = page->coverage.data();
        left_overhang = std::max(left_overhang, static_cast<double>(-g.left));
    }
    for (OpenFace& open : m_faces)
        if (open.face == face)
            open.used = true;
    append(page);
    return page;
}

void Font::append(GlyphPage* page)
{
    if (m_lastPage == nullptr)
        m_pages.store(page, std::memory_order_release);
    else
        m_lastPage->next.store(page, std::memory_order_release);
    m_lastPage = page;
}

std::vector<FontFile> Font::facesUsed() const
{
    std::vector<FontFile> used;
    for (const OpenFace& open : m_faces)
        if (open.used)
            used.push_back(open.file);
    return used;
}

void Font::drawRun(const BandContext& band, const TextRun& run, const char16_t* text, const Paint& paint) const
{
    const PixelTarget& target = band.target;
    PaintEvaluator evaluator(paint);
    bool rowConstant = evaluator.constantAlongRow();
    double pen = run.penX;
    int32_t baseline = static_cast<int32_t>(std::floor(run.baselineY));
    uint32_t spacesSeen = 0;
    int64_t extraSoFar = 0; // [pixels] added to the spaces so far when justifying
    for (uint32_t i = 0; i < run.textLength;) {
        char32_t c = nextCharacter(text, run.textLength, i);
        if (c == kTab) {
            pen += kTabSpaces * space_advance;
            continue;
        }
        const Glyph* g = cachedGlyph(c);
        if (g == nullptr)
            continue;
        int32_t x0 = static_cast<int32_t>(std::floor(pen + g->left));
        int32_t y0 = baseline + g->bottom;
        for (int32_t r = 0; r < g->rows; ++r) {
            int32_t y = y0 + r;
            if (y < target.rowLow || y >= target.rowHigh)
                continue;
            const GlyphRow& rowRun = g->rowRuns[r];
            int32_t from = std::max(x0 + rowRun.first, target.clipX0);
            int32_t to = std::min(x0 + rowRun.first + rowRun.count, target.clipX1);
            if (from >= to)
                continue;
            const uint8_t* levels = g->coverage + rowRun.offset + (from - x0 - rowRun.first);
            uint32_t* row = target.row(y);
            if (rowConstant) {
                compositeLevels(row, from, to, levels, evaluator.colourAt(from, y));
                continue;
            }
            for (int32_t x = from; x < to; ++x, ++levels)
                if (*levels != 0) {
                    uint32_t colour = evaluator.colourAt(x, y);
                    row[x] = compositePixel(row[x], colour, coveredLevel(colour >> 24, *levels));
                }
        }
        pen += g->advance_x;
        if (c == kSpace && spacesSeen < run.spaces) {
            ++spacesSeen;
            // After the k-th space the extra width so far is floor(k x slack / spaces).
            int64_t target = static_cast<int64_t>(std::floor(spacesSeen * run.distribute / run.spaces));
            if (spacesSeen == run.spaces)
                target = static_cast<int64_t>(std::floor(run.distribute));
            pen += static_cast<double>(target - extraSoFar);
            extraSoFar = target;
        }
    }
}

} // namespace tonvane
