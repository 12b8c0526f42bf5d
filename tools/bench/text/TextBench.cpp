// bench-text: the text of a 12-row track list (about 2 000 glyphs at 8 points in two fonts)
// laid out and rendered on one band, against cairo showing the same strings with its FreeType
// font face opened on the same font files, into an image surface of the same size. Frames of
// both kinds alternate so a slow spell of this shared machine hits both alike. Also prints what
// the first glyph page of a font costs, Latin and CJK, and what one page over a CJK face's
// whole run of ideographs would cost (why pages are bounded to 256 codes).
#include "core/foundation/Clock.h"
#include "core/foundation/Utf.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/FontList.h"
#include "graphics/text/TextLayout.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace tonvane;

namespace {

constexpr int kWidth = 650; // [pixels]
constexpr int kHeight = 450; // [pixels]
constexpr int kRows = 12;
constexpr int kFrames = 2000; // of each kind
constexpr double kDpi = 96;

struct Field {
    std::u16string text;
    double left, right; // [pixels]
    bool bold;
    uint32_t flags;
};

std::vector<std::vector<Field>> trackList()
{
    const char16_t* titles[] = {u"Overture to the Distant Shore", u"Lanterns over Kraków (live)", u"Señorita Mañana",
                                u"Night Train to Tromsø", u"Die Brücke — Extended Mix", u"Café Européen",
                                u"Полночный экспресс", u"A Quiet Walk through the Old Market Square",
                                u"Interlude: Rain on Tin Roofs", u"Sommerfuglen", u"Ça ira, mon amour",
                                u"Finale: Every Light in the Harbour"};
    std::vector<std::vector<Field>> rows;
    for (int r = 0; r < kRows; ++r) {
        std::u16string number = utf8ToUtf16((r < 9 ? "0" : "") + std::to_string(r + 1));
        std::u16string time = utf8ToUtf16(std::to_string(3 + r % 5) + ":" + std::to_string(10 + r * 4 % 50));
        rows.push_back({
            {number, 60, 80, true, 0},
            {std::u16string(titles[r]) + u" · The Harbour Lights Orchestra and Choir", 84, 470, false, 0},
            {time, 470, 510, false, kTextRight},
            {u"FLAC level 8 · 44.1 kHz · 16 bit", 520, 640, false, 0},
            {u"Tonvane Sessions, Vol. 2 (2026) · Disc 1 of 2", 84, 330, true, 0},
            {u"Composer: A. N. Other · ISRC GBXYZ2600" + number, 340, 640, false, 0},
        });
    }
    return rows;
}

double rowTop(int r)
{
    return kHeight - 20 - r * 35.5;
}

struct OurText {
    Surface surface{1};
    Font* regular;
    Font* bold;
    OurText(Font* r, Font* b) : regular(r), bold(b) { surface.setSize(kWidth, kHeight); }
    void frame(const std::vector<std::vector<Field>>& rows)
    {
        surface.begin();
        for (int r = 0; r < kRows; ++r)
            for (const Field& f : rows[r]) {
                double top = rowTop(r) - (f.left == 84 && f.bold ? 16 : 0);
                surface.font = f.bold ? bold : regular;
                drawText(surface, f.text.c_str(), int32_t(f.text.size()), f.flags, f.left, top - 16, f.right, top);
            }
        surface.render(1);
    }
};

struct CairoText {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    cairo_t* cr = cairo_create(image);
    cairo_font_face_t* regular;
    cairo_font_face_t* bold;
    double size; // [pixels]
    std::vector<std::vector<std::string>> utf8;
    CairoText(cairo_font_face_t* r, cairo_font_face_t* b, double pixels, const std::vector<std::vector<Field>>& rows)
        : regular(r), bold(b), size(pixels)
    {
        for (const auto& row : rows) {
            utf8.emplace_back();
            for (const Field& f : row)
                utf8.back().push_back(utf16ToUtf8(f.text));
        }
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_set_font_options(cr, options);
        cairo_font_options_destroy(options);
    }
    ~CairoText()
    {
        cairo_destroy(cr);
        cairo_surface_destroy(image);
    }
    void frame(const std::vector<std::vector<Field>>& rows, double ascender)
    {
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        cairo_set_source_rgba(cr, 0, 0, 0, 1);
        for (int r = 0; r < kRows; ++r)
            for (size_t i = 0; i < rows[r].size(); ++i) {
                const Field& f = rows[r][i];
                double top = rowTop(r) - (f.left == 84 && f.bold ? 16 : 0);
                cairo_set_font_face(cr, f.bold ? bold : regular);
                cairo_set_font_size(cr, size);
                // cairo has y down; the same baseline from the top of the picture.
                cairo_move_to(cr, f.left, kHeight - (top - ascender));
                cairo_show_text(cr, utf8[r][i].c_str());
            }
        cairo_surface_flush(image);
    }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double quantile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * (v.size() - 1))];
}

size_t glyphCount(const std::vector<std::vector<Field>>& rows)
{
    size_t n = 0;
    for (const auto& row : rows)
        for (const Field& f : row)
            n += f.text.size();
    return n;
}

// Milliseconds to load the page of `c` into a fresh 8-point italic font of the face, each
// released before the next is made (the bench's own fonts are upright, so each is new).
std::vector<double> firstPageCosts(const char16_t* face, char32_t c, int count)
{
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        FontRef font(getFont(face, 8, false, true));
        if (!font)
            break;
        std::lock_guard guard(textLock());
        uint64_t start = monotonicNs();
        font->glyph(c);
        ms.push_back((monotonicNs() - start) / 1e6);
    }
    return ms;
}

