#include "app/window/PopupMenu.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "graphics/image/ImageStrip.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/TextLayout.h"
#include "windowing/backend/WindowBackend.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/KeyCodes.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace tonvane {

namespace {

constexpr double kFallbackFontHeight = 13; // [pixels] without a theme font (tests without one)
constexpr double kFallbackAverageAdvance = 6; // [pixels]
constexpr double kUnbounded = 1e6; // [pixels] width offered when measuring one caption

std::u16string_view captionText(const MenuRecord& r)
{
    if (r.isSeparator() || r.iconOnly() || r.key < 0 || r.key >= kTextCount)
        return {};
    return uiText(r.key).view();
}

double textWidth(Font* font, std::u16string_view text)
{
    if (font == nullptr || text.empty())
        return 0;
    return measureLine(*font, text.data(), static_cast<uint32_t>(text.size()), kUnbounded).width;
}

} // namespace

PopupMenu::PopupMenu(UiThread& ui, WindowId ownerWindow, const MenuTree& tree, const MenuRecord& submenu,
                     MenuOwner& owner, const ImageStrip* icons)
    : PopupWindow(ui, ownerWindow, WindowKind::Menu, LayeredWindow::kQuickAnimations), m_ownerWindow(ownerWindow),
      m_tree(tree), m_submenu(submenu), m_children(childrenOf(tree, submenu)), m_owner(owner), m_icons(icons),
      m_alive(std::make_shared<PopupMenu*>(this))
{
}

PopupMenu::~PopupMenu()
{
    m_openTimer.stop();
    m_handOverTimer.stop();
    m_alive.reset();
}

// Item height h = max(font + 10, 22), separators 5; the width holds the widest caption and the
// widest right-hand column (accelerator text after a tab, plus room for a submenu's arrow),
// the icon column (h) and margins.
void PopupMenu::measure()
{
    ControlTheme* theme = controlTheme();
    Font* font = theme != nullptr ? theme->font() : nullptr;
    double fontHeight = font != nullptr ? font->line_height : kFallbackFontHeight;
    double average = font != nullptr ? font->average_advance : kFallbackAverageAdvance;
    m_itemHeight = std::max(static_cast<int32_t>(std::ceil(fontHeight)) + kItemPadding, kMinItemHeight);
    double widestCaption = 0, widestColumn = 0;
    m_height = 0;
    for (const MenuRecord& child : m_children) {
        if (child.isSeparator()) {
            m_height += kSeparatorHeight;
            continue;
        }
        if (child.hidden())
            continue;
        m_height += m_itemHeight;
        std::u16string_view caption = captionText(child);
        size_t tab = caption.find(u'\t');
        widestCaption = std::max(widestCaption, textWidth(font, caption.substr(0, tab)));
        double column = tab == std::u16string_view::npos ? 0 : textWidth(font, caption.substr(tab + 1)) + 2 * average;
        if (child.isSubmenu())
            column += m_itemHeight;
        widestColumn = std::max(widestColumn, column);
    }
    m_width = static_cast<int32_t>(std::ceil(widestCaption + widestColumn)) + 2 * kTextMargin + m_itemHeight
        + m_itemHeight / 2;
    // From the top down: an item spans the width, a separator is inset.
    m_rects.assign(m_children.size(), IntRect{});
    int32_t y = m_height;
    for (size_t i = 0; i < m_children.size(); ++i) {
        const MenuRecord& child = m_children[i];
        if (child.isSeparator()) {
            m_rects[i] = {m_itemHeight + kTextMargin, y - kSeparatorHeight, m_width - kSeparatorRightInset, y};
            y -= kSeparatorHeight;
        } else if (!child.hidden()) {
            m_rects[i] = {0, y - m_itemHeight, m_width, y};
            y -= m_itemHeight;
        }
    }
}

// Inside the work area (y-up pixels run from 0 at its bottom edge to its height).
void PopupMenu::placeOnScreen(int32_t& left, int32_t& top) const
{
    ScreenRect area = popupUi().backend().workArea();
    int32_t maxLeft = area.x + area.width - m_width;
    left = std::max(area.x, std::min(left, maxLeft));
    top = std::max(m_height, std::min(top, area.height));
}

int32_t PopupMenu::run(int32_t left, int32_t top, bool selectFirst)
{
    if (m_children.empty())
        return kClosed;
    measure();
    placeOnScreen(left, top);
    if (selectFirst)
        moveHot(1);
    if (!createAt(left, top - m_height, left + m_width, top))
        return kClosed;
    holdPointer(*this);
    runUntilClosed();
    m_openTimer.stop();
    m_handOverTimer.stop();
    return m_result;
}

void PopupMenu::treeChanged()
{
    // Only flags change after the tree is built: the children stay where they were.
    if (std::optional<MenuRecord> again = m_tree.record(m_submenu.offset); again && again->isSubmenu()) {
        std::vector<MenuRecord> children = childrenOf(m_tree, *again);
        if (children.size() == m_children.size())
            m_children = std::move(children);
    }
    repaint();
    if (m_child != nullptr)
        m_child->treeChanged();
}

