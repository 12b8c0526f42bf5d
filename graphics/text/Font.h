#pragma once
#include "graphics/displaylist/TextRunDrawer.h"
#include "graphics/text/FontSource.h"
#include "graphics/text/Glyph.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// FreeType's face handle, without pulling its headers into every user of fonts.
struct FT_FaceRec_;

namespace tonvane {

// A face at one size and style with its glyph cache. Shared and reference counted through the
// font list (FontList.h); glyphs are rendered by FreeType once, on first use, and kept as
// trimmed coverage rows, so drawing never calls FreeType.
//
// Loading (glyph) runs with the text lock held (FontList.h); cachedGlyph and drawRun only read
// published pages and may run on any thread, the band workers included.
class Font final : public TextRunDrawer {
public:
    // A glyph page never spans more than this many codes, aligned to it: a CJK face holds some
    // 20 000 consecutive codes, and one page over all of them would take a second to render.
    static constexpr char32_t kPageCodes = 256;
    static constexpr int32_t kMaxPointSize = 512;

    // Opens the face of `file` at the size and resolution and loads its first glyph page. Null
    // when FreeType refuses the face or no glyph page can be built.
    static Font* create(const std::u16string& faceName, int32_t pointSize, bool bold, bool italic, int32_t dpi,
                        const FontFile& file);
    ~Font() override;
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    std::u16string face_name;
    int32_t point_size = 0;
    bool bold = false;
    bool italic = false;
    int32_t refs = 0;
    double line_height = 0; // [pixels]
    double ascender = 0; // [pixels]
    double descender = 0; // [pixels] positive
    double left_overhang = 0; // [pixels] largest leftward overhang of a cached glyph
    double average_advance = 0; // [pixels]
    double space_advance = 0; // [pixels]

    // The glyph of `c`, loading its page on a miss (text lock held). Null when no face has it.
    const Glyph* glyph(char32_t c);
    // The glyph when its page is loaded; never loads.
    const Glyph* cachedGlyph(char32_t c) const;

    void drawRun(const BandContext& band, const TextRun& run, const char16_t* text, const Paint& paint) const override;

    // The font files whose glyphs this font has used so far, own face first.
    std::vector<FontFile> facesUsed() const;
    int32_t dpi() const { return m_dpi; }

private:
    struct OpenFace {
        FT_FaceRec_* face = nullptr;
        FontFile file;
        bool used = false;
    };

    Font() = default;
    GlyphPage* loadPage(char32_t c);
    GlyphPage* buildPage(FT_FaceRec_* face, char32_t c);
    FT_FaceRec_* fallbackFace(const char* family, char32_t c);
    FT_FaceRec_* openFace(const FontFile& file);
    void append(GlyphPage* page);

    int32_t m_dpi = 96;
    std::vector<OpenFace> m_faces; // [0] is the font's own face
    std::atomic<GlyphPage*> m_pages{nullptr};
    GlyphPage* m_lastPage = nullptr;
    std::vector<char32_t> m_missing; // codes no face has (sorted), so they are not searched again
};

// Decodes one character from UTF-16 at `i` and moves past it; an unpaired surrogate is itself.
char32_t nextCharacter(const char16_t* text, uint32_t length, uint32_t& i);

} // namespace tonvane
