#pragma once
#include "graphics/displaylist/DrawableObject.h"

#include <array>
#include <cstdint>

namespace tonvane {

// The drop shadow: a black 28 x 28 tile whose alpha is a blurred rectangle, drawn over a whole
// window bitmap as a nine-part image (corners of shadowWidth + 3 pixels copied, the edges
// repeated along the sides, the centre from the tile's centre). Built once; immutable, so every
// window may record it from any thread.
class ShadowObject final : public DrawableObject {
public:
    static constexpr int kTile = 28; // [pixels]
    static constexpr int kKernel = 7; // [pixels]

    explicit ShadowObject(int shadowWidth);

    // Tile alpha at (x, y), y up.
    uint8_t tileAlpha(int x, int y) const { return m_tile[static_cast<size_t>(y) * kTile + static_cast<size_t>(x)]; }
    int corner() const { return m_corner; }

    size_t serialisedSize() const override;
    void serialise(const ObjectPlacement& at, uint8_t* out) const override;
    void verticalExtent(const ObjectPlacement& at, double& low, double& high) const override;
    void render(const BandContext& band, const uint8_t* data, size_t size) const override;

private:
    // The tile coordinate a bitmap coordinate maps to along a side `length` pixels long.
    int tileIndex(int position, int length) const;

    int m_corner;
    std::array<uint8_t, kTile * kTile> m_tile{};
};

} // namespace tonvane
