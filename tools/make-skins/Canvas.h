#pragma once
#include "graphics/image/ImageView.h"
#include "graphics/surface/Surface.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tonvane::skins {

// One layer of a picture: a surface rendered on a single band (so the result never depends on
// the processor count), then read back as straight-alpha ARGB words, rows bottom-up, the form
// images and PNG files take. Layers combine by drawing one as an image onto another, or by
// keeping one only where a mask layer has coverage.
class Canvas {
public:
    Canvas(int32_t width, int32_t height);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // False when the memory of this canvas or of one of its layers was refused.
    bool ready() const;
    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    // The painter; everything recorded is replayed by render().
    Surface& paint() { return m_surface; }

    // Replays the recording once; the pixels are final afterwards.
    void render();
    // Scales every pixel by the alpha of the same pixel of mask (both rendered, same size;
    // nothing happens otherwise).
    void keepInside(const Canvas& mask);
    // The rendered pixels as straight-alpha ARGB, valid while the canvas lives (none when the
    // canvas has no memory).
    ImageView image();
    const std::vector<uint32_t>& straightPixels();
    // A further canvas covering the area (x, y) to (x + width, y + height) of this one, painted
    // in this canvas's coordinates and kept alive as long as this one. Layers cover only what
    // they need: drawing a layer composites every pixel of it, and even its transparent pixels
    // darken what lies below by a 256th.
    Canvas& addLayer(int32_t x, int32_t y, int32_t width, int32_t height);
    // Records the rendered layer drawn as an image at its place.
    void drawLayer(Canvas& layer);

private:
    int32_t m_width;
    int32_t m_height;
    int32_t m_x = 0; // [pixels] place of a layer in its owner
    int32_t m_y = 0;
    Surface m_surface{1};
    bool m_ready = false;
    std::vector<uint32_t> m_straight;
    std::vector<std::unique_ptr<Canvas>> m_layers;
};

} // namespace tonvane::skins
