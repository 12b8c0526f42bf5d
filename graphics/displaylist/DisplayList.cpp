#include "graphics/displaylist/DisplayList.h"

#include "graphics/displaylist/CommandFields.h"
#include "graphics/displaylist/DrawableObject.h"
#include "graphics/raster/RasterWindow.h"
#include "graphics/render/BandReplay.h"
#include "graphics/render/RenderPool.h"
#include "core/foundation/Thread.h"
#include "graphics/surface/Surface.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tonvane {

namespace {

// Room always kept for the end command.
constexpr size_t kEndBytes = 4; // [bytes]

} // namespace

DisplayList::DisplayList(Surface& surface, unsigned bandCount, RenderPool& pool)
    : m_surface(surface), m_bandCount(std::max(1u, bandCount == 0 ? pool.size() : bandCount)), m_pool(pool),
      m_bandRows(m_bandCount)
{
}

DisplayList::~DisplayList() = default;

unsigned DisplayList::workerCount() const
{
    if (m_bandCount < 2 || m_pool.size() < 2)
        return 0;
    return std::min(m_bandCount, m_pool.size());
}

void DisplayList::reset(int32_t surfaceHeight)
{
    m_commands.clear();
    m_text.clear();
    m_height = surfaceHeight;
    m_dirtyLow = surfaceHeight;
    m_dirtyHigh = 0;
}

void DisplayList::widenDirty(double low, double high)
{
    int32_t from = clampedFloor(low, 0, m_height);
    int32_t to = clampedCeil(high, 0, m_height);
    if (from >= to)
        return;
    m_dirtyLow = std::min(m_dirtyLow, from);
    m_dirtyHigh = std::max(m_dirtyHigh, to);
}

uint8_t* DisplayList::extendWithPaint(size_t commandBytes, const Paint& paint)
{
    size_t total = commandBytes + paintCommandBytes(paint.kind);
    if (m_commands.size() + total + kEndBytes > m_commands.limit())
        return nullptr;
    uint8_t* place = m_commands.extend(total);
    if (place == nullptr)
        return nullptr;
    FieldWriter paintOut(place + commandBytes);
    writePaint(paintOut, paint);
    return place;
}

bool DisplayList::appendClip(const IntRect& clip)
{
    if (m_commands.size() + 20 + kEndBytes > m_commands.limit())
        return false;
    uint8_t* place = m_commands.extend(20);
    if (place == nullptr)
        return false;
    FieldWriter out(place);
    out.opcode(Opcode::Clip);
    out.put(clip.x0);
    out.put(clip.y0);
    out.put(clip.x1);
    out.put(clip.y1);
    widenDirty(clip.y0, clip.y1);
    return true;
}

bool DisplayList::appendClear(uint32_t value, const IntRect& clip)
{
    if (m_commands.size() + 8 + kEndBytes > m_commands.limit())
        return false;
    uint8_t* place = m_commands.extend(8);
    if (place == nullptr)
        return false;
    FieldWriter out(place);
    out.opcode(Opcode::Clear);
    out.put(value);
    widenDirty(clip.y0, clip.y1);
    return true;
}

bool DisplayList::appendRectangle(double x, double y, double width, double height, const Paint& paint)
{
    uint8_t* place = extendWithPaint(4 + 4 * 8, paint);
    if (place == nullptr)
        return false;
    FieldWriter out(place);
    out.opcode(Opcode::Rectangle);
    out.put(x);
    out.put(y);
    out.put(width);
    out.put(height);
    widenDirty(y, y + height);
    return true;
}

bool DisplayList::appendDisc(double cx, double cy, double radius, const Paint& paint)
{
    uint8_t* place = extendWithPaint(4 + 3 * 8, paint);
    if (place == nullptr)
        return false;
    FieldWriter out(place);
    out.opcode(Opcode::Disc);
    out.put(cx);
    out.put(cy);
    out.put(radius);
    widenDirty(cy - radius, cy + radius);
    return true;
}

bool DisplayList::appendRing(double cx, double cy, double radius, double lineWidth, const Paint& paint)
{
    uint8_t* place = extendWithPaint(4 + 4 * 8, paint);
    if (place == nullptr)
        return false;
    FieldWriter out(place);
    out.opcode(Opcode::Ring);
    out.put(cx);
    out.put(cy);
    out.put(radius);
    out.put(lineWidth);
    widenDirty(cy - radius, cy + radius);
    return true;
}

bool DisplayList::appendRoundedRectangle(double x, double y, double width, double height, double radius,
                                         double rotation, double highest, double lowest, double lineWidth,
                                         const Paint& paint)
{
    bool outline = lineWidth >= 0;
    uint8_t* place = extendWithPaint(4 + 8 * 8 + (outline ? 8 : 0), paint);
    if (place == nullptr)
        return false;
    FieldWriter out(place);
    out.opcode(outline ? Opcode::RoundedRectangleOutline : Opcode::RoundedRectangle);
    out.put(x);
    out.put(y);
    out.put(width);
    out.put(height);
    out.put(radius);
    out.put(rotation);
    out.put(highest);
    out.put(lowest);
    if (outline)
        out.put(lineWidth);
    widenDirty(lowest, highest);
    return true;
}

