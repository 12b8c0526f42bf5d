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

    void startAnimation(UiThread& ui, WindowId window);
    void stopAnimation() { m_ticker.stop(); }
    bool animating() const { return m_ticker.running(); }
    // One tick: the next frame, the text a little fainter (full again after it vanished).
    void step();
    int frame() const { return m_frame; }
    double phase() const { return m_phase; }

    void paint(Surface& surface) override;

private:
    Ticker m_ticker;
    FontRef m_font; // Arial 28
    ImagePtr m_disc; // kept for the whole run
    int m_frame = 0;
    double m_phase = 1.2;
};

} // namespace tonvane
