#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

namespace tonvane {

// One row of a glyph's bitmap trimmed to its ink: `count` coverage levels (0..255, 255 fully
// inked) for the columns first .. first + count - 1. A row without ink has a count of 0.
struct GlyphRow {
    uint16_t first = 0;
    uint16_t count = 0;
    uint32_t offset = 0; // into the page's coverage pool
};

// A rendered glyph. Bitmap rows are stored from the lowest row upwards.
struct Glyph {
    double advance_x = 0; // [pixels]
    double advance_y = 0; // [pixels]
    int32_t left = 0; // bitmap's first column relative to the pen [pixels]
    int32_t bottom = 0; // lowest bitmap row relative to the baseline, y up [pixels]
    int32_t rows = 0;
    int32_t width = 0;
    const GlyphRow* rowRuns = nullptr; // `rows` entries
    const uint8_t* coverage = nullptr; // the page's pool
};

// Glyphs for the consecutive character codes [first, first + count), built in one go and never
// changed afterwards. Pages are chained; a new page is published with a release store so band
// threads can walk the chain while the painting thread appends.
struct GlyphPage {
    char32_t first = 0;
    uint32_t count = 0;
    std::vector<Glyph> glyphs;
    std::vector<GlyphRow> rowRuns;
    std::vector<uint8_t> coverage;
    std::atomic<GlyphPage*> next{nullptr};

    const Glyph* find(char32_t c) const { return c - first < count ? &glyphs[c - first] : nullptr; }
};

} // namespace tonvane
