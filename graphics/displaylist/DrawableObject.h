#pragma once
#include "graphics/render/BandContext.h"

#include <cstddef>
#include <cstdint>

namespace tonvane {

// An object that records itself into the display list (the window shadow is one). The painter
// tells it its position, asks for its serialised form and its vertical extent; every band then
// draws it from that serialised data alone, in parallel, so render must only read `data` and
// immutable state. The object must outlive the render of the list it was recorded into.
class DrawableObject {
public:
    virtual ~DrawableObject() = default;
    virtual void setPosition(double x, double y) = 0;
    virtual size_t serialisedSize() const = 0;
    virtual void serialise(uint8_t* out) const = 0;
    // Lowest and highest y the object paints, in surface pixels.
    virtual void verticalExtent(double& low, double& high) const = 0;
    virtual void render(const BandContext& band, const uint8_t* data, size_t size) const = 0;
};

} // namespace tonvane
