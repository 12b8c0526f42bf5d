#pragma once
#include "controls/widget/WidgetWindow.h"
#include "windowing/window/LayeredWindow.h"

#include <cstdint>

namespace tonvane {

class UiThread;

// A popup of the toolkit (an open drop-down list, a menu): its own layered window of a popup
// kind (shown without the window manager, owned by another window, holding the pointer while
// open), an opaque face (the list background: what lies below never shows through, the part of
// a list below its last row included) inside a rounded border, run by the modal loop until it
// closes.
class PopupWindow : public WidgetWindow {
public:
    PopupWindow(UiThread& ui, WindowId owner, WindowKind kind, uint32_t initialState = 0);
    ~PopupWindow() override;

    LayeredWindow& popupWindow() { return m_window; }
    const LayeredWindow& popupWindow() const { return m_window; }
    UiThread& popupUi() const { return m_ui; }
    // Posts WM_CLOSE to the popup once; the modal loop then ends.
    void close();
    bool closing() const { return m_closing; }

    // The face's colour (ARGB, alpha 255): the list background of the popups.
    static uint32_t faceColour();
    // The face, what paintInside draws, the border.
    void paint(Surface& surface) override;

protected:
    // Creates the window at the content rectangle (y-up screen pixels); false when refused.
    bool createAt(int32_t left, int32_t bottom, int32_t right, int32_t top);
    // Repaints and runs the modal loop until the popup has closed; the window is gone after.
    void runUntilClosed();
    // Gives every pointer event, presses outside the popup too, to target until it closes.
    void holdPointer(MouseTarget& target);
    // Between the face and the border; the widget tree by default.
    virtual void paintInside(Surface& surface) { WidgetWindow::paint(surface); }

private:
    static LayeredWindow::Config popupConfig(WindowId owner, WindowKind kind, uint32_t initialState);

    UiThread& m_ui;
    bool m_closing = false;
    LayeredWindow m_window;
};

} // namespace tonvane
