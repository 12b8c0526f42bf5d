#include "controls/button/CheckBox.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/TextFit.h"
#include "graphics/text/TextLayout.h"

#include <algorithm>
#include <cmath>
#include "windowing/message/KeyCodes.h"

namespace tonvane {

namespace {
constexpr int32_t kCaptionGap = 6; // [pixels] between the box and its caption
}

void CheckBox::setCaption(Caption caption)
{
    m_caption = std::move(caption);
    requestRepaint();
}

void CheckBox::setTicked(bool ticked)
{
    if (ticked == m_ticked)
        return;
    m_ticked = ticked;
    requestRepaint();
}

void CheckBox::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr)
        return;
    uint32_t state = (m_ticked ? style::kTicked : 0) | ((style() & style::kDisabled) ? style::kThemeDisabled : 0);
    int32_t boxBottom = std::max(0, (height() - metrics::kCheckBox) / 2);
    theme->drawCheckBox(surface, {0, boxBottom, metrics::kCheckBox, std::min(height(), boxBottom + metrics::kCheckBox)},
                        state);
    surface.font = theme->font();
    surface.text_colour = (style() & style::kDisabled) ? palette::kDisabledText : palette::kText;
    if (surface.font != nullptr)
        drawCaption(surface, *surface.font);
    if (hasFocus())
        surface.roundedRectangleOutline(0.5, 0.5, width() - 0.5, height() - 0.5, 3, 0, 1,
                                        Paint::solid(0x80406080u));
}

// The caption on one line centred beside the box; a caption too long for it wraps onto as many
// lines as the height holds, the block centred, and the last line ends in an ellipsis when even
// they are not enough.
void CheckBox::drawCaption(Surface& surface, Font& font)
{
    std::u16string text(m_caption.view());
    double left = metrics::kCheckBox + kCaptionGap;
    auto maxLines = static_cast<uint32_t>(std::max(1.0, std::floor(height() / font.line_height)));
    std::vector<std::u16string> lines = wrapWithEllipsis(font, text, width() - left, maxLines);
    if (lines.size() == 1) {
        drawText(surface, lines[0].c_str(), int32_t(lines[0].size()), kTextVerticalCentre, left, 0, width(), height());
        return;
    }
    double top = (height() + lines.size() * font.line_height) / 2;
    for (const std::u16string& line : lines) {
        drawText(surface, line.c_str(), int32_t(line.size()), 0, left, top - font.line_height, width(), top);
        top -= font.line_height;
    }
}

void CheckBox::onMouse(MouseAction action, int32_t x, int32_t y)
{
    if (action != MouseAction::LeftDown || !isInteractive())
        return;
    if (x < 0 || y < 0 || x >= width() || y >= height())
        return;
    toggle();
}

bool CheckBox::onKeyDown(uint32_t key)
{
    if (key != vk::VK_SPACE)
        return false;
    toggle();
    return true;
}

void CheckBox::toggle()
{
    m_ticked = !m_ticked;
    requestRepaint();
    if (m_onToggle)
        m_onToggle(m_ticked);
}

} // namespace tonvane
