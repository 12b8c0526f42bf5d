#pragma once
#include "controls/widget/WidgetWindow.h"
#include "windowing/window/LayeredWindow.h"

#include <string>

namespace tonvane {

class UiThread;

// A small modal dialog: a popup window of its own kind (transient for the main window), drawn
// by the theme with the frame style 0x6410 (caption, close button only, rounded, inner border),
// centred on the main window's content and run by the modal loop until its WM_CLOSE. Subclasses
// build their widgets in the content rectangle and set `result`.
class DialogWindow : public WidgetWindow {
public:
    static constexpr uint32_t kFrameStyle = 0x6410;
    static constexpr int32_t kWidth = 380; // [pixels] the requested content size
    static constexpr int32_t kHeight = 200;

    DialogWindow(LayeredWindow& owner, std::u16string caption, int32_t height = kHeight, int32_t width = kWidth);
    ~DialogWindow() override;

    // Creates the window centred on the owner and shows it; false when it cannot be created.
    bool open();
    // Opens the dialog and runs the modal loop; returns once it was closed and destroyed.
    void run();
    // Posts WM_CLOSE to the dialog (its buttons end it this way).
    void close();
    LayeredWindow& dialogWindow() { return m_window; }
    const std::u16string& caption() const { return m_caption; }
    // The content rectangle inside the frame (the widgets' area).
    IntRect inner() const;

    int32_t hitTest(int32_t x, int32_t y) override;
    void paint(Surface& surface) override;
    void layout(int32_t width, int32_t height) override;
    // Esc dismisses the dialog and Return accepts it (both close it unless a subclass says more);
    // other keys go to the focused widget.
    void keyDown(uint32_t key) override;

protected:
    virtual void dismiss() { close(); }
    virtual void accept() { close(); }
    // Places the widgets for the inner width and height.
    virtual void placeWidgets(int32_t width, int32_t height) = 0;
    Widget& panel() { return m_panel; }

private:
    static LayeredWindow::Config dialogConfig(LayeredWindow& owner);

    LayeredWindow& m_owner;
    std::u16string m_caption;
    int32_t m_height;
    int32_t m_width;
    Widget m_panel{&root()}; // the inner rectangle; the widgets are its children
    LayeredWindow m_window;
};

} // namespace tonvane
