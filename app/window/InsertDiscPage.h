#pragma once
#include "app/window/Ticker.h"
#include "controls/widget/Widget.h"
#include "graphics/image/Image.h"
#include "graphics/text/FontList.h"

namespace tonvane {

class UiThread;

// The page shown while no audio disc is available: "Insert Music CD" fading out and back in, a
// turning ring of twelve dots, and the disc picture in the ring.
class InsertDiscPage : public Widget {
public:
    static constexpr uint32_t kTickMs = 100; // [milliseconds]
    static constexpr int kDots = 12;

    explicit InsertDiscPage(Widget* parent);

    // The animation is wanted from start to stop; it runs while the window is on the screen.
    void startAnimation(UiThread& ui, WindowId window);
    void stopAnimation();
    bool animating() const { return m_ticker.running(); }
    // The window was minimised or covered (false), or shown again (true).
    void setOnScreen(bool onScreen);
    // One tick: the next frame, the text a little fainter (full again after it vanished).
    void step();
    int frame() const { return m_frame; }
    double phase() const { return m_phase; }

    void paint(Surface& surface) override;

private:
    Ticker m_ticker;
    UiThread* m_ui = nullptr;
    WindowId m_window = kNoWindow;
    bool m_wanted = false;
    bool m_onScreen = true;
    FontRef m_font; // Arial 28
    ImagePtr m_disc; // kept for the whole run
    int m_frame = 0;
    double m_phase = 1.2;
};

} // namespace tonvane
