#include "app/window/PageLink.h"

#include "controls/theme/ControlTheme.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/TextFit.h"
#include "graphics/text/TextLayout.h"

#include <cmath>

namespace tonvane {

void PageLink::setCaption(Caption caption)
{
    m_caption = std::move(caption);
    requestRepaint();
}

int32_t PageLink::captionWidth() const
{
    ControlTheme* theme = controlTheme();
    Font* font = theme != nullptr ? theme->font() : nullptr;
    if (font == nullptr)
        return 0;
    std::u16string_view text = m_caption.view();
    return int32_t(std::ceil(measureLine(*font, text.data(), uint32_t(text.size()), 1e6).width));
}

void PageLink::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    Font* font = theme != nullptr ? theme->font() : nullptr;
    if (font == nullptr)
        return;
    surface.font = font;
    surface.text_colour = palette::kLink;
    FittedText fitted = fitWithEllipsis(*font, std::u16string(m_caption.view()), width());
    drawText(surface, fitted.text.c_str(), int32_t(fitted.text.size()), m_alignment | kTextVerticalCentre, 0, 0,
             width(), height());
    if (m_hovered) {
        // Under the text's base line, as the track rows underline their encoder link.
        double left = (m_alignment & kTextRight) ? width() - fitted.width : 0;
        double baseline = (height() - font->ascender - font->descender) / 2 + font->descender;
        surface.fillRectangle(left, baseline - 2, left + fitted.width, baseline - 1, palette::kLink);
    }
}

void PageLink::onMouse(MouseAction action, int32_t x, int32_t y)
{
    if (!isInteractive())
        return;
    bool inside = x >= 0 && y >= 0 && x < width() && y < height();
    if (action == MouseAction::Move) {
        if (inside != m_hovered) {
            m_hovered = inside;
            if (inside)
                takeCapture();
            else
                releaseCapture();
            requestRepaint();
        }
        return;
    }
    if (action == MouseAction::LeftDown && inside && m_onClick)
        m_onClick();
}

void PageLink::captureLost()
{
    if (!m_hovered)
        return;
    m_hovered = false;
    requestRepaint();
}

} // namespace tonvane
