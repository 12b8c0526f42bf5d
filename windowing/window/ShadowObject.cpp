#include "windowing/window/ShadowObject.h"

#include "graphics/raster/Compositor.h"
#include "graphics/surface/Surface.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tonvane {

namespace {

// The rectangle the tile blurs, [x0, x1) x [y0, y1) in tile pixels, y up: under the content
// (which starts 9 pixels from the left and 10 from the bottom), shifted a little right and down.
constexpr int kRectX0 = 8;
constexpr int kRectX1 = 20;
constexpr int kRectY0 = 7;
constexpr int kRectY1 = 18;

struct Placement {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// The kernel: a disc of radius 3.5 at (3.5, 3.5) painted with a radial gradient centred at
// (3, 3) from opaque black to transparent at radius 3; its alphas, normalised by their sum.
std::array<double, ShadowObject::kKernel * ShadowObject::kKernel> blurKernel()
{
    std::array<double, ShadowObject::kKernel * ShadowObject::kKernel> weights{};
    Surface picture(1);
    if (!picture.setSize(ShadowObject::kKernel, ShadowObject::kKernel))
        return weights;
    picture.begin();
    picture.disc(3.5, 3.5, 3.5, Paint::radial(3, 3, 0xFF000000u, 0x00000000u, 0, 3));
    picture.render();
    double sum = 0;
    for (int y = 0; y < ShadowObject::kKernel; ++y)
        for (int x = 0; x < ShadowObject::kKernel; ++x) {
            double weight = (picture.pixel(x, y) >> 24) / 255.0;
            weights[static_cast<size_t>(y * ShadowObject::kKernel + x)] = weight;
            sum += weight;
        }
    if (sum > 0)
        for (double& weight : weights)
            weight /= sum;
    return weights;
}

} // namespace

ShadowObject::ShadowObject(int shadowWidth) : m_corner(std::clamp(shadowWidth + 3, 1, kTile / 2))
{
    auto kernel = blurKernel();
    constexpr int half = kKernel / 2;
    for (int y = 0; y < kTile; ++y)
        for (int x = 0; x < kTile; ++x) {
            double coverage = 0;
            for (int ky = 0; ky < kKernel; ++ky)
                for (int kx = 0; kx < kKernel; ++kx) {
                    int sx = x + kx - half;
                    int sy = y + ky - half;
                    bool inside = sx >= kRectX0 && sx < kRectX1 && sy >= kRectY0 && sy < kRectY1;
                    if (inside)
                        coverage += kernel[static_cast<size_t>(ky * kKernel + kx)];
                }
            m_tile[static_cast<size_t>(y * kTile + x)] = static_cast<uint8_t>(std::clamp(coverage * 255, 0.0, 255.0));
        }
}

int ShadowObject::tileIndex(int position, int length) const
{
    if (position < m_corner)
        return position;
    if (position >= length - m_corner)
        return kTile - (length - position);
    return kTile / 2;
}

size_t ShadowObject::serialisedSize() const
{
    return sizeof(Placement);
}

void ShadowObject::serialise(const ObjectPlacement& at, uint8_t* out) const
{
    Placement placement{static_cast<int32_t>(std::lround(at.x)), static_cast<int32_t>(std::lround(at.y)),
                        static_cast<int32_t>(std::lround(at.width)), static_cast<int32_t>(std::lround(at.height))};
    std::memcpy(out, &placement, sizeof placement);
}

void ShadowObject::verticalExtent(const ObjectPlacement& at, double& low, double& high) const
{
    low = std::round(at.y);
    high = std::round(at.y) + std::round(at.height);
}

void ShadowObject::render(const BandContext& band, const uint8_t* data, size_t size) const
{
    if (size != sizeof(Placement))
        return;
    Placement at{};
    std::memcpy(&at, data, sizeof at);
    // Narrower than two corners: the corners would overlap; nothing sensible to draw.
    if (at.width < 2 * m_corner || at.height < 2 * m_corner)
        return;
    const PixelTarget& target = band.target;
    int32_t y0 = std::max(target.rowLow, at.y);
    int32_t y1 = std::min(target.rowHigh, at.y + at.height);
    int32_t x0 = std::max(target.clipX0, at.x);
    int32_t x1 = std::min(target.clipX1, at.x + at.width);
    for (int32_t y = y0; y < y1; ++y) {
        uint32_t* row = target.row(y);
        int ty = tileIndex(y - at.y, at.height);
        for (int32_t x = x0; x < x1; ++x) {
            uint32_t alpha = tileAlpha(tileIndex(x - at.x, at.width), ty);
            if (alpha != 0)
                row[x] = compositePixel(row[x], 0x00000000u, alpha);
        }
    }
}

} // namespace tonvane