bool DisplayList::appendObject(const DrawableObject& object, const ObjectPlacement& at)
{
    double low = 0;
    double high = 0;
    object.verticalExtent(at, low, high);
    size_t size = object.serialisedSize();
    if (size > std::numeric_limits<uint32_t>::max())
        return false;
    size_t total = 4 + sizeof(void*) + 2 * 8 + 4 + size;
    if (size > m_commands.limit() || m_commands.size() + total + kEndBytes > m_commands.limit())
        return false;
    uint8_t* place = m_commands.extend(total);
    if (place == nullptr)
        return false;
    FieldWriter out(place);
    out.opcode(Opcode::Object);
    out.put(&object);
    out.put(low);
    out.put(high);
    out.put(static_cast<uint32_t>(size));
    object.serialise(at, out.at());
    widenDirty(low, high);
    return true;
}

bool DisplayList::appendTextRun(const TextRunDrawer* drawer, TextRun run, const char16_t* text, uint32_t length,
                                const Paint& paint)
{
    size_t bytes = size_t{length} * sizeof(char16_t);
    if (length > 0 && text == nullptr)
        return false;
    if (m_text.size() + bytes > m_text.limit())
        return false;
    size_t commandBytes = 4 + 6 * 8 + sizeof(void*) + 3 * 4 + 8 + 2 * 4;
    if (m_commands.size() + commandBytes + paintCommandBytes(paint.kind) + kEndBytes > m_commands.limit())
        return false;
    size_t textIndex = m_text.size() / sizeof(char16_t);
    uint8_t* characters = m_text.extend(bytes);
    if (characters == nullptr && bytes > 0)
        return false;
    if (bytes > 0)
        std::memcpy(characters, text, bytes);
    uint8_t* place = extendWithPaint(commandBytes, paint);
    if (place == nullptr)
        return false;
    run.textIndex = static_cast<uint32_t>(textIndex);
    run.textLength = length;
    FieldWriter out(place);
    out.opcode(Opcode::TextRun);
    out.put(run.penX);
    out.put(run.baselineY);
    out.put(run.boxLeft);
    out.put(run.boxBottom);
    out.put(run.boxWidth);
    out.put(run.boxHeight);
    out.put(drawer);
    out.put(run.textIndex);
    out.put(run.textLength);
    out.put(run.spaces);
    out.put(run.distribute);
    out.put(run.inkBottom);
    out.put(run.inkTop);
    widenDirty(run.rowsLow(), run.rowsHigh());
    return true;
}

bool DisplayList::appendImage(const ImagePlacement& image)
{
    size_t total = 4 + 4 * 8 + 3 * 4 + sizeof(void*) + 8;
    if (m_commands.size() + total + kEndBytes > m_commands.limit())
        return false;
    uint8_t* place = m_commands.extend(total);
    if (place == nullptr)
        return false;
    FieldWriter out(place);
    out.opcode(Opcode::Image);
    out.put(image.x0);
    out.put(image.y0);
    out.put(image.x1);
    out.put(image.y1);
    out.put(image.view.width);
    out.put(image.view.height);
    out.put(image.view.row_length);
    out.put(image.view.pixels);
    out.put(image.opacity);
    widenDirty(image.y0, image.y1);
    return true;
}

bool DisplayList::appendEnd()
{
    uint8_t* place = m_commands.extend(kEndBytes);
    if (place == nullptr)
        return false;
    FieldWriter out(place);
    out.opcode(Opcode::End);
    return true;
}

void DisplayList::replayBand(unsigned index, int32_t first, int32_t end) const
{
    BandReplayInput input;
    input.commands = m_commands.data();
    input.commandBytes = m_commands.size();
    input.text = reinterpret_cast<const char16_t*>(m_text.data());
    input.textUnits = m_text.size() / sizeof(char16_t);
    input.pixels = m_surface.pixels();
    input.width = m_surface.width();
    input.height = m_surface.height();
    input.firstRow = first;
    input.endRow = end;
    input.scratch = m_surface.coverage(index);
    replayCommands(input);
}

int DisplayList::bandProcessor(unsigned index) const
{
    unsigned workers = workerCount();
    if (index >= m_bandCount || workers == 0)
        return kNoProcessor;
    return m_pool.processorOf(index % workers);
}

void DisplayList::replayAssignedBand(unsigned index) const
{
    if (index < m_bandRows.size())
        replayBand(index, m_bandRows[index].first, m_bandRows[index].second);
}

void DisplayList::render(unsigned requestedBands)
{
    unsigned n = requestedBands == 0 ? m_bandCount : std::min(requestedBands, m_bandCount);
    if (m_pool.size() < 2)
        n = 1;
    int32_t rows = m_dirtyHigh - m_dirtyLow;
    if (rows <= 0)
        return;
    if (n < 2 || rows < static_cast<int32_t>(n)) {
        replayBand(0, m_dirtyLow, m_dirtyHigh);
        return;
    }
    int32_t share = rows / static_cast<int32_t>(n);
    for (unsigned i = 0; i < n; ++i) {
        int32_t first = m_dirtyLow + static_cast<int32_t>(i) * share;
        int32_t end = i + 1 == n ? m_dirtyHigh : first + share;
        m_bandRows[i] = {first, end};
    }
    m_pool.run(*this, n);
}

} // namespace tonvane