// ---- pointer ----

bool PopupMenu::contains(ScreenPoint at) const
{
    const LayeredWindow& w = popupWindow();
    int32_t x = at.x - w.left(), y = at.y - w.bottom();
    return x >= 0 && y >= 0 && x < w.width() && y < w.height();
}

// The child whose row holds the point: items and separators answer across the whole width.
int32_t PopupMenu::itemAt(ScreenPoint at) const
{
    if (!contains(at))
        return -1;
    int32_t y = at.y - popupWindow().bottom();
    for (size_t i = 0; i < m_rects.size(); ++i)
        if (!m_rects[i].empty() && y >= m_rects[i].y0 && y < m_rects[i].y1)
            return static_cast<int32_t>(i);
    return -1;
}

void PopupMenu::mouse(MouseAction action, int32_t x, int32_t y)
{
    ScreenPoint at{x, y};
    m_pointer = at;
    switch (action) {
    case MouseAction::Move:
        pointerMoved(at);
        return;
    case MouseAction::LeftDown:
    case MouseAction::LeftDouble:
    case MouseAction::RightDown:
    case MouseAction::MiddleDown:
        press(at);
        return;
    case MouseAction::LeftUp:
    case MouseAction::RightUp:
        release();
        return;
    default:
        return;
    }
}

void PopupMenu::pointerMoved(ScreenPoint at)
{
    if (contains(at)) {
        setHot(itemAt(at), true);
        return;
    }
    setHot(-1, true);
    if (m_owner.pointerFromChild(at.x, at.y) && !m_handOverTimer.waiting())
        startTimer(m_handOverTimer, Step::HandOverToOwner, -1);
}

// A submenu opens at once; an item waits for the release; with nothing hot the owner learns
// where the press was (a press on another title of the bar opens that menu) and the popup closes.
void PopupMenu::press(ScreenPoint at)
{
    setHot(itemAt(at), true);
    if (m_hot >= 0) {
        if (m_children[size_t(m_hot)].isSubmenu())
            openChild(m_hot, false);
        return;
    }
    m_owner.pressFromChild(at.x, at.y, !contains(at));
    finish(kClosed);
}

// On a disabled item, a separator or a submenu a release does nothing.
void PopupMenu::release()
{
    if (m_hot < 0)
        return;
    const MenuRecord& r = m_children[size_t(m_hot)];
    if (r.kind == MenuKind::Item && r.choosable())
        finish(r.key);
}

void PopupMenu::setHot(int32_t index, bool byPointer)
{
    if (index == m_hot)
        return;
    m_hot = index;
    repaint();
    bool submenu = index >= 0 && m_children[size_t(index)].isSubmenu() && m_children[size_t(index)].choosable();
    if (byPointer && submenu && m_child == nullptr)
        startTimer(m_openTimer, Step::OpenHotSubmenu, index);
}

// ---- keys ----

void PopupMenu::keyDown(uint32_t key)
{
    switch (key) {
    case vk::VK_RETURN:
    case vk::VK_SPACE:
        activateHot();
        return;
    case vk::VK_UP:
    case vk::VK_DOWN:
        moveHot(key == vk::VK_DOWN ? 1 : -1);
        return;
    case vk::VK_RIGHT:
        if (m_hot >= 0 && m_children[size_t(m_hot)].isSubmenu() && m_children[size_t(m_hot)].choosable())
            openChild(m_hot, true);
        else if (m_owner.keyFromChild(key))
            finish(kOwnerTookOver);
        return;
    case vk::VK_LEFT:
        if (m_owner.keyFromChild(key))
            finish(kOwnerTookOver);
        return;
    case vk::VK_ESCAPE:
        if (!m_owner.escapeFromChild())
            finish(kEscaped);
        return;
    case vk::VK_MENU:
        m_owner.dismissFromChild();
        finish(kClosed);
        return;
    default:
        return;
    }
}

// To the previous or next child that can be chosen, around the ends; a single one stays hot.
void PopupMenu::moveHot(int32_t direction)
{
    auto count = static_cast<int32_t>(m_children.size());
    int32_t index = m_hot >= 0 ? m_hot : (direction > 0 ? -1 : count);
    for (int32_t tried = 0; tried < count; ++tried) {
        index = (index + direction + count) % count;
        if (m_children[size_t(index)].choosable()) {
            setHot(index, false);
            return;
        }
    }
}

void PopupMenu::activateHot()
{
    if (m_hot < 0 || !m_children[size_t(m_hot)].choosable())
        return;
    const MenuRecord& r = m_children[size_t(m_hot)];
    if (r.isSubmenu())
        openChild(m_hot, true);
    else
        finish(r.key);
}

// ---- the child popup ----

