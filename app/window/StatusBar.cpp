#include "app/window/StatusBar.h"

#include "controls/theme/ControlTheme.h"
#include "graphics/image/ImageStrip.h"
#include "graphics/surface/Surface.h"

namespace tonvane {

namespace {

// Whether a message of `incoming` may replace one of `shown`.
bool mayReplace(StatusOwner incoming, StatusOwner shown)
{
    bool background = incoming == StatusOwner::UpdateCheck;
    bool matters = shown == StatusOwner::Lookup || shown == StatusOwner::Conversion;
    return !(background && matters);
}

} // namespace

void StatusBar::setStatus(int32_t pane, TextId text)
{
    restore(pane, {Caption::text(text), StatusOwner::None});
}

void StatusBar::setStatusText(int32_t pane, std::u16string text)
{
    restore(pane, {Caption::of(std::move(text)), StatusOwner::None});
}

bool StatusBar::say(int32_t pane, StatusOwner owner, Caption caption)
{
    if (pane < 0 || pane > 1)
        return false;
    {
        std::lock_guard guard(m_lock);
        if (!mayReplace(owner, m_panes[pane].owner))
            return false;
        m_panes[pane] = {std::move(caption), owner};
    }
    requestRepaint();
    return true;
}

bool StatusBar::clear(int32_t pane, StatusOwner owner, const std::u16string* text)
{
    if (pane < 0 || pane > 1)
        return false;
    {
        std::lock_guard guard(m_lock);
        Message& shown = m_panes[pane];
        if (shown.owner != owner || (text != nullptr && shown.caption.view() != *text))
            return false;
        shown = {Caption::of(u""), StatusOwner::None};
    }
    requestRepaint();
    return true;
}

void StatusBar::restore(int32_t pane, Message message)
{
    if (pane < 0 || pane > 1)
        return;
    {
        std::lock_guard guard(m_lock);
        m_panes[pane] = std::move(message);
    }
    requestRepaint();
}

std::u16string StatusBar::paneText(int32_t pane) const
{
    if (pane < 0 || pane > 1)
        return {};
    std::lock_guard guard(m_lock);
    return std::u16string(m_panes[pane].caption.view());
}

StatusOwner StatusBar::owner(int32_t pane) const
{
    if (pane < 0 || pane > 1)
        return StatusOwner::None;
    std::lock_guard guard(m_lock);
    return m_panes[pane].owner;
}

StatusBar::Message StatusBar::message(int32_t pane) const
{
    if (pane < 0 || pane > 1)
        return {};
    std::lock_guard guard(m_lock);
    return m_panes[pane];
}

void StatusBar::repaintIcon()
{
    bool shown = m_icons != nullptr && m_iconFrame.load() >= 0;
    if (shown && m_iconPainted.load())
        requestRepaint(iconCell());
    else
        requestRepaint();
}

IntRect StatusBar::iconCell() const
{
    // The left pane starts 2 pixels in, the icon 5 pixels into the pane, centred vertically.
    constexpr int32_t kPaneInset = 2, kIconInset = 5;
    int32_t bottom = kPaneInset + (height() - 3 - kPaneInset - kIconSize) / 2;
    return {kPaneInset + kIconInset - 1, bottom - 1, kPaneInset + kIconInset + kIconSize + 1, bottom + kIconSize + 1};
}

void StatusBar::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr)
        return;
    theme->drawStatusBar(surface, {0, 0, width(), height()}, !m_maximised);
    int32_t usable = width() - (m_maximised ? 0 : kGripWidth);
    int32_t leftWidth = std::max(0, usable - kRightPaneWidth);
    // The theme reads the icon strip it was last given.
    if (m_icons != nullptr)
        theme->setIconImage(m_icons, 16);
    std::u16string left = paneText(0), right = paneText(1);
    m_iconPainted = m_icons != nullptr && m_iconFrame.load() >= 0;
    theme->drawStatusPane(surface, {2, 2, leftWidth - 3, height() - 3}, left.c_str(), int32_t(left.size()),
                          m_icons != nullptr ? m_iconFrame.load() : -1);
    theme->drawStatusPane(surface, {leftWidth, 2, leftWidth + kRightPaneWidth - 3, height() - 3}, right.c_str(),
                          int32_t(right.size()), -1);
}

} // namespace tonvane
