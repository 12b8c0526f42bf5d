#include "app/window/CoverView.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "graphics/image/ImageScaler.h"
#include "graphics/image/JpegDecoder.h"
#include "graphics/surface/Surface.h"

namespace tonvane {

namespace {
constexpr uint32_t kMaxCoverSide = 4096; // [pixels] larger covers are refused before decoding
} // namespace

std::shared_ptr<const Image> CoverView::prepare(std::span<const uint8_t> bytes)
{
    ImagePtr decoded = decodeCoverImage(bytes, kMaxCoverSide);
    if (!decoded)
        return nullptr;
    ScaledSize size = fitInside(decoded->width, decoded->height, kSide, kSide);
    ImagePtr scaled = scaleImage(*decoded, size.width, size.height);
    if (!scaled)
        return nullptr;
    return std::shared_ptr<const Image>(scaled.release(), ImageDeleter());
}

void CoverView::setPicture(std::shared_ptr<const Image> picture)
{
    m_picture = std::move(picture);
    setStyle(style::kVisible, m_picture ? style::kVisible : 0);
    requestRepaint();
}

void CoverView::paint(Surface& s)
{
    if (!m_picture)
        return;
    int32_t w = width(), h = height();
    ControlTheme* theme = controlTheme();
    if (theme != nullptr)
        theme->drawPanel(s, {0, 0, w, h}, 0);
    // Centred in the box; a picture narrower or lower than it leaves panel on two sides.
    double x = (w - m_picture->width) / 2, y = (h - m_picture->height) / 2;
    s.drawImage(x, y, m_picture->view(), 1.0);
    uint32_t border = theme != nullptr ? theme->frameBorder() : palette::kGrey;
    s.fillRectangle(x - 1, y - 1, x + m_picture->width + 1, y, border);
    s.fillRectangle(x - 1, y + m_picture->height, x + m_picture->width + 1, y + m_picture->height + 1, border);
    s.fillRectangle(x - 1, y, x, y + m_picture->height, border);
    s.fillRectangle(x + m_picture->width, y, x + m_picture->width + 1, y + m_picture->height, border);
}

} // namespace tonvane