// What one page over the face's longest run of consecutive ideographs would cost at 8 points:
// every glyph rendered, its coverage bytes counted.
void unboundedCjkPage(const FontFile& file)
{
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0)
        return;
    if (FT_New_Memory_Face(library, file.bytes->data(), FT_Long(file.bytes->size()), file.faceIndex, &face) != 0) {
        FT_Done_FreeType(library);
        return;
    }
    FT_Set_Char_Size(face, 8 * 64, 8 * 64, kDpi, kDpi);
    // The longest run of consecutive ideographs the face holds.
    char32_t start = 0, end = 0;
    for (char32_t c = 0x4E00; c <= 0x9FFF;) {
        char32_t runEnd = c;
        while (runEnd <= 0x9FFF && FT_Get_Char_Index(face, runEnd) != 0)
            ++runEnd;
        if (runEnd - c > end - start)
            start = c, end = runEnd;
        c = runEnd + 1;
    }
    uint64_t begin = monotonicNs();
    size_t bytes = 0;
    for (char32_t c = start; c < end; ++c)
        if (FT_Load_Char(face, c, FT_LOAD_RENDER) == 0)
            bytes += face->glyph->bitmap.rows * face->glyph->bitmap.width + sizeof(Glyph) + face->glyph->bitmap.rows * sizeof(GlyphRow);
    double ms = (monotonicNs() - begin) / 1e6;
    std::printf("one page over the longest run U+%04X..U+%04X (%u codes) of %s: %.0f ms, %.1f MiB "
                "(bounded pages of %u codes instead)\n",
                unsigned(start), unsigned(end - 1), unsigned(end - start), file.path.c_str(), ms, bytes / 1048576.0,
                unsigned(Font::kPageCodes));
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

} // namespace

int main()
{
    FontRef regular(getFont(u"Tahoma", 8, false, false));
    FontRef bold(getFont(u"Tahoma", 8, true, false));
    if (!regular || !bold) {
        std::fprintf(stderr, "bench-text: no font for Tahoma\n");
        return 1;
    }
    auto rows = trackList();
    OurText ours(regular.get(), bold.get());
    ours.frame(rows); // loads the glyph pages once

    FT_Library library;
    FT_Init_FreeType(&library);
    FontFile regularFile = regular->facesUsed().at(0);
    FontFile boldFile = bold->facesUsed().at(0);
    FT_Face regularFace, boldFace;
    FT_New_Memory_Face(library, regularFile.bytes->data(), FT_Long(regularFile.bytes->size()), regularFile.faceIndex,
                       &regularFace);
    FT_New_Memory_Face(library, boldFile.bytes->data(), FT_Long(boldFile.bytes->size()), boldFile.faceIndex, &boldFace);
    cairo_font_face_t* cairoRegular = cairo_ft_font_face_create_for_ft_face(regularFace, 0);
    cairo_font_face_t* cairoBold = cairo_ft_font_face_create_for_ft_face(boldFace, 0);
    CairoText theirs(cairoRegular, cairoBold, 8 * kDpi / 72, rows);
    theirs.frame(rows, regular->ascender);

    std::vector<double> ourTimes, cairoTimes, ratios;
    for (int i = 0; i < kFrames; ++i) {
        double t[2];
        for (int k = 0; k < 2; ++k) {
            int kind = (i + k) % 2;
            uint64_t start = monotonicNs();
            if (kind == 0)
                ours.frame(rows);
            else
                theirs.frame(rows, regular->ascender);
            t[kind] = (monotonicNs() - start) / 1e3;
        }
        ourTimes.push_back(t[0]);
        cairoTimes.push_back(t[1]);
        ratios.push_back(t[0] / t[1]);
    }
    std::printf("track-list text: %zu glyphs, two fonts at 8 pt (%s, %s)\n", glyphCount(rows),
                regularFile.path.c_str(), boldFile.path.c_str());
    std::printf("ours:  median %.0f us (fastest %.0f, 90th percentile %.0f)\n", median(ourTimes),
                quantile(ourTimes, 0), quantile(ourTimes, 0.9));
    std::printf("cairo: median %.0f us (fastest %.0f, 90th percentile %.0f)\n", median(cairoTimes),
                quantile(cairoTimes, 0), quantile(cairoTimes, 0.9));
    std::printf("ratio ours/cairo: median %.2f, per-pair 10th-90th percentile %.2f-%.2f (target <= 1.0)\n",
                median(ratios), quantile(ratios, 0.1), quantile(ratios, 0.9));

    auto latin = firstPageCosts(u"Tahoma", 0xE9, 9);
    std::printf("first Latin-1 page (U+00E9) into a new font: median %.2f ms, max %.2f ms (target < 2 ms)\n",
                median(latin), quantile(latin, 1));
    auto cjk = firstPageCosts(u"Tahoma", 0x6F22, 9);
    std::printf("first CJK character (U+6F22, through the fallback face): first %.2f ms, median %.2f ms, max %.2f ms "
                "(target < 20 ms)\n",
                cjk.front(), median(cjk), quantile(cjk, 1));
    FontRef withCjk(getFont(u"Tahoma", 8, false, false));
    {
        std::lock_guard guard(textLock());
        withCjk->glyph(0x6F22);
    }
    auto faces = withCjk->facesUsed();
    if (faces.size() > 1)
        unboundedCjkPage(faces[1]);

    cairo_font_face_destroy(cairoRegular);
    cairo_font_face_destroy(cairoBold);
    FT_Done_Face(regularFace);
    FT_Done_Face(boldFace);
    FT_Done_FreeType(library);
    return 0;
}
