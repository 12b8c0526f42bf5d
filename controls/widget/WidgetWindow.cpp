#include "controls/widget/WidgetWindow.h"

#include "controls/theme/StyleBits.h"
#include "graphics/surface/Surface.h"
#include "windowing/backend/WindowBackend.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/window/LayeredWindow.h"

#include <algorithm>

namespace tonvane {

WidgetWindow::WidgetWindow()
{
    m_root.setRootWindow(this);
    m_root.create(0, 0, 0, 0, style::kVisible);
}

WidgetWindow::~WidgetWindow()
{
    m_root.setRootWindow(nullptr);
}

void WidgetWindow::attach(LayeredWindow& window)
{
    m_window = &window;
    m_ui = &window.ui();
}

UiThread* WidgetWindow::ui() const
{
    return m_ui;
}

int32_t WidgetWindow::toContentX(int32_t screenX) const
{
    return m_window != nullptr ? screenX - m_window->left() : screenX;
}

int32_t WidgetWindow::toContentY(int32_t screenY) const
{
    return m_window != nullptr ? screenY - m_window->bottom() : screenY;
}

bool WidgetWindow::ctrlHeld() const
{
    return m_window != nullptr && (m_window->ui().backend().modifierState() & mod::kCtrl) != 0;
}

void WidgetWindow::repaint()
{
    if (m_layoutDepth > 0) {
        m_repaintPending = true;
        return;
    }
    if (m_window != nullptr)
        m_window->repaint();
}

void WidgetWindow::repaint(const IntRect& region)
{
    if (m_layoutDepth > 0) {
        m_repaintPending = true;
        return;
    }
    if (m_window != nullptr)
        m_window->repaint(region);
}

Widget* WidgetWindow::widgetAt(int32_t x, int32_t y)
{
    Widget* found = nullptr;
    Widget* level = &m_root;
    int32_t localX = x, localY = y;
    while (level != nullptr) {
        Widget* next = nullptr;
        if (level->routesToChildren()) {
            const auto& children = level->children();
            for (auto it = children.rbegin(); it != children.rend(); ++it) {
                Widget* child = *it;
                int32_t cx = localX - child->left(), cy = localY - child->bottom();
                if (child->isInteractive() && cx >= 0 && cy >= 0 && cx < child->width() && cy < child->height()) {
                    next = child;
                    localX = cx;
                    localY = cy;
                    break;
                }
            }
        }
        if (next == nullptr)
            break;
        found = next;
        level = next;
    }
    return found;
}

void WidgetWindow::mouse(MouseAction action, int32_t x, int32_t y)
{
    int32_t cx = toContentX(x), cy = toContentY(y);
    Widget* target = widgetAt(cx, cy);
    if (target == nullptr)
        return;
    IntRect r = target->windowRect();
    target->onMouse(action, cx - r.x0, cy - r.y0);
}

void WidgetWindow::wheel(int32_t x, int32_t y, int32_t delta, uint32_t keys)
{
    int32_t cx = toContentX(x), cy = toContentY(y);
    // The wheel goes to the widget under the pointer, or up its parents to one that scrolls.
    Widget* target = widgetAt(cx, cy);
    if (target == nullptr)
        target = focusedWidget();
    if (target == nullptr || target->window() != this)
        return;
    IntRect r = target->windowRect();
    target->onWheel(cx - r.x0, cy - r.y0, delta, keys);
}

void WidgetWindow::keyDown(uint32_t key)
{
    Widget* focused = focusedWidget();
    if (focused != nullptr && focused->window() == this && focused->isInteractive())
        focused->onKeyDown(key);
}

void WidgetWindow::keyUp(uint32_t key)
{
    Widget* focused = focusedWidget();
    if (focused != nullptr && focused->window() == this && focused->isInteractive())
        focused->onKeyUp(key);
}

void WidgetWindow::textInput(std::string_view text)
{
    Widget* focused = focusedWidget();
    if (focused != nullptr && focused->window() == this && focused->isInteractive())
        focused->onText(text);
}

void WidgetWindow::collectFocusable(Widget& widget, std::vector<Widget*>& out)
{
    for (Widget* child : widget.children()) {
        if (!child->isInteractive())
            continue;
        if (child->acceptsFocus())
            out.push_back(child);
        collectFocusable(*child, out);
    }
}

bool WidgetWindow::moveFocus(bool backwards, bool fromEnd)
{
    // A widget that takes Tab itself (a text entry of a list row moving to the next row) gets it.
    Widget* focused = focusedWidget();
    if (!fromEnd && focused != nullptr && focused->window() == this && focused->isInteractive()
        && focused->takesTab())
        return focused->onKeyDown(vk::VK_TAB);
    std::vector<Widget*> order;
    collectFocusable(m_root, order);
    if (order.empty())
        return false;
    if (backwards)
        std::reverse(order.begin(), order.end());
    auto current = std::find(order.begin(), order.end(), focusedWidget());
    Widget* next = nullptr;
    if (fromEnd)
        next = order.front();
    else if (current == order.end())
        next = order.front();
    else if (current + 1 != order.end())
        next = *(current + 1);
    if (next == nullptr)
        return false;
    next->takeFocus();
    return true;
}

void WidgetWindow::layout(int32_t width, int32_t height)
{
    ++m_layoutDepth;
    m_root.setRect(0, 0, width, height);
    --m_layoutDepth;
    if (m_layoutDepth == 0 && m_repaintPending) {
        m_repaintPending = false;
        if (m_window != nullptr)
            m_window->repaint();
    }
}

void WidgetWindow::paint(Surface& surface)
{
    IntRect clip = surface.getClip();
    paintTree(surface, m_root, clip, 0, 0);
}

// Paints a widget and its children with the origin at the widget's bottom-left and the clip at
// its rectangle inside its parent's clip (content coordinates).
void WidgetWindow::paintTree(Surface& surface, Widget& widget, const IntRect& parentClip, int32_t x, int32_t y)
{
    if (!(widget.style() & style::kVisible))
        return;
    IntRect own{x, y, x + widget.width(), y + widget.height()};
    IntRect clip = intersect(parentClip, own);
    if (clip.empty())
        return;
    surface.setOrigin(x, y);
    if (surface.setClip(clip.x0 - x, clip.y0 - y, clip.x1 - x, clip.y1 - y))
        widget.paint(surface);
    surface.setOrigin(-x, -y);
    for (Widget* child : widget.children())
        paintTree(surface, *child, clip, x + child->left(), y + child->bottom());
    surface.setClip(parentClip.x0, parentClip.y0, parentClip.x1, parentClip.y1);
}

} // namespace tonvane
