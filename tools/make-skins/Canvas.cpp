#include "tools/make-skins/Canvas.h"

#include <algorithm>

namespace tonvane::skins {

namespace {

constexpr uint32_t kOpaque = 255;

// A premultiplied channel back to straight colour, rounded to nearest.
uint32_t unpremultiply(uint32_t channel, uint32_t alpha)
{
    return std::min<uint32_t>(kOpaque, (channel * kOpaque + alpha / 2) / alpha);
}

} // namespace

Canvas::Canvas(int32_t width, int32_t height)
    : m_width(width)
    , m_height(height)
{
    m_ready = m_surface.setSize(width, height) && m_surface.width() == width && m_surface.height() == height;
    if (m_ready)
        m_surface.begin();
}

bool Canvas::ready() const
{
    for (const std::unique_ptr<Canvas>& layer : m_layers) {
        if (!layer->ready())
            return false;
    }
    return m_ready;
}

void Canvas::render()
{
    m_surface.render(1);
    m_straight.clear();
}

void Canvas::keepInside(const Canvas& mask)
{
    if (!m_ready || !mask.m_ready || mask.m_width != m_width || mask.m_height != m_height)
        return;
    size_t count = static_cast<size_t>(m_width) * m_height;
    uint32_t* pixels = m_surface.pixels();
    const uint32_t* coverage = mask.m_surface.pixels();
    for (size_t i = 0; i < count; ++i) {
        uint32_t scale = coverage[i] >> 24;
        uint32_t p = pixels[i];
        uint32_t result = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            uint32_t channel = (p >> shift) & 0xFF;
            result |= ((channel * scale + kOpaque / 2) / kOpaque) << shift;
        }
        pixels[i] = result;
    }
    m_straight.clear();
}

const std::vector<uint32_t>& Canvas::straightPixels()
{
    if (!m_straight.empty() || !m_ready)
        return m_straight;
    size_t count = static_cast<size_t>(m_width) * m_height;
    m_straight.resize(count);
    const uint32_t* pixels = m_surface.pixels();
    for (size_t i = 0; i < count; ++i) {
        uint32_t p = pixels[i];
        uint32_t alpha = p >> 24;
        if (alpha == 0) {
            m_straight[i] = 0;
            continue;
        }
        m_straight[i] = alpha << 24 | unpremultiply((p >> 16) & 0xFF, alpha) << 16
            | unpremultiply((p >> 8) & 0xFF, alpha) << 8 | unpremultiply(p & 0xFF, alpha);
    }
    return m_straight;
}

ImageView Canvas::image()
{
    const std::vector<uint32_t>& pixels = straightPixels();
    if (pixels.empty())
        return ImageView{};
    return ImageView{m_width, m_height, m_width, pixels.data()};
}

Canvas& Canvas::addLayer(int32_t x, int32_t y, int32_t width, int32_t height)
{
    m_layers.push_back(std::make_unique<Canvas>(width, height));
    Canvas& layer = *m_layers.back();
    layer.m_x = x;
    layer.m_y = y;
    layer.m_surface.setOrigin(-x, -y);
    return layer;
}

void Canvas::drawLayer(Canvas& layer)
{
    m_surface.drawImage(layer.m_x, layer.m_y, layer.image(), 1);
}

} // namespace tonvane::skins
