#pragma once
#include "graphics/displaylist/GrowableBuffer.h"
#include "graphics/displaylist/Opcode.h"
#include "graphics/displaylist/TextRunDrawer.h"
#include "graphics/raster/ImageCompositor.h"
#include "graphics/raster/Paint.h"
#include "graphics/surface/IntRect.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace tonvane {

class DrawableObject;
struct ObjectPlacement;
class RenderPool;
class Surface;

// The recorded paint commands of one repaint and the bands that replay them. Appends take
// coordinates with the painter's origin already added; every painting command widens the range
// of dirty rows [dirty_low, dirty_high). An append that does not fit the buffer's limit is
// dropped whole (a command never loses its paint) and answers false.
class DisplayList {
public:
    static constexpr size_t kCommandLimit = size_t{64} << 20; // [bytes]
    static constexpr size_t kTextLimit = size_t{16} << 20; // [bytes]

    // bandCount 0: one band per worker of the pool. Bands run on the pool's threads.
    DisplayList(Surface& surface, unsigned bandCount, RenderPool& pool);
    ~DisplayList();
    DisplayList(const DisplayList&) = delete;
    DisplayList& operator=(const DisplayList&) = delete;

    // Empties both buffers and the dirty range, (surfaceHeight, 0).
    void reset(int32_t surfaceHeight);

    bool appendClip(const IntRect& clip);
    bool appendClear(uint32_t value, const IntRect& clip);
    bool appendRectangle(double x, double y, double width, double height, const Paint& paint);
    bool appendDisc(double cx, double cy, double radius, const Paint& paint);
    bool appendRing(double cx, double cy, double radius, double lineWidth, const Paint& paint);
    // highest and lowest y of the (rotated) shape; lineWidth < 0 records the filled shape.
    bool appendRoundedRectangle(double x, double y, double width, double height, double radius, double rotation,
                                double highest, double lowest, double lineWidth, const Paint& paint);
    bool appendObject(const DrawableObject& object, const ObjectPlacement& at);
    bool appendTextRun(const TextRunDrawer* drawer, TextRun run, const char16_t* text, uint32_t length,
                       const Paint& paint);
    bool appendImage(const ImagePlacement& image);
    bool appendEnd();

    // Replays the list over the dirty rows with min(requested, band count) bands (0: all) and
    // returns when every band is done.
    void render(unsigned requestedBands);

    unsigned bandCount() const { return m_bandCount; }
    // Pool threads that run its bands (0 with a single band or without workers).
    unsigned workerCount() const;
    // The processor the worker of band `index` keeps to (kNoProcessor: none, or no worker).
    int bandProcessor(unsigned index) const;
    int32_t dirtyLow() const { return m_dirtyLow; }
    int32_t dirtyHigh() const { return m_dirtyHigh; }
    const uint8_t* commands() const { return m_commands.data(); }
    size_t commandBytes() const { return m_commands.size(); }
    size_t commandCapacity() const { return m_commands.capacity(); }
    size_t textUnits() const { return m_text.size() / sizeof(char16_t); }

    // Replays rows [first, end) for band `index`.
    void replayBand(unsigned index, int32_t first, int32_t end) const;
    // Replays band `index` over the rows the current render gave it (on a pool worker).
    void replayAssignedBand(unsigned index) const;

private:
    void widenDirty(double low, double high);
    // Reserves command bytes plus the encoded paint and writes the paint after the command.
    uint8_t* extendWithPaint(size_t commandBytes, const Paint& paint);

    Surface& m_surface;
    GrowableBuffer m_commands{kCommandLimit};
    GrowableBuffer m_text{kTextLimit};
    int32_t m_height = 0;
    int32_t m_dirtyLow = 0;
    int32_t m_dirtyHigh = 0;
    unsigned m_bandCount = 1;
    RenderPool& m_pool;
    std::vector<std::pair<int32_t, int32_t>> m_bandRows; // [first, end) per band, this render
};

} // namespace tonvane
