#include "graphics/raster/Paint.h"

#include <algorithm>

namespace tonvane {

namespace {

int channelShift(int channel)
{
    return 24 - 8 * channel; // alpha, red, green, blue
}

} // namespace

Paint Paint::translated(double dx, double dy) const
{
    Paint moved = *this;
    switch (kind) {
    case PaintKind::Solid:
        break;
    case PaintKind::LinearY:
        moved.start += dy;
        moved.end += dy;
        break;
    case PaintKind::LinearX:
        moved.start += dx;
        moved.end += dx;
        break;
    case PaintKind::Radial:
    case PaintKind::Elliptical:
        moved.centreX += dx;
        moved.centreY += dy;
        break;
    }
    return moved;
}

PaintEvaluator::PaintEvaluator(const Paint& paint) : m_paint(paint)
{
    for (int c = 0; c < 4; ++c) {
        double from = (paint.colour0 >> channelShift(c)) & 0xFF;
        double to = (paint.colour1 >> channelShift(c)) & 0xFF;
        m_startChannel[c] = from;
        m_difference[c] = to - from;
    }
    m_length = paint.end - paint.start;
    if (paint.kind == PaintKind::Elliptical) {
        double rx = paint.radius0;
        double ry = paint.radius1;
        m_xIsLarger = rx > ry;
        m_larger = std::max(rx, ry);
        double smaller = std::min(rx, ry);
        m_degenerate = !(smaller > 0);
        m_ratio = m_degenerate ? 0 : m_larger / smaller;
    }
}

uint32_t PaintEvaluator::mix(double t) const
{
    uint32_t colour = 0;
    for (int c = 0; c < 4; ++c) {
        double value = m_startChannel[c] + t * m_difference[c];
        int rounded = static_cast<int>(value + 0.5);
        rounded = std::clamp(rounded, 0, 255);
        colour |= static_cast<uint32_t>(rounded) << channelShift(c);
    }
    return colour;
}

uint32_t PaintEvaluator::linearAt(double position) const
{
    double offset = position - m_paint.start;
    if (m_length == 0)
        return offset < 0 ? m_paint.colour0 : m_paint.colour1;
    double t = offset / m_length;
    if (t <= 0)
        return m_paint.colour0;
    if (t >= 1)
        return m_paint.colour1;
    return mix(t);
}

uint32_t PaintEvaluator::radialAt(double x, double y) const
{
    double dx = x - m_paint.centreX;
    double dy = y - m_paint.centreY;
    double inner = m_paint.radius0;
    double outer = m_paint.radius1;
    if (std::fabs(dx) > outer || std::fabs(dy) > outer)
        return m_paint.colour1;
    double d = std::sqrt(dx * dx + dy * dy);
    if (d >= outer)
        return m_paint.colour1;
    if (d == 0 || d <= inner)
        return m_paint.colour0;
    return mix((d - inner) / (outer - inner));
}

uint32_t PaintEvaluator::ellipticalAt(double x, double y) const
{
    if (m_degenerate)
        return m_paint.colour1;
    double dx = x - m_paint.centreX;
    double dy = y - m_paint.centreY;
    if (m_xIsLarger)
        dy *= m_ratio;
    else
        dx *= m_ratio;
    double d = std::sqrt(dx * dx + dy * dy);
    if (d == 0)
        return m_paint.colour0;
    if (d >= m_larger)
        return m_paint.colour1;
    return mix(d / m_larger);
}

} // namespace tonvane
