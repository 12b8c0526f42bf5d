#include "graphics/image/ImageStrip.h"

#include "graphics/surface/Surface.h"

#include <algorithm>

namespace tonvane {

bool ImageStrip::load(uint32_t resourceId)
{
    m_image.reset();
    return setImage(loadImageFromResource(resourceId));
}

bool ImageStrip::loadFromMemory(std::span<const uint8_t> png)
{
    m_image.reset();
    return setImage(loadImageFromMemory(png));
}

bool ImageStrip::setImage(ImagePtr image)
{
    m_image = std::move(image);
    int32_t side = m_image ? std::min(m_image->width, m_image->height) : 0;
    m_frameWidth = side;
    m_frameHeight = side;
    return m_image != nullptr;
}

void ImageStrip::setFrameSize(int32_t frameWidth, int32_t frameHeight)
{
    m_frameWidth = frameWidth;
    m_frameHeight = frameHeight;
}

int32_t ImageStrip::frameCount() const
{
    if (!m_image || m_frameWidth <= 0 || m_frameHeight <= 0)
        return 0;
    if (m_image->width > m_image->height)
        return m_image->width / m_frameWidth;
    return m_image->height / m_frameHeight;
}

ImageView ImageStrip::frame(int32_t index) const
{
    if (index < 0 || index >= frameCount())
        return {};
    const Image& image = *m_image;
    // A frame side set larger than the picture is cut to it, so a view never reads outside.
    ImageView view;
    view.width = std::min(m_frameWidth, image.width);
    view.height = std::min(m_frameHeight, image.height);
    view.row_length = image.width;
    if (image.width > image.height)
        view.pixels = image.pixels + static_cast<size_t>(index) * m_frameWidth;
    else
        view.pixels = image.pixels + static_cast<size_t>(index) * m_frameHeight * image.width;
    return view;
}

void drawFrame(Surface& surface, const ImageStrip& strip, int32_t index, double x, double y, double opacity)
{
    ImageView view = strip.frame(index);
    if (view.pixels != nullptr)
        surface.drawImage(x, y, view, opacity);
}

} // namespace tonvane
