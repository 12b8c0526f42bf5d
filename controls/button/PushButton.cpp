#include "controls/button/PushButton.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "windowing/message/KeyCodes.h"

namespace tonvane {

void PushButton::setCaption(Caption caption)
{
    m_caption = std::move(caption);
    requestRepaint();
}

void PushButton::setFace(uint32_t face)
{
    if (face == m_face)
        return;
    m_face = face;
    requestRepaint();
}

void PushButton::setIcon(const ImageStrip* strip, int32_t index)
{
    m_icons = strip;
    m_iconIndex = index;
    requestRepaint();
}

uint32_t PushButton::themeState() const
{
    uint32_t state = style() & ~(style::kVisible | style::kHot | style::kPressed | style::kDisabled | style::kQuick);
    if (m_interaction & kSpacePressed)
        state |= style::kPressed;
    if (m_interaction & kHotBit) {
        state |= style::kHot;
        if (m_interaction & kMousePressed)
            state |= style::kPressed;
    }
    if (style() & style::kDisabled)
        state = (state & ~style::kDarkFace) | style::kThemeDisabled;
    if (hasFocus())
        state |= style::kFocused;
    return state;
}

void PushButton::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr)
        return;
    if (m_icons != nullptr)
        theme->setIconImage(m_icons, std::min(m_icons->frameWidth(), m_icons->frameHeight()));
    std::u16string text(m_caption.view());
    theme->drawButton(surface, {0, 0, width(), height()}, themeState(), text.c_str(), int32_t(text.size()),
                      m_icons != nullptr ? m_iconIndex : -1, m_face);
}

void PushButton::onMouse(MouseAction action, int32_t x, int32_t y)
{
    if (!isInteractive())
        return;
    switch (action) {
    case MouseAction::Move:
        if (inside(x, y)) {
            if (!(m_interaction & kHotBit)) {
                m_interaction |= kHotBit;
                requestRepaint();
            }
            // A hover on the route lets the button see the pointer leave, without taking the
            // window system's pointer from other programs.
            if (!(m_interaction & kMousePressed) && !captureHeldByAnyone(*this))
                takeCapture(false, CaptureHold::Hover);
        } else {
            if (!(m_interaction & kMousePressed))
                releaseCapture();
            if (m_interaction & kHotBit) {
                m_interaction &= ~kHotBit;
                requestRepaint();
            }
        }
        return;
    case MouseAction::LeftDown:
    case MouseAction::LeftDouble:
        if (m_interaction & kSpacePressed)
            return;
        m_interaction |= kMousePressed | kHotBit;
        takeCapture(true, CaptureHold::Grab); // the release may come outside the window
        if (hasFocus())
            requestRepaint();
        else
            takeFocus();
        return;
    case MouseAction::LeftUp:
        if (!(m_interaction & kMousePressed) || (m_interaction & kSpacePressed))
            return;
        m_interaction &= ~kMousePressed;
        releaseCapture(); // the grab ends with the press; the next move hovers again
        m_interaction &= ~kHotBit;
        requestRepaint();
        if (inside(x, y))
            click();
        return;
    default:
        return;
    }
}

bool PushButton::onKeyDown(uint32_t key)
{
    if (key == vk::VK_SPACE) {
        if (!(m_interaction & kSpacePressed)) {
            m_interaction |= kSpacePressed;
            requestRepaint();
        }
        return true;
    }
    // Return presses the focused button at once (Space on its release). Dialogs see Return
    // first and decide themselves (OK, or Cancel when it has the focus).
    if (key == vk::VK_RETURN) {
        click();
        return true;
    }
    if (key == vk::VK_ESCAPE && (m_interaction & kSpacePressed)) {
        m_interaction &= ~kSpacePressed;
        requestRepaint();
        return true;
    }
    return false;
}

bool PushButton::onKeyUp(uint32_t key)
{
    if (key != vk::VK_SPACE || !(m_interaction & kSpacePressed))
        return false;
    m_interaction &= ~kSpacePressed;
    requestRepaint();
    click();
    return true;
}

void PushButton::captureLost()
{
    if (!(m_interaction & (kHotBit | kMousePressed)))
        return;
    m_interaction &= ~(kHotBit | kMousePressed);
    requestRepaint();
}

void PushButton::click()
{
    if (m_onClick)
        m_onClick();
}

} // namespace tonvane