void PopupMenu::openChild(int32_t index, bool byKeyboard)
{
    const MenuRecord submenu = m_children[size_t(index)];
    if (m_child != nullptr || closing() || !submenu.isSubmenu() || !submenu.choosable())
        return;
    m_openTimer.stop();
    m_handOverTimer.stop();
    setHot(index, false);
    LayeredWindow& w = popupWindow();
    // To the right of the item, its first row level with the item.
    int32_t left = w.left() + w.width();
    int32_t top = w.bottom() + m_rects[size_t(index)].y1;
    int32_t result = kClosed;
    {
        PopupMenu child(popupUi(), m_ownerWindow, m_tree, submenu, *this, m_icons);
        m_child = &child;
        m_childIndex = index;
        m_relay = Relay::None;
        result = child.run(left, top, byKeyboard);
        m_child = nullptr;
        m_childIndex = -1;
    }
    afterChild(result);
}

void PopupMenu::afterChild(int32_t result)
{
    if (closing())
        return;
    holdPointer(*this); // the child's close let the pointer go
    Relay relay = std::exchange(m_relay, Relay::None);
    if (result >= 0) {
        finish(result);
    } else if (relay == Relay::PassedUp) {
        finish(result == kOwnerTookOver ? kOwnerTookOver : kClosed);
    } else if (relay == Relay::PressHere && result == kClosed) {
        press(m_pressAt);
    } else if (relay == Relay::PointerHere && result == kOwnerTookOver && m_pointer) {
        pointerMoved(*m_pointer); // the entry under the pointer becomes hot
    }
}

// Closing: the result kept, timers stopped and joined, the child closed, the owner told.
void PopupMenu::finish(int32_t result)
{
    if (closing())
        return;
    m_result = result;
    m_openTimer.stop();
    m_handOverTimer.stop();
    if (m_child != nullptr)
        m_child->finish(kOwnerTookOver);
    m_owner.childClosed();
    close();
}

// ---- timers ----

void PopupMenu::startTimer(HoverTimer& timer, Step step, int32_t index)
{
    std::weak_ptr<PopupMenu*> alive = m_alive;
    // A timer that cannot start leaves the popup usable, without the delayed step.
    (void)timer.start(popupUi(), popupWindow().id(), kHoverDelayMs, [alive, step, index] {
        if (std::shared_ptr<PopupMenu*> self = alive.lock())
            (*self)->timerStep(step, index);
    });
}

void PopupMenu::timerStep(Step step, int32_t index)
{
    if (closing() || m_child != nullptr || !m_pointer)
        return;
    if (step == Step::OpenHotSubmenu) {
        if (m_hot == index && itemAt(*m_pointer) == index)
            openChild(index, false);
        return;
    }
    if (!contains(*m_pointer) && m_owner.pointerFromChild(m_pointer->x, m_pointer->y))
        finish(kOwnerTookOver);
}

// ---- what the child reports ----

bool PopupMenu::pointerFromChild(int32_t x, int32_t y)
{
    ScreenPoint at{x, y};
    if (contains(at)) {
        m_pointer = at;
        int32_t index = itemAt(at);
        m_relay = Relay::PointerHere;
        return index >= 0 && index != m_childIndex;
    }
    bool asks = m_owner.pointerFromChild(x, y);
    m_relay = asks ? Relay::PassedUp : Relay::None;
    return asks;
}

void PopupMenu::pressFromChild(int32_t x, int32_t y, bool)
{
    if (contains({x, y})) {
        m_pressAt = {x, y};
        m_relay = Relay::PressHere;
        return;
    }
    m_owner.pressFromChild(x, y, true);
    m_relay = Relay::PassedUp;
}

// Left comes back here (the submenu closes, its item stays hot); Right goes on to the bar.
bool PopupMenu::keyFromChild(uint32_t key)
{
    if (key == vk::VK_LEFT) {
        m_relay = Relay::None;
        return true;
    }
    bool passed = m_owner.keyFromChild(key);
    m_relay = passed ? Relay::PassedUp : Relay::None;
    return passed;
}

void PopupMenu::dismissFromChild()
{
    m_owner.dismissFromChild();
    m_relay = Relay::PassedUp;
}

// ---- drawing ----

void PopupMenu::paintInside(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr)
        return;
    theme->setIconImage(m_icons, kIconCell);
    for (size_t i = 0; i < m_children.size() && i < m_rects.size(); ++i) {
        const MenuRecord& child = m_children[i];
        if (m_rects[i].empty())
            continue;
        if (child.isSeparator()) {
            theme->drawMenuItem(surface, m_rects[i], style::kSeparator, nullptr, 0, -1);
            continue;
        }
        uint32_t state = (int32_t(i) == m_hot ? style::kHot : 0) | (child.enabled() ? 0 : style::kThemeDisabled)
            | (child.isSubmenu() ? style::kSubmenu : 0);
        std::u16string caption(captionText(child));
        theme->drawMenuItem(surface, m_rects[i], state, caption.c_str(), static_cast<int32_t>(caption.size()),
                            child.icon);
    }
}

} // namespace tonvane
