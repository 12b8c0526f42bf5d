#include "controls/label/Label.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "core/foundation/Utf.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/TextFit.h"
#include "graphics/text/TextLayout.h"

#include <utility>

namespace tonvane {

namespace {
std::function<void(const std::string&)> g_addressOpener;
}

void setAddressOpener(std::function<void(const std::string&)> opener)
{
    g_addressOpener = std::move(opener);
}

void openAddress(const std::string& address)
{
    if (g_addressOpener)
        g_addressOpener(address);
}

void Label::setCaption(Caption caption)
{
    m_caption = std::move(caption);
    requestRepaint();
}

void Label::setFlags(uint32_t flags)
{
    if (std::exchange(m_flags, flags) != flags)
        requestRepaint();
}

void Label::setFont(Font* font)
{
    if (std::exchange(m_font, font) != font)
        requestRepaint();
}

void Label::setColour(uint32_t colour)
{
    if (std::exchange(m_colour, colour) != colour)
        requestRepaint();
}

void Label::setBorder(uint32_t sides, uint32_t colour, int32_t lineWidth)
{
    m_borderSides = sides;
    m_borderColour = colour;
    m_borderWidth = lineWidth;
    requestRepaint();
}

void Label::setLink(TextId address)
{
    m_address = address;
    m_flags |= kLink;
}

void Label::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    surface.font = m_font != nullptr ? m_font : theme != nullptr ? theme->font() : nullptr;
    bool link = (m_flags & kLink) != 0;
    surface.text_colour = link && m_hovered ? palette::kLink : m_colour;
    std::u16string text(m_caption.view());
    uint32_t alignment = m_flags & (kTextCentre | kTextRight | kTextVerticalCentre);
    // A one-line label too long for its width ends in an ellipsis rather than losing words.
    if ((alignment & kTextVerticalCentre) && surface.font != nullptr)
        text = fitWithEllipsis(*surface.font, text, width()).text;
    drawText(surface, text.c_str(), int32_t(text.size()), alignment, 0, 0, width(), height());
    if (m_borderWidth > 0) {
        double w = m_borderWidth;
        if (m_borderSides & kBorderLeft)
            surface.fillRectangle(0, 0, w, height(), m_borderColour);
        if (m_borderSides & kBorderBottom)
            surface.fillRectangle(0, 0, width(), w, m_borderColour);
        if (m_borderSides & kBorderRight)
            surface.fillRectangle(width() - w, 0, width(), height(), m_borderColour);
        if (m_borderSides & kBorderTop)
            surface.fillRectangle(0, height() - w, width(), height(), m_borderColour);
    }
}

void Label::onMouse(MouseAction action, int32_t x, int32_t y)
{
    if (!(m_flags & kLink) || !isInteractive())
        return;
    bool inside = x >= 0 && y >= 0 && x < width() && y < height();
    if (action == MouseAction::Move) {
        // A hover on the route lets the label see the pointer leave and drop its hover colour.
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
    if (action == MouseAction::LeftDown && inside && m_onClick) {
        // The routine may open a modal dialog: the hover ends first.
        m_hovered = false;
        releaseCapture();
        requestRepaint();
        std::function<void()> onClick = m_onClick;
        onClick();
        return;
    }
    if (action == MouseAction::LeftDown && inside && m_address >= 0 && m_address < kTextCount)
        openAddress(utf16ToUtf8(uiText(m_address).view()));
}

void Label::captureLost()
{
    if (!m_hovered)
        return;
    m_hovered = false;
    requestRepaint();
}

} // namespace tonvane
