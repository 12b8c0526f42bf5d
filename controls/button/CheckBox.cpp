#include "controls/button/CheckBox.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/TextLayout.h"
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
    theme->drawCheckBox(surface, {0, 0, metrics::kCheckBox, height()}, state);
    std::u16string text(m_caption.view());
    surface.font = theme->font();
    surface.text_colour = (style() & style::kDisabled) ? palette::kDisabledText : palette::kText;
    drawText(surface, text.c_str(), int32_t(text.size()), kTextVerticalCentre, metrics::kCheckBox + kCaptionGap, 0,
             width(), height());
    if (hasFocus())
        surface.roundedRectangleOutline(0.5, 0.5, width() - 0.5, height() - 0.5, 3, 0, 1,
                                        Paint::solid(0x80406080u));
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
