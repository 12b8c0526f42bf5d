#pragma once
#include "graphics/displaylist/DisplayList.h"
#include "graphics/displaylist/TextRunDrawer.h"
#include "graphics/image/ImageView.h"
#include "graphics/raster/OutlineRasteriser.h"
#include "graphics/raster/Paint.h"
#include "graphics/surface/IntRect.h"
#include "graphics/surface/PixelMemory.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace tonvane {

class DrawableObject;
class Font;
class RenderPool;

struct Origin {
    double dx = 0;
    double dy = 0;
};

// A 32-bit bitmap with its painter state and display list. Pixels are premultiplied words,
// bytes blue, green, red, alpha in memory; row 0 is the bottom row (y up); stride = width x 4.
// The painter operations record commands; render replays them into the pixels.
class Surface {
public:
    static constexpr int32_t kMaxDimension = 16384; // [pixels] per side

    // bandCount 0: one band per worker of the pool (the process's shared pool unless given).
    explicit Surface(unsigned bandCount = 0);
    Surface(unsigned bandCount, RenderPool& pool, PixelAllocator& allocator = PixelAllocator::lockedMemory());
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Grows the bitmap to at least width x height (never shrinks; 0 is ignored). New memory
    // starts transparent. Re-initialises the painter. False when the size is out of range or
    // memory is refused; the surface then stays as it was.
    bool setSize(int32_t width, int32_t height);

    uint32_t* pixels() const { return m_memory.words(); }
    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    int32_t stride() const { return m_width * 4; } // [bytes]
    IntRect bounds() const { return {0, 0, m_width, m_height}; }
    bool memoryLocked() const { return m_memory.locked(); }
    uint32_t pixel(int32_t x, int32_t y) const { return pixels()[static_cast<size_t>(y) * m_width + x]; }
    // The coverage scratch rows of one band.
    CoverageScratch coverage(unsigned band) const;

    DisplayList& list() { return m_list; }

    // Painter operations (coordinates in pixels, y up, relative to the origin).
    void begin();
    // A repaint of one region only: it is cleared, and every later clip stays inside it, so
    // the rest of the picture keeps its pixels from the previous render.
    void begin(const IntRect& limit);
    // The region of the current begin (the bounds for a whole repaint).
    IntRect limit() const { return m_limit; }
    bool setClip(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    IntRect getClip() const;
    void setOrigin(double dx, double dy);
    Origin origin() const { return m_origin; }

    void fillRectangle(double x0, double y0, double x1, double y1, const Paint& paint);
    void fillRectangle(double x0, double y0, double x1, double y1, uint32_t colour);
    void fillRectangleVertical(double x0, double y0, double x1, double y1, uint32_t atY0, uint32_t atY1);
    void fillRectangleHorizontal(double x0, double y0, double x1, double y1, uint32_t atX0, uint32_t atX1);
    void fillRectangleRadial(double x0, double y0, double x1, double y1, double cx, double cy, uint32_t inner,
                             uint32_t outer, double innerRadius, double outerRadius);
    void fillRectangleElliptical(double x0, double y0, double x1, double y1, double cx, double cy, double rx,
                                 double ry, uint32_t centre, uint32_t edge);
    void disc(double cx, double cy, double radius, const Paint& paint);
    void ring(double cx, double cy, double radius, double lineWidth, const Paint& paint);
    void roundedRectangle(double x0, double y0, double x1, double y1, double radius, double rotation,
                          const Paint& paint);
    void roundedRectangleOutline(double x0, double y0, double x1, double y1, double radius, double rotation,
                                 double lineWidth, const Paint& paint);
    // The image with its bottom-left corner at (x, y) at natural size, or stretched to the
    // rectangle (x0, y0)-(x1, y1).
    void drawImage(double x, double y, const ImageView& image, double opacity);
    void drawImageScaled(double x0, double y0, double x1, double y1, const ImageView& image, double opacity);
    // The object at (x, y); width and height 0 draw it at its own size.
    void drawObject(const DrawableObject& object, double x, double y, double width = 0, double height = 0);
    // A laid-out line of text; run positions relative to the origin.
    void drawTextRun(const TextRunDrawer* drawer, const TextRun& run, const char16_t* text, uint32_t length,
                     const Paint& paint);
    // Appends the end command and replays the list (bands 0: all). Only once per begin: a
    // second render would composite every translucent command twice.
    void render(unsigned requestedBands = 0);

    // Copies rows of the picture whose lower-left part is `pictureHeight` rows high into `out`
    // top-down, as screens take them: out row i = picture row `firstTopRow` + i counted from the
    // top, `columns` pixels each from column `firstColumn`, `outRowWords` words apart. False
    // (nothing copied) when the rows or columns lie outside the bitmap.
    bool copyRowsTopDown(int32_t pictureHeight, int32_t firstTopRow, int32_t rowCount, int32_t columns, uint32_t* out,
                         size_t outRowWords, int32_t firstColumn = 0) const;

    // Current font (owned by the text engine) and text colour, straight ARGB.
    Font* font = nullptr;
    uint32_t text_colour = 0xFF000000;
    // Held by the window's repaint around recording and rendering.
    std::mutex lock;

private:
    void resetPainter();

    enum class ListState { Recording, Rendered };

    PixelMemory m_memory;
    int32_t m_width = 0;
    int32_t m_height = 0;
    std::vector<double> m_coverage; // per band: coverage row and step row, width + 1 each
    size_t m_coverageRowLength = 0;
    IntRect m_clip;
    IntRect m_limit; // clips never leave it
    Origin m_origin;
    ListState m_listState = ListState::Recording;
    DisplayList m_list;
};

// Radii and line widths are used to a thousandth of a pixel, rounded towards zero.
double truncateToThousandth(double value);
// Angles reduced into (-2 pi, 2 pi).
double reduceAngle(double radians);

} // namespace tonvane
