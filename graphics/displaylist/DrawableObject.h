#pragma once
#include "graphics/render/BandContext.h"

#include <cstddef>
#include <cstdint>

namespace tonvane {

// Where one drawing of an object goes, in surface pixels (the painter's origin already added).
// A width or height of 0 means the object's own size.
struct ObjectPlacement {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// An object that records itself into the display list (the window shadow is one). Objects are
// immutable after construction: one object may be recorded by several windows repainting on
// different threads, so everything that differs between drawings comes in the placement and
// travels in the serialised data. Every band draws from that data alone, in parallel. The
// object must outlive the render of the list it was recorded into.
class DrawableObject {
public:
    virtual ~DrawableObject() = default;
    virtual size_t serialisedSize() const = 0;
    virtual void serialise(const ObjectPlacement& at, uint8_t* out) const = 0;
    // Lowest and highest y the object paints at that placement, in surface pixels.
    virtual void verticalExtent(const ObjectPlacement& at, double& low, double& high) const = 0;
    virtual void render(const BandContext& band, const uint8_t* data, size_t size) const = 0;
};

} // namespace tonvane
