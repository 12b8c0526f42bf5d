#pragma once
#include "graphics/image/Image.h"

#include <cstdint>
#include <span>

namespace tonvane {

class Surface;

// A picture cut into equal frames: animation frames or an icon set. A strip wider than tall
// runs left to right, otherwise bottom to top in the image's rows. After loading both frame
// sides are min(width, height); owners may set other sizes.
class ImageStrip {
public:
    // Frees the previous image and loads the resource. False (and no image) on failure.
    bool load(uint32_t resourceId);
    bool loadFromMemory(std::span<const uint8_t> png);
    // Takes a decoded image (frames min(width, height) again); false for null.
    bool setImage(ImagePtr image);
    void setFrameSize(int32_t frameWidth, int32_t frameHeight);

    const Image* image() const { return m_image.get(); }
    int32_t frameWidth() const { return m_frameWidth; }
    int32_t frameHeight() const { return m_frameHeight; }
    int32_t frameCount() const;
    // The view of frame `index`; a view without pixels (which draws nothing) outside
    // 0 .. frameCount - 1.
    ImageView frame(int32_t index) const;

private:
    ImagePtr m_image;
    int32_t m_frameWidth = 0; // [pixels]
    int32_t m_frameHeight = 0; // [pixels]
};

// Draws one frame with its bottom-left corner at (x, y); nothing for a frame that does not exist.
void drawFrame(Surface& surface, const ImageStrip& strip, int32_t index, double x, double y, double opacity);

} // namespace tonvane
