#include "app/window/MenuBar.h"

#include "app/window/PopupMenu.h"
#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "controls/widget/WidgetWindow.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/TextLayout.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/window/LayeredWindow.h"

#include <algorithm>
#include <cmath>

namespace tonvane {

namespace {

constexpr uint32_t kMenuIcons = 256; // resource id of the menu icon strip
constexpr double kFallbackFontHeight = 13; // [pixels] without a theme font
constexpr double kUnbounded = 1e6; // [pixels] width offered when measuring one caption

std::u16string caption(const MenuRecord& r)
{
    if (r.isSeparator() || r.iconOnly() || r.key < 0 || r.key >= kTextCount)
        return {};
    return std::u16string(uiText(r.key).view());
}

} // namespace

MenuBar::MenuBar(Widget* parent) : Widget(parent), m_tree(mainMenuTree())
{
    m_icons.load(kMenuIcons);
    readTitles();
    m_tree.setChangeListener([this] {
        readTitles();
        requestRepaint();
        if (m_popup != nullptr)
            m_popup->treeChanged();
    });
}

void MenuBar::readTitles()
{
    std::optional<MenuRecord> root = m_tree.root();
    m_titles = root ? childrenOf(m_tree, *root) : std::vector<MenuRecord>{};
}

// f + 6, or the icon cell + 6 when a title has an icon and that is more.
int32_t MenuBar::itemHeight() const
{
    ControlTheme* theme = controlTheme();
    double font = theme != nullptr && theme->font() != nullptr ? theme->font()->line_height : kFallbackFontHeight;
    int32_t height = static_cast<int32_t>(std::ceil(font)) + kItemExtraHeight;
    bool anyIcon = std::any_of(m_titles.begin(), m_titles.end(), [](const MenuRecord& r) { return r.icon >= 0; });
    return anyIcon ? std::max(height, kIconCell + kItemExtraHeight) : height;
}

// Left to right from x = 4: caption + 12 (+ icon + 6) wide, the item height tall, centred in
// the bar.
void MenuBar::layout()
{
    ControlTheme* theme = controlTheme();
    Font* font = theme != nullptr ? theme->font() : nullptr;
    int32_t h = itemHeight();
    int32_t y0 = (height() - h) / 2;
    int32_t x = kFirstItemX;
    m_rects.assign(m_titles.size(), IntRect{});
    for (size_t i = 0; i < m_titles.size(); ++i) {
        const MenuRecord& title = m_titles[i];
        if (title.isSeparator() || title.hidden())
            continue;
        std::u16string text = caption(title);
        double w = font != nullptr && !text.empty()
            ? measureLine(*font, text.data(), static_cast<uint32_t>(text.size()), kUnbounded).width
            : 0;
        int32_t icon = title.icon >= 0 ? kIconCell + kIconGap : 0;
        int32_t width = static_cast<int32_t>(std::ceil(w)) + kItemPadding + icon;
        m_rects[i] = {x, y0, x + width, y0 + h};
        x += width;
    }
}

void MenuBar::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr)
        return;
    theme->drawMenuBar(surface, {0, 0, width(), height()});
    for (size_t i = 0; i < m_titles.size() && i < m_rects.size(); ++i) {
        if (m_rects[i].empty())
            continue;
        auto index = static_cast<int32_t>(i);
        uint32_t state = (index == m_open ? style::kPressed : 0) | (index == m_hover ? style::kHot : 0)
            | (m_titles[i].enabled() ? 0 : style::kThemeDisabled);
        theme->drawMenuBarItem(surface, m_rects[i], state, caption(m_titles[i]).c_str());
    }
}

int32_t MenuBar::titleAt(int32_t x, int32_t y) const
{
    if (y < 0 || y >= height())
        return -1;
    for (size_t i = 0; i < m_rects.size(); ++i)
        if (!m_rects[i].empty() && x >= m_rects[i].x0 && x < m_rects[i].x1)
            return static_cast<int32_t>(i);
    return -1;
}

int32_t MenuBar::titleAtScreen(int32_t x, int32_t y) const
{
    WidgetWindow* host = window();
    if (host == nullptr)
        return -1;
    IntRect own = windowRect();
    return titleAt(host->toContentX(x) - own.x0, host->toContentY(y) - own.y0);
}

bool MenuBar::canOpen(int32_t index) const
{
    return index >= 0 && size_t(index) < m_titles.size() && m_titles[size_t(index)].isSubmenu()
        && m_titles[size_t(index)].choosable() && size_t(index) < m_rects.size() && !m_rects[size_t(index)].empty();
}

int32_t MenuBar::neighbour(int32_t from, int32_t direction) const
{
    auto count = static_cast<int32_t>(m_titles.size());
    int32_t index = from >= 0 ? from : (direction > 0 ? -1 : count);
    for (int32_t tried = 0; tried < count; ++tried) {
        index = (index + direction + count) % count;
        if (canOpen(index))
            return index;
    }
    return -1;
}

void MenuBar::setHover(int32_t index)
{
    if (index == m_hover)
        return;
    m_hover = index;
    requestRepaint();
}

