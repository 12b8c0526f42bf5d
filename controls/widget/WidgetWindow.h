#pragma once
#include "controls/widget/Widget.h"
#include "windowing/window/WindowContent.h"

#include <cstdint>

namespace tonvane {

class LayeredWindow;
class UiThread;

// A window's widget tree as the window sees it: pointer events go to the topmost interactive
// widget under the point, keys to the focused widget, Tab walks the widgets that take the
// focus, and the window paints the tree from the root. Repaint requests during a layout pass
// are collected into one repaint at its end.
class WidgetWindow : public WindowContent {
public:
    WidgetWindow();
    ~WidgetWindow() override;

    Widget& root() { return m_root; }
    // The window that shows this tree; widgets repaint through it.
    void attach(LayeredWindow& window);
    LayeredWindow* window() const { return m_window; }
    UiThread* ui() const;
    // Window content coordinates of a screen point (y up).
    int32_t toContentX(int32_t screenX) const;
    int32_t toContentY(int32_t screenY) const;
    // True while Ctrl is held (the key state the list's selection asks for).
    bool ctrlHeld() const;
    // A repaint of the window, or a note to repaint once the layout pass ends.
    void repaint();
    // Only a region of the content (pixels from its bottom-left, y up).
    void repaint(const IntRect& region);
    // The topmost interactive widget under a content point, or null.
    Widget* widgetAt(int32_t x, int32_t y);

    void mouse(MouseAction action, int32_t x, int32_t y) override;
    void wheel(int32_t x, int32_t y, int32_t delta, uint32_t keys) override;
    void keyDown(uint32_t key) override;
    void keyUp(uint32_t key) override;
    void textInput(std::string_view text) override;
    bool moveFocus(bool backwards, bool fromEnd) override;
    void layout(int32_t width, int32_t height) override;
    void paint(Surface& surface) override;
    // The window is being destroyed: no repaint goes to it any more (the capture route, which
    // belongs to the user-interface thread, stays reachable for the widgets' own teardown).
    void stopWorkers() override { m_window = nullptr; }

private:
    void paintTree(Surface& surface, Widget& widget, const IntRect& clip, int32_t x, int32_t y);
    void collectFocusable(Widget& widget, std::vector<Widget*>& out);

    Widget m_root{nullptr};
    LayeredWindow* m_window = nullptr;
    UiThread* m_ui = nullptr;
    int m_layoutDepth = 0;
    bool m_repaintPending = false;
};

} // namespace tonvane
