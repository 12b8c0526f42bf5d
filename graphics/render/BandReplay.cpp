#include "graphics/render/BandReplay.h"

#include "graphics/displaylist/CommandFields.h"
#include "graphics/displaylist/DrawableObject.h"
#include "graphics/displaylist/Opcode.h"
#include "graphics/displaylist/TextRunDrawer.h"
#include "graphics/raster/ImageCompositor.h"
#include "graphics/raster/PixelFill.h"
#include "graphics/raster/RectangleRasteriser.h"
#include "graphics/raster/ShapeOutline.h"
#include "graphics/render/BandContext.h"
#include "graphics/surface/IntRect.h"

#include <algorithm>

namespace tonvane {

namespace {

class BandReplayer {
public:
    explicit BandReplayer(const BandReplayInput& input)
        : m_input(input), m_reader(input.commands, input.commands + input.commandBytes)
    {
        m_clip = {0, 0, input.width, input.height};
        m_rowLow = std::max(0, input.firstRow);
        m_rowHigh = std::min(input.height, input.endRow);
    }

    void run()
    {
        while (m_reader.ok() && !m_reader.atEnd()) {
            auto op = static_cast<Opcode>(m_reader.get<uint32_t>());
            if (!m_reader.ok() || !step(op))
                return;
        }
    }

private:
    // Handles one command; false ends the walk (end command or a damaged list).
    bool step(Opcode op)
    {
        switch (op) {
        case Opcode::Clip:
            return clip();
        case Opcode::Clear:
            return clear();
        case Opcode::Rectangle:
            return rectangle();
        case Opcode::Disc:
            return circle(false);
        case Opcode::Ring:
            return circle(true);
        case Opcode::RoundedRectangle:
            return roundedRectangle(false);
        case Opcode::RoundedRectangleOutline:
            return roundedRectangle(true);
        case Opcode::Object:
            return object();
        case Opcode::TextRun:
            return textRun();
        case Opcode::Image:
            return image();
        case Opcode::End:
        default:
            // Paints only follow geometry; anything else here means the walk cannot go on.
            return false;
        }
    }

    // The band's current rows cut to [low, high); empty when nothing remains.
    bool rowsFor(double low, double high, RasterWindow& window) const
    {
        window.x0 = m_clip.x0;
        window.x1 = m_clip.x1;
        window.y0 = std::max(m_rowLow, clampedFloor(low, m_rowLow, m_rowHigh));
        window.y1 = std::min(m_rowHigh, clampedCeil(high, m_rowLow, m_rowHigh));
        return !window.empty();
    }

    BandContext context(const RasterWindow& window) const
    {
        BandContext band;
        band.target.pixels = m_input.pixels;
        band.target.width = m_input.width;
        band.target.clipX0 = window.x0;
        band.target.clipX1 = window.x1;
        band.target.rowLow = window.y0;
        band.target.rowHigh = window.y1;
        band.scratch = m_input.scratch;
        return band;
    }

    bool clip()
    {
        IntRect rect;
        rect.x0 = m_reader.get<int32_t>();
        rect.y0 = m_reader.get<int32_t>();
        rect.x1 = m_reader.get<int32_t>();
        rect.y1 = m_reader.get<int32_t>();
        m_clip = intersect(rect, IntRect{0, 0, m_input.width, m_input.height});
        m_rowLow = std::max({m_input.firstRow, m_clip.y0, 0});
        m_rowHigh = std::min({m_input.endRow, m_clip.y1, m_input.height});
        return m_reader.ok();
    }

    bool clear()
    {
        uint32_t value = m_reader.get<uint32_t>();
        if (!m_reader.ok())
            return false;
        if (m_clip.x0 >= m_clip.x1)
            return true;
        for (int32_t y = m_rowLow; y < m_rowHigh; ++y) {
            uint32_t* row = m_input.pixels + static_cast<size_t>(y) * m_input.width;
            fillPixels(row + m_clip.x0, static_cast<size_t>(m_clip.x1 - m_clip.x0), value);
        }
        return true;
    }

    bool rectangle()
    {
        double x = m_reader.get<double>();
        double y = m_reader.get<double>();
        double width = m_reader.get<double>();
        double height = m_reader.get<double>();
        Paint paint;
        if (!readPaint(m_reader, paint))
            return false;
        RasterWindow window;
        if (!rowsFor(y, y + height, window))
            return true;
        PaintSink sink(context(window).target, paint);
        rasteriseRectangle(x, y, width, height, window, sink);
        return true;
    }

