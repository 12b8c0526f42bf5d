#include "graphics/surface/Surface.h"

#include "core/foundation/Clock.h"
#include "graphics/displaylist/DrawableObject.h"
#include "graphics/raster/ShapeOutline.h"
#include "graphics/render/RenderPool.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace tonvane {

namespace {

bool finite(std::initializer_list<double> values)
{
    for (double v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

// Integer clip coordinate moved by a fractional origin, kept inside int range.
int32_t translateClip(int32_t value, double offset)
{
    double moved = std::round(value + offset);
    return static_cast<int32_t>(std::clamp(moved, -2147483647.0, 2147483647.0));
}

} // namespace

double truncateToThousandth(double value)
{
    double scaled = value * 1000;
    // 0.29 x 1000 is 289.99999999999997: a value within rounding of a thousandth is that
    // thousandth, not the one below.
    double nearest = std::round(scaled);
    if (std::fabs(scaled - nearest) <= 1e-9 * std::max(1.0, std::fabs(scaled)))
        return nearest / 1000;
    return std::trunc(scaled) / 1000;
}

double reduceAngle(double radians)
{
    return std::fmod(radians, 2 * std::numbers::pi);
}

Surface::Surface(unsigned bandCount) : Surface(bandCount, RenderPool::shared()) {}

Surface::Surface(unsigned bandCount, RenderPool& pool, PixelAllocator& allocator)
    : m_memory(allocator), m_list(*this, bandCount, pool)
{
}

bool Surface::setSize(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0)
        return false;
    if (width > kMaxDimension || height > kMaxDimension)
        return false;
    int32_t newWidth = std::max(width, m_width);
    int32_t newHeight = std::max(height, m_height);
    if (newWidth != m_width || newHeight != m_height) {
        size_t bytes = static_cast<size_t>(newWidth) * static_cast<size_t>(newHeight) * 4;
        PixelMemory grown(m_memory.allocator());
        if (!grown.allocate(bytes))
            return false;
        if (newWidth != m_width) {
            size_t rowLength = static_cast<size_t>(newWidth) + 1;
            m_coverage.assign(rowLength * 2 * m_list.bandCount(), 0.0);
            m_coverageRowLength = rowLength;
        }
        m_memory.swap(grown); // the old memory is unlocked and released with `grown`
        m_width = newWidth;
        m_height = newHeight;
    }
    resetPainter();
    return true;
}

CoverageScratch Surface::coverage(unsigned band) const
{
    if (m_coverage.empty() || band >= m_list.bandCount())
        return {};
    double* base = const_cast<double*>(m_coverage.data()) + band * 2 * m_coverageRowLength;
    return {base, base + m_coverageRowLength};
}

void Surface::resetPainter()
{
    m_origin = {};
    m_clip = bounds();
    m_limit = bounds();
    m_list.reset(m_height);
    m_listState = ListState::Recording;
}

void Surface::begin()
{
    begin(bounds());
}

void Surface::begin(const IntRect& limit)
{
    resetPainter();
    m_limit = intersect(limit, bounds());
    if (m_limit.empty())
        m_limit = {};
    m_clip = m_limit;
    m_list.appendClip(m_clip);
    m_list.appendClear(0, m_clip);
}

bool Surface::setClip(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    IntRect wanted{translateClip(x0, m_origin.dx), translateClip(y0, m_origin.dy), translateClip(x1, m_origin.dx),
                   translateClip(y1, m_origin.dy)};
    IntRect clip = intersect(wanted, m_limit);
    if (clip.empty())
        return false;
    m_clip = clip;
    m_list.appendClip(clip);
    return true;
}

IntRect Surface::getClip() const
{
    return {translateClip(m_clip.x0, -m_origin.dx), translateClip(m_clip.y0, -m_origin.dy),
            translateClip(m_clip.x1, -m_origin.dx), translateClip(m_clip.y1, -m_origin.dy)};
}

void Surface::setOrigin(double dx, double dy)
{
    if (!finite({dx, dy}))
        return;
    m_origin.dx += dx;
    m_origin.dy += dy;
}

void Surface::fillRectangle(double x0, double y0, double x1, double y1, const Paint& paint)
{
    if (!finite({x0, y0, x1, y1}) || !paint.finite())
        return;
    double left = std::min(x0, x1) + m_origin.dx;
    double bottom = std::min(y0, y1) + m_origin.dy;
    m_list.appendRectangle(left, bottom, std::fabs(x1 - x0), std::fabs(y1 - y0),
                           paint.translated(m_origin.dx, m_origin.dy));
}

void Surface::fillRectangle(double x0, double y0, double x1, double y1, uint32_t colour)
{
    fillRectangle(x0, y0, x1, y1, Paint::solid(colour));
}

void Surface::fillRectangleVertical(double x0, double y0, double x1, double y1, uint32_t atY0, uint32_t atY1)
{
    fillRectangle(x0, y0, x1, y1, Paint::linearY(atY0, atY1, y0, y1));
}

void Surface::fillRectangleHorizontal(double x0, double y0, double x1, double y1, uint32_t atX0, uint32_t atX1)
{
    fillRectangle(x0, y0, x1, y1, Paint::linearX(atX0, atX1, x0, x1));
}

void Surface::fillRectangleRadial(double x0, double y0, double x1, double y1, double cx, double cy, uint32_t inner,
                                  uint32_t outer, double innerRadius, double outerRadius)
{
    fillRectangle(x0, y0, x1, y1, Paint::radial(cx, cy, inner, outer, innerRadius, outerRadius));
}

void Surface::fillRectangleElliptical(double x0, double y0, double x1, double y1, double cx, double cy, double rx,
                                      double ry, uint32_t centre, uint32_t edge)
{
    fillRectangle(x0, y0, x1, y1, Paint::elliptical(cx, cy, rx, ry, centre, edge));
}

void Surface::disc(double cx, double cy, double radius, const Paint& paint)
{
    radius = truncateToThousandth(radius);
    if (!finite({cx, cy, radius}) || !paint.finite() || !(radius > 0))
        return;
    m_list.appendDisc(cx + m_origin.dx, cy + m_origin.dy, radius, paint.translated(m_origin.dx, m_origin.dy));
}

void Surface::ring(double cx, double cy, double radius, double lineWidth, const Paint& paint)
{
    radius = truncateToThousandth(radius);
    lineWidth = truncateToThousandth(lineWidth);
    if (!finite({cx, cy, radius, lineWidth}) || !paint.finite() || !(radius > 0) || !(lineWidth > 0))
        return;
    m_list.appendRing(cx + m_origin.dx, cy + m_origin.dy, radius, lineWidth,
                      paint.translated(m_origin.dx, m_origin.dy));
}

void Surface::roundedRectangle(double x0, double y0, double x1, double y1, double radius, double rotation,
                               const Paint& paint)
{
    roundedRectangleOutline(x0, y0, x1, y1, radius, rotation, -1, paint);
}

void Surface::roundedRectangleOutline(double x0, double y0, double x1, double y1, double radius, double rotation,
                                      double lineWidth, const Paint& paint)
{
    bool filled = lineWidth < 0;
    radius = std::max(0.0, truncateToThousandth(radius));
    if (!filled)
        lineWidth = truncateToThousandth(lineWidth);
    if (!finite({x0, y0, x1, y1, radius, rotation, lineWidth}) || !paint.finite())
        return;
    if (!filled && !(lineWidth > 0))
        return;
    rotation = reduceAngle(rotation);
    double left = std::min(x0, x1) + m_origin.dx;
    double bottom = std::min(y0, y1) + m_origin.dy;
    double width = std::fabs(x1 - x0);
    double height = std::fabs(y1 - y0);
    ShapeOutline shape;
    shape.addRoundedRectangle(left, bottom, width, height, radius, rotation, false);
    if (shape.empty())
        return;
    m_list.appendRoundedRectangle(left, bottom, width, height, radius, rotation, shape.yHigh(), shape.yLow(),
                                  lineWidth, paint.translated(m_origin.dx, m_origin.dy));
}

void Surface::drawImage(double x, double y, const ImageView& image, double opacity)
{
    drawImageScaled(x, y, x + image.width, y + image.height, image, opacity);
}

void Surface::drawImageScaled(double x0, double y0, double x1, double y1, const ImageView& image, double opacity)
{
    if (!image.drawable() || !finite({x0, y0, x1, y1, opacity}))
        return;
    ImagePlacement placement;
    placement.x0 = std::min(x0, x1) + m_origin.dx;
    placement.y0 = std::min(y0, y1) + m_origin.dy;
    placement.x1 = std::max(x0, x1) + m_origin.dx;
    placement.y1 = std::max(y0, y1) + m_origin.dy;
    placement.view = image;
    placement.opacity = std::clamp(opacity, 0.0, 1.0);
    m_list.appendImage(placement);
}

void Surface::drawObject(const DrawableObject& object, double x, double y, double width, double height)
{
    if (!finite({x, y, width, height}) || width < 0 || height < 0)
        return;
    m_list.appendObject(object, ObjectPlacement{x + m_origin.dx, y + m_origin.dy, width, height});
}

void Surface::drawTextRun(const TextRunDrawer* drawer, const TextRun& run, const char16_t* text, uint32_t length,
                          const Paint& paint)
{
    if (drawer == nullptr || !paint.finite()
        || !finite({run.penX, run.baselineY, run.boxLeft, run.boxBottom, run.boxWidth, run.boxHeight,
                    run.distribute}))
        return;
    TextRun moved = run;
    moved.penX += m_origin.dx;
    moved.baselineY += m_origin.dy;
    moved.boxLeft += m_origin.dx;
    moved.boxBottom += m_origin.dy;
    m_list.appendTextRun(drawer, moved, text, length, paint.translated(m_origin.dx, m_origin.dy));
}

void Surface::render(unsigned requestedBands)
{
    if (m_listState == ListState::Rendered)
        return;
    m_listState = ListState::Rendered;
    m_list.appendEnd();
    if (pixels() == nullptr)
        return;
    m_list.render(requestedBands);
}

bool Surface::copyRowsTopDown(int32_t pictureHeight, int32_t firstTopRow, int32_t rowCount, int32_t columns,
                              uint32_t* out, size_t outRowWords, int32_t firstColumn) const
{
    if (out == nullptr || pixels() == nullptr || pictureHeight <= 0 || pictureHeight > m_height || firstTopRow < 0
        || rowCount < 0 || rowCount > pictureHeight - firstTopRow || columns <= 0 || firstColumn < 0
        || columns > m_width - firstColumn || outRowWords < static_cast<size_t>(columns))
        return false;
    for (int32_t i = 0; i < rowCount; ++i) {
        int32_t row = pictureHeight - 1 - (firstTopRow + i);
        std::memcpy(out + static_cast<size_t>(i) * outRowWords,
                    pixels() + static_cast<size_t>(row) * m_width + firstColumn, static_cast<size_t>(columns) * 4);
    }
    return true;
}

} // namespace tonvane
