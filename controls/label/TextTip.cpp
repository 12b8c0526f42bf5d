#include "controls/label/TextTip.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/TextFit.h"
#include "graphics/text/TextLayout.h"

#include <algorithm>
#include <cmath>

namespace tonvane {

namespace {
constexpr uint32_t kTipFill = 0xFFFFFFE8; // opaque: the text below must not show through
constexpr uint32_t kTipBorder = 0xFF808080;
} // namespace

TextTip::TextTip(Widget* parent) : Widget(parent)
{
    create(0, 0, 0, 0, style::kDisabled);
}

void TextTip::showText(std::u16string text, int32_t left, int32_t top, int32_t maxWidth, int32_t above)
{
    ControlTheme* theme = controlTheme();
    Font* font = theme != nullptr ? theme->font() : nullptr;
    if (font == nullptr || maxWidth <= 2 * kPadding) {
        hideText();
        return;
    }
    m_text = std::move(text);
    m_lines = wrapWithEllipsis(*font, m_text, maxWidth - 2 * kPadding, kMaxLines);
    double widest = 0;
    for (const std::u16string& line : m_lines)
        widest = std::max(widest, measureLine(*font, line.data(), uint32_t(line.size()), 1e9).width);
    int32_t width = std::min(maxWidth, static_cast<int32_t>(std::ceil(widest)) + 2 * kPadding);
    int32_t height = static_cast<int32_t>(std::ceil(m_lines.size() * font->line_height)) + 2 * kPadding;
    int32_t bottom = top - height;
    if (bottom < 0)
        bottom = above;
    if (style() & style::kVisible)
        hide(); // the old place is repainted
    setRect(left, bottom, width, height);
    show();
}

void TextTip::hideText()
{
    m_text.clear();
    m_lines.clear();
    hide();
}

void TextTip::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    Font* font = theme != nullptr ? theme->font() : nullptr;
    if (font == nullptr)
        return;
    surface.fillRectangle(0, 0, width(), height(), kTipBorder);
    surface.fillRectangle(1, 1, width() - 1, height() - 1, kTipFill);
    surface.font = font;
    surface.text_colour = palette::kText;
    double top = height() - kPadding;
    for (const std::u16string& line : m_lines) {
        drawText(surface, line.c_str(), int32_t(line.size()), 0, kPadding, top - font->line_height, width(), top);
        top -= font->line_height;
    }
}

} // namespace tonvane
