#pragma once
#include "app/window/Ticker.h"
#include "controls/widget/Widget.h"
#include "graphics/image/Image.h"

namespace tonvane {

class UiThread;

// A small balloon (166 x 53) that rises from below the page area's bottom-right corner, stays
// 20 seconds and sinks away again, fading in and out; a click opens the tutorials page.
class TutorialsBalloon : public Widget {
public:
    static constexpr int32_t kWidth = 166; // [pixels]
    static constexpr int32_t kHeight = 53; // [pixels]
    static constexpr int kSlideSteps = 25; // of 40 ms each way
    static constexpr uint32_t kStepMs = 40;
    static constexpr uint32_t kHoldMs = 20000;
    static constexpr int32_t kEdgeGap = 16; // [pixels] from the page area's right and bottom

    explicit TutorialsBalloon(Widget* parent);

    void start(UiThread& ui, WindowId window);
    void stop() { m_ticker.stop(); }
    // One 40 ms step of the slide (public for tests).
    void step();
    double opacity() const { return m_opacity; }
    bool sliding() const { return m_ticker.running(); }

    void paint(Surface& surface) override;
    void onMouse(MouseAction action, int32_t x, int32_t y) override;

private:
    enum class Phase { Hidden, Rising, Holding, Sinking };
    void place();

    Ticker m_ticker;
    ImagePtr m_cap;
    Phase m_phase = Phase::Hidden;
    int m_steps = 0;
    double m_opacity = 0;
    int32_t m_y = -kHeight;
};

} // namespace tonvane
