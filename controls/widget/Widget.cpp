#include "controls/widget/Widget.h"

#include "controls/theme/StyleBits.h"
#include "controls/widget/WidgetWindow.h"
#include "windowing/loop/UiThread.h"
#include "windowing/window/LayeredWindow.h"

#include <algorithm>

namespace tonvane {

namespace {

// Process-wide, touched on the user-interface thread only.
Widget* g_focused = nullptr;
Widget* g_pendingFocus = nullptr;

} // namespace

Widget* focusedWidget()
{
    return g_focused;
}

Widget* pendingFocusWidget()
{
    return g_pendingFocus;
}

Widget::Widget(Widget* parent) : m_parent(parent)
{
    if (m_parent != nullptr)
        m_parent->addChild(this);
}

Widget::~Widget()
{
    if (g_focused == this)
        g_focused = nullptr;
    if (g_pendingFocus == this)
        g_pendingFocus = nullptr;
    if (hasCapture())
        releaseCapture();
    for (Widget* child : m_children)
        child->m_parent = nullptr;
    if (m_parent != nullptr)
        m_parent->removeChild(this);
}

void Widget::addChild(Widget* child)
{
    m_children.push_back(child);
}

void Widget::removeChild(Widget* child)
{
    m_children.erase(std::remove(m_children.begin(), m_children.end(), child), m_children.end());
}

void Widget::create(int32_t left, int32_t bottom, int32_t width, int32_t height, uint32_t style)
{
    m_left = left;
    m_bottom = bottom;
    m_width = width;
    m_height = height;
    m_style = style & ~style::kVisible;
    if (width > 0 && height > 0)
        layout();
    if (style & style::kVisible)
        show();
    if (g_pendingFocus == this)
        takeFocus();
}

bool Widget::setStyle(uint32_t clear, uint32_t set)
{
    uint32_t updated = (m_style & ~clear) | set;
    if (updated == m_style)
        return false;
    bool wasVisible = (m_style & style::kVisible) != 0;
    bool wasEnabled = (m_style & style::kDisabled) == 0;
    m_style = updated;
    bool visible = (m_style & style::kVisible) != 0;
    if (visible && !wasVisible) {
        requestRepaint();
        if (g_pendingFocus == this && isInteractive())
            takeFocus();
    } else if (!visible && wasVisible) {
        if (m_parent != nullptr && !(m_parent->m_style & style::kNoRepaint))
            m_parent->requestRepaint(rectInParent());
        else if (m_parent == nullptr)
            requestRepaint();
    } else {
        requestRepaint();
    }
    bool enabled = (m_style & style::kDisabled) == 0;
    if (enabled && !wasEnabled && g_pendingFocus == this && isInteractive())
        takeFocus();
    if (!isInteractive())
        releaseCaptureWithin();
    return true;
}

bool Widget::show()
{
    return setStyle(0, style::kVisible);
}

bool Widget::hide()
{
    return setStyle(style::kVisible, 0);
}

bool Widget::setEnabled(bool enabled)
{
    return enabled ? setStyle(style::kDisabled, 0) : setStyle(0, style::kDisabled);
}

bool Widget::moveTo(int32_t x, int32_t y)
{
    if (x == m_left && y == m_bottom)
        return false;
    IntRect before = rectInParent();
    m_left = x;
    m_bottom = y;
    repaintMoved(before);
    return true;
}

void Widget::setRect(int32_t left, int32_t bottom, int32_t width, int32_t height)
{
    bool sizeChanged = width != m_width || height != m_height;
    bool moved = left != m_left || bottom != m_bottom;
    if (moved && !sizeChanged) {
        moveTo(left, bottom);
        return;
    }
    IntRect before = rectInParent();
    m_left = left;
    m_bottom = bottom;
    m_width = width;
    m_height = height;
    if (sizeChanged) {
        layout();
        repaintMoved(before);
    }
}

IntRect Widget::rectInParent() const
{
    return {m_left, m_bottom, m_left + m_width, m_bottom + m_height};
}

// After a move or resize, once the new place is stored: the parent repaints where the widget
// was and where it is now, in one go (repainting the old place first would draw the widget
// there again).
void Widget::repaintMoved(const IntRect& before)
{
    if ((m_style & style::kVisible) && m_parent != nullptr)
        m_parent->requestRepaint(unite(before, rectInParent()));
    else
        requestRepaint();
}

bool Widget::visibleInWindow() const
{
    for (const Widget* w = this; w != nullptr; w = w->m_parent)
        if (!(w->m_style & style::kVisible))
            return false;
    return true;
}

void Widget::requestRepaint()
{
    requestRepaint({0, 0, m_width, m_height});
}

void Widget::requestRepaint(const IntRect& own)
{
    // Only the rectangle is painted again: in window content coordinates it is the widget's
    // own one moved by every ancestor's position (the root sits at the content's origin).
    IntRect region = own;
    for (const Widget* w = this; w != nullptr; w = w->m_parent) {
        if (!(w->m_style & style::kVisible) || (w->m_style & style::kNoRepaint))
            return;
        if (w->m_parent != nullptr)
            region = {region.x0 + w->m_left, region.y0 + w->m_bottom, region.x1 + w->m_left, region.y1 + w->m_bottom};
    }
    if (WidgetWindow* host = window())
        host->repaint(region);
}

bool Widget::isInteractive() const
{
    return (m_style & style::kVisible) && !(m_style & style::kDisabled);
}

bool Widget::hasFocus() const
{
    return g_focused == this;
}

Widget* Widget::takeFocus()
{
    if (!isInteractive()) {
        g_pendingFocus = this;
        return nullptr;
    }
    if (g_focused == this)
        return nullptr;
    Widget* previous = g_focused;
    g_focused = this;
    if (g_pendingFocus == this)
        g_pendingFocus = nullptr;
    if (previous != nullptr)
        previous->focusChanged(false);
    focusChanged(true);
    return previous;
}

IntRect Widget::windowRect() const
{
    int32_t x = 0, y = 0;
    for (const Widget* w = this; w != nullptr; w = w->m_parent) {
        x += w->m_left;
        y += w->m_bottom;
    }
    return {x, y, x + m_width, y + m_height};
}

WidgetWindow* Widget::window() const
{
    const Widget* w = this;
    while (w->m_parent != nullptr)
        w = w->m_parent;
    return w->m_rootWindow;
}

bool Widget::takeCapture(bool evenFromOthers, CaptureHold hold)
{
    WidgetWindow* host = window();
    if (host == nullptr || host->ui() == nullptr || host->window() == nullptr)
        return false;
    CaptureRoute& route = host->ui()->captureRoute();
    if (route.owner() != nullptr && route.owner() != this && !evenFromOthers)
        return false;
    route.setOwner(this, host->window()->id(), hold);
    return true;
}

void Widget::releaseCaptureWithin()
{
    WidgetWindow* host = window();
    if (host == nullptr || host->ui() == nullptr)
        return;
    CaptureRoute& route = host->ui()->captureRoute();
    auto* owner = dynamic_cast<Widget*>(route.owner());
    for (const Widget* w = owner; w != nullptr; w = w->m_parent)
        if (w == this) {
            route.clear();
            return;
        }
}

void Widget::releaseCapture()
{
    WidgetWindow* host = window();
    if (host == nullptr || host->ui() == nullptr)
        return;
    CaptureRoute& route = host->ui()->captureRoute();
    if (route.owner() == this)
        route.clear();
}

bool Widget::hasCapture() const
{
    WidgetWindow* host = window();
    return host != nullptr && host->ui() != nullptr && host->ui()->captureRoute().owner() == this;
}

bool Widget::captureHeldByAnyone(const Widget& any)
{
    WidgetWindow* host = any.window();
    return host != nullptr && host->ui() != nullptr && host->ui()->captureRoute().owner() != nullptr;
}

void Widget::mouse(MouseAction action, int32_t x, int32_t y)
{
    WidgetWindow* host = window();
    if (host == nullptr)
        return;
    IntRect r = windowRect();
    onMouse(action, host->toContentX(x) - r.x0, host->toContentY(y) - r.y0);
}

void Widget::wheel(int32_t x, int32_t y, int32_t delta, uint32_t keys)
{
    WidgetWindow* host = window();
    if (host == nullptr)
        return;
    IntRect r = windowRect();
    onWheel(host->toContentX(x) - r.x0, host->toContentY(y) - r.y0, delta, keys);
}

} // namespace tonvane
