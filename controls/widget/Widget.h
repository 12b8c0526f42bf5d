#pragma once
#include "graphics/surface/IntRect.h"
#include "windowing/window/CaptureRoute.h"
#include "windowing/window/WindowContent.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace tonvane {

class Surface;
class WidgetWindow;

// The common widget: a rectangle in the parent (left, bottom, width, height, y up), the style
// word (visible 0x4, disabled 0x40000, no repaint 0x100000, and the family's look bits), the
// parent and the children. Families derive from it and keep their own behaviour; the rules
// here are the ones every family shares. Everything runs on the window's thread; paint runs
// under the surface lock of the window's repaint.
class Widget : public MouseTarget {
public:
    explicit Widget(Widget* parent);
    ~Widget() override;
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    // The creation steps: rectangle and style stored (visible removed), the family's layout
    // when the rectangle is not empty, shown when the style asked for it, and the focus given
    // when the widget is the pending focus.
    void create(int32_t left, int32_t bottom, int32_t width, int32_t height, uint32_t style);

    // new = (old without clear) with set; false when nothing changed. Becoming visible repaints
    // the widget, becoming hidden the widget's area in the parent.
    bool setStyle(uint32_t clear, uint32_t set);
    bool show();
    bool hide();
    bool setEnabled(bool enabled);
    // False when the position is already (x, y): nothing is stored or repainted.
    bool moveTo(int32_t x, int32_t y);
    // Stores the rectangle; lays the children out again when the size changed.
    void setRect(int32_t left, int32_t bottom, int32_t width, int32_t height);
    // The whole widget, or a rectangle in its own coordinates, repainted when visible and not
    // in no-repaint state.
    void requestRepaint();
    void requestRepaint(const IntRect& own);
    // Focus when visible, enabled and not focused already (the previous focus is told and
    // returned); otherwise only remembered as the pending focus.
    Widget* takeFocus();
    bool isInteractive() const;
    bool hasFocus() const;

    int32_t left() const { return m_left; }
    int32_t bottom() const { return m_bottom; }
    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    uint32_t style() const { return m_style; }
    Widget* parent() const { return m_parent; }
    const std::vector<Widget*>& children() const { return m_children; }
    // Shown, with every ancestor shown.
    bool visibleInWindow() const;
    // The widget's rectangle in the window's content coordinates.
    IntRect windowRect() const;
    WidgetWindow* window() const;

    // Pointer capture through the window's capture route: false when another owner holds it.
    // Hover (the default) only routes this window's pointer events here and hears the pointer
    // leave; Grab, for a held button or a drag, takes the window system's pointer as well.
    bool takeCapture(bool evenFromOthers = false, CaptureHold hold = CaptureHold::Hover);
    void releaseCapture();
    bool hasCapture() const;
    static bool captureHeldByAnyone(const Widget& any);

    // The family's part.
    virtual void layout() {}
    // Origin at the widget's bottom-left, clip at its rectangle.
    virtual void paint(Surface&) {}
    // Points in the widget's own coordinates (y up); may lie outside it while it has the capture.
    virtual void onMouse(MouseAction, int32_t, int32_t) {}
    virtual void onWheel(int32_t, int32_t, int32_t, uint32_t) {}
    virtual bool onKeyDown(uint32_t) { return false; }
    virtual bool onKeyUp(uint32_t) { return false; }
    // Typed text, UTF-8 as the window system gave it (the widget checks it).
    virtual bool onText(std::string_view) { return false; }
    // True when Tab is one of the widget's own keys (onKeyDown gets it) instead of moving the
    // focus.
    virtual bool takesTab() const { return false; }
    virtual bool acceptsFocus() const { return false; }
    // Told when the focus comes or goes; the default redraws.
    virtual void focusChanged(bool) { requestRepaint(); }
    // Inner widgets stop routing pointer events into their children when this answers false.
    virtual bool routesToChildren() const { return true; }

    // The capture route's calls, in screen pixels.
    void mouse(MouseAction action, int32_t x, int32_t y) override;
    void wheel(int32_t x, int32_t y, int32_t delta, uint32_t keys) override;

    // The window a root widget belongs to (set by WidgetWindow).
    void setRootWindow(WidgetWindow* window) { m_rootWindow = window; }

private:
    void addChild(Widget* child);
    // A widget that is no longer interactive lets go of the route when it, or a widget inside
    // it, holds it.
    void releaseCaptureWithin();
    void removeChild(Widget* child);
    IntRect rectInParent() const;
    void repaintMoved(const IntRect& before);

    int32_t m_left = 0;
    int32_t m_bottom = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    uint32_t m_style = 0;
    Widget* m_parent = nullptr;
    std::vector<Widget*> m_children; // not owned; in paint order
    WidgetWindow* m_rootWindow = nullptr;
};

// The focused widget of the process (at most one) and the pending focus.
Widget* focusedWidget();
Widget* pendingFocusWidget();

} // namespace tonvane