    void fillOutline(const ShapeOutline& shape, const Paint& paint, const RasterWindow& window)
    {
        BandContext band = context(window);
        PaintSink sink(band.target, paint);
        rasteriseOutline(shape, window, band.scratch, sink);
    }

    // A disc, or with ring set a ring (one more field: its line width).
    bool circle(bool ring)
    {
        double cx = m_reader.get<double>();
        double cy = m_reader.get<double>();
        double radius = m_reader.get<double>();
        double lineWidth = ring ? m_reader.get<double>() : 0;
        Paint paint;
        if (!readPaint(m_reader, paint))
            return false;
        RasterWindow window;
        if (!rowsFor(cy - radius, cy + radius, window))
            return true;
        ShapeOutline shape;
        if (ring)
            shape.addRing(cx, cy, radius, lineWidth);
        else
            shape.addCircle(cx, cy, radius, false);
        fillOutline(shape, paint, window);
        return true;
    }

    bool roundedRectangle(bool outline)
    {
        double x = m_reader.get<double>();
        double y = m_reader.get<double>();
        double width = m_reader.get<double>();
        double height = m_reader.get<double>();
        double radius = m_reader.get<double>();
        double rotation = m_reader.get<double>();
        double highest = m_reader.get<double>();
        double lowest = m_reader.get<double>();
        double lineWidth = outline ? m_reader.get<double>() : 0;
        Paint paint;
        if (!readPaint(m_reader, paint))
            return false;
        RasterWindow window;
        if (!rowsFor(lowest, highest, window))
            return true;
        ShapeOutline shape;
        if (outline)
            shape.addRoundedRectangleOutline(x, y, width, height, radius, rotation, lineWidth);
        else
            shape.addRoundedRectangle(x, y, width, height, radius, rotation, false);
        fillOutline(shape, paint, window);
        return true;
    }

    bool object()
    {
        auto* drawable = m_reader.get<const DrawableObject*>();
        double low = m_reader.get<double>();
        double high = m_reader.get<double>();
        uint32_t size = m_reader.get<uint32_t>();
        const uint8_t* data = m_reader.skip(size);
        if (!m_reader.ok())
            return false;
        RasterWindow window;
        if (drawable == nullptr || !rowsFor(low, high, window))
            return true;
        drawable->render(context(window), data, size);
        return true;
    }

    bool textRun()
    {
        TextRun run;
        run.penX = m_reader.get<double>();
        run.baselineY = m_reader.get<double>();
        run.boxLeft = m_reader.get<double>();
        run.boxBottom = m_reader.get<double>();
        run.boxWidth = m_reader.get<double>();
        run.boxHeight = m_reader.get<double>();
        auto* drawer = m_reader.get<const TextRunDrawer*>();
        run.textIndex = m_reader.get<uint32_t>();
        run.textLength = m_reader.get<uint32_t>();
        run.spaces = m_reader.get<uint32_t>();
        run.distribute = m_reader.get<double>();
        run.inkBottom = m_reader.get<int32_t>();
        run.inkTop = m_reader.get<int32_t>();
        Paint paint;
        if (!readPaint(m_reader, paint))
            return false;
        RasterWindow window;
        if (drawer == nullptr || !rowsFor(run.rowsLow(), run.rowsHigh(), window))
            return true;
        if (run.textIndex > m_input.textUnits || run.textLength > m_input.textUnits - run.textIndex)
            return true;
        drawer->drawRun(context(window), run, m_input.text + run.textIndex, paint);
        return true;
    }

    bool image()
    {
        ImagePlacement placement;
        placement.x0 = m_reader.get<double>();
        placement.y0 = m_reader.get<double>();
        placement.x1 = m_reader.get<double>();
        placement.y1 = m_reader.get<double>();
        placement.view.width = m_reader.get<int32_t>();
        placement.view.height = m_reader.get<int32_t>();
        placement.view.row_length = m_reader.get<int32_t>();
        placement.view.pixels = m_reader.get<const uint32_t*>();
        placement.opacity = m_reader.get<double>();
        if (!m_reader.ok())
            return false;
        RasterWindow window;
        if (!rowsFor(placement.y0, placement.y1, window))
            return true;
        compositeImage(placement, context(window).target);
        return true;
    }

    const BandReplayInput& m_input;
    FieldReader m_reader;
    IntRect m_clip;
    int32_t m_rowLow = 0;
    int32_t m_rowHigh = 0;
};

} // namespace

void replayCommands(const BandReplayInput& input)
{
    if (input.pixels == nullptr || input.commands == nullptr || input.scratch.area == nullptr)
        return;
    BandReplayer(input).run();
}

} // namespace tonvane