void MenuBar::onMouse(MouseAction action, int32_t x, int32_t y)
{
    if (!isInteractive())
        return;
    int32_t title = titleAt(x, y);
    if (action == MouseAction::Move) {
        bool inside = x >= 0 && y >= 0 && x < width() && y < height();
        if (inside && !hasCapture())
            takeCapture(false, CaptureHold::Hover);
        else if (!inside)
            releaseCapture();
        // Keyboard navigation keeps its title when the pointer leaves.
        if (title >= 0 || (m_state & kKeyboardNavigation) == 0)
            setHover(title);
        return;
    }
    if (action == MouseAction::LeftDown || action == MouseAction::LeftDouble) {
        cancelAlt();
        if (canOpen(title))
            openMenu(title);
    }
}

void MenuBar::openMenu(int32_t index, bool byKeyboard)
{
    WidgetWindow* host = window();
    if (!canOpen(index) || host == nullptr || host->window() == nullptr || m_popup != nullptr)
        return;
    releaseCapture();
    layout();
    m_state &= ~(kCloseRequested | kAltArmed);
    LayeredWindow& w = *host->window();
    int32_t command = -1;
    int32_t result = PopupMenu::kClosed;
    for (;;) {
        m_open = index;
        m_next = -1;
        requestRepaint();
        // Below the item: the popup's top edge at the item's bottom edge.
        IntRect own = windowRect();
        const IntRect& item = m_rects[size_t(index)];
        {
            PopupMenu popup(w.ui(), w.id(), m_tree, m_titles[size_t(index)], *this, &m_icons);
            m_popup = &popup;
            result = popup.run(w.left() + own.x0 + item.x0, w.bottom() + own.y0 + item.y0, byKeyboard);
            m_popup = nullptr;
        }
        if (result >= 0) {
            command = result;
            break;
        }
        bool moved = result == PopupMenu::kOwnerTookOver || result == PopupMenu::kClosed;
        if ((m_state & kCloseRequested) != 0 || !moved || !canOpen(m_next))
            break;
        // Left and Right keep the keyboard's way of opening; a press or the pointer does not.
        byKeyboard = byKeyboard && result == PopupMenu::kOwnerTookOver;
        index = m_next;
    }
    // Esc from a menu opened during keyboard navigation goes back to its title.
    bool backToTitle = result == PopupMenu::kEscaped && (m_state & kKeyboardNavigation) != 0;
    if (!backToTitle)
        m_state &= ~kKeyboardNavigation;
    m_hover = backToTitle ? m_open : -1;
    m_open = -1;
    requestRepaint();
    if (command >= 0 && m_onCommand)
        m_onCommand(command);
}

// ---- keyboard navigation ----

bool MenuBar::windowKeyDown(uint32_t key)
{
    bool navigating = (m_state & kKeyboardNavigation) != 0;
    if (key == vk::VK_MENU) {
        if (navigating)
            leaveKeyboardNavigation();
        else
            m_state |= kAltArmed;
        return true;
    }
    cancelAlt();
    if (!navigating)
        return false;
    switch (key) {
    case vk::VK_LEFT:
    case vk::VK_RIGHT:
        setHover(neighbour(m_hover, key == vk::VK_RIGHT ? 1 : -1));
        return true;
    case vk::VK_DOWN:
    case vk::VK_RETURN:
    case vk::VK_SPACE:
        openMenu(m_hover, true);
        return true;
    case vk::VK_ESCAPE:
        leaveKeyboardNavigation();
        return true;
    default:
        leaveKeyboardNavigation();
        return false;
    }
}

bool MenuBar::windowKeyUp(uint32_t key)
{
    if (key != vk::VK_MENU || (m_state & kAltArmed) == 0)
        return false;
    cancelAlt();
    int32_t first = neighbour(-1, 1);
    if (first < 0)
        return true;
    m_state |= kKeyboardNavigation;
    setHover(first);
    return true;
}

// The hover ended elsewhere (a dialog opened, the window lost the keyboard): no title stays hot
// for a pointer that is gone, unless the keys hold it.
void MenuBar::captureLost()
{
    if ((m_state & kKeyboardNavigation) == 0 && m_open < 0)
        setHover(-1);
}

void MenuBar::leaveKeyboardNavigation()
{
    if ((m_state & kKeyboardNavigation) == 0)
        return;
    m_state &= ~kKeyboardNavigation;
    setHover(-1);
}

// ---- what the open popup reports ----

bool MenuBar::pointerFromChild(int32_t x, int32_t y)
{
    int32_t title = titleAtScreen(x, y);
    if (!canOpen(title) || title == m_open)
        return false;
    m_next = title;
    return true;
}

// A press on another title opens that menu; on the open title or elsewhere it only closes.
void MenuBar::pressFromChild(int32_t x, int32_t y, bool)
{
    int32_t title = titleAtScreen(x, y);
    m_next = canOpen(title) && title != m_open ? title : -1;
    m_state &= ~kKeyboardNavigation;
}

bool MenuBar::keyFromChild(uint32_t key)
{
    if (key != vk::VK_LEFT && key != vk::VK_RIGHT)
        return false;
    int32_t next = neighbour(m_open, key == vk::VK_RIGHT ? 1 : -1);
    if (next < 0 || next == m_open)
        return false;
    m_next = next;
    m_open = next;
    requestRepaint();
    return true;
}

bool MenuBar::escapeFromChild()
{
    m_state |= kCloseRequested;
    return false;
}

void MenuBar::dismissFromChild()
{
    m_state |= kCloseRequested;
    m_state &= ~kKeyboardNavigation;
}

} // namespace tonvane
