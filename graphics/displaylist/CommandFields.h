#pragma once
#include "graphics/displaylist/Opcode.h"
#include "graphics/raster/Paint.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tonvane {

// Commands are packed without padding; fields are copied in and out byte-wise.
class FieldWriter {
public:
    explicit FieldWriter(uint8_t* at) : m_at(at) {}
    template <typename T>
    void put(T value)
    {
        std::memcpy(m_at, &value, sizeof value);
        m_at += sizeof value;
    }
    void opcode(Opcode op) { put(static_cast<uint32_t>(op)); }
    void bytes(const void* data, size_t size)
    {
        if (size > 0)
            std::memcpy(m_at, data, size);
        m_at += size;
    }
    uint8_t* at() const { return m_at; }

private:
    uint8_t* m_at;
};

// Reads fields up to the end of the buffer; reading past it yields zeros and clears ok().
class FieldReader {
public:
    FieldReader(const uint8_t* at, const uint8_t* end) : m_at(at), m_end(end) {}
    template <typename T>
    T get()
    {
        T value{};
        if (static_cast<size_t>(m_end - m_at) < sizeof value) {
            m_ok = false;
            m_at = m_end;
            return value;
        }
        std::memcpy(&value, m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }
    const uint8_t* skip(size_t size)
    {
        if (static_cast<size_t>(m_end - m_at) < size) {
            m_ok = false;
            m_at = m_end;
            return nullptr;
        }
        const uint8_t* start = m_at;
        m_at += size;
        return start;
    }
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at >= m_end; }

private:
    const uint8_t* m_at;
    const uint8_t* m_end;
    bool m_ok = true;
};

// Encoded size of a paint command [bytes].
inline size_t paintCommandBytes(PaintKind kind)
{
    switch (kind) {
    case PaintKind::Solid:
        return 4 + 4;
    case PaintKind::LinearY:
    case PaintKind::LinearX:
        return 4 + 4 + 4 + 8 + 8;
    case PaintKind::Radial:
    case PaintKind::Elliptical:
        return 4 + 8 * 4 + 4 + 4;
    }
    return 8;
}

inline void writePaint(FieldWriter& out, const Paint& paint)
{
    out.put(static_cast<uint32_t>(paint.kind));
    switch (paint.kind) {
    case PaintKind::Solid:
        out.put(paint.colour0);
        break;
    case PaintKind::LinearY:
    case PaintKind::LinearX:
        out.put(paint.colour0);
        out.put(paint.colour1);
        out.put(paint.start);
        out.put(paint.end);
        break;
    case PaintKind::Radial:
        out.put(paint.centreX);
        out.put(paint.centreY);
        out.put(paint.colour0);
        out.put(paint.colour1);
        out.put(paint.radius0);
        out.put(paint.radius1);
        break;
    case PaintKind::Elliptical:
        out.put(paint.centreX);
        out.put(paint.centreY);
        out.put(paint.radius0);
        out.put(paint.radius1);
        out.put(paint.colour0);
        out.put(paint.colour1);
        break;
    }
}

// Reads the paint command that follows a geometry command; false when the next command is not
// a paint.
inline bool readPaint(FieldReader& in, Paint& paint)
{
    uint32_t op = in.get<uint32_t>();
    paint = Paint{};
    switch (op) {
    case static_cast<uint32_t>(PaintKind::Solid):
        paint.kind = PaintKind::Solid;
        paint.colour0 = in.get<uint32_t>();
        break;
    case static_cast<uint32_t>(PaintKind::LinearY):
    case static_cast<uint32_t>(PaintKind::LinearX):
        paint.kind = static_cast<PaintKind>(op);
        paint.colour0 = in.get<uint32_t>();
        paint.colour1 = in.get<uint32_t>();
        paint.start = in.get<double>();
        paint.end = in.get<double>();
        break;
    case static_cast<uint32_t>(PaintKind::Radial):
        paint.kind = PaintKind::Radial;
        paint.centreX = in.get<double>();
        paint.centreY = in.get<double>();
        paint.colour0 = in.get<uint32_t>();
        paint.colour1 = in.get<uint32_t>();
        paint.radius0 = in.get<double>();
        paint.radius1 = in.get<double>();
        break;
    case static_cast<uint32_t>(PaintKind::Elliptical):
        paint.kind = PaintKind::Elliptical;
        paint.centreX = in.get<double>();
        paint.centreY = in.get<double>();
        paint.radius0 = in.get<double>();
        paint.radius1 = in.get<double>();
        paint.colour0 = in.get<uint32_t>();
        paint.colour1 = in.get<uint32_t>();
        break;
    default:
        return false;
    }
    return in.ok();
}

} // namespace tonvane
