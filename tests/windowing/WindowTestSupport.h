#pragma once
#include "graphics/surface/Surface.h"
#include "windowing/animation/AnimationClock.h"
#include "windowing/headless/HeadlessBackend.h"
#include "windowing/loop/UiThread.h"
#include "windowing/window/LayeredWindow.h"
#include "windowing/window/ShadowObject.h"

#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace tonvane::testing {

// Time that moves only when the animation sleeps or a frame is pushed (each push costs
// pushCostMs), so pacing is exact and tests never wait.
class FakeClock final : public AnimationClock {
public:
    uint64_t nowNs() override { return m_now.load(); }
    void sleepMs(uint32_t milliseconds) override
    {
        m_now += uint64_t{milliseconds} * 1000000;
        slept += milliseconds;
    }
    void advanceMs(uint32_t milliseconds) { m_now += uint64_t{milliseconds} * 1000000; }

    std::atomic<uint64_t> slept{0};

private:
    std::atomic<uint64_t> m_now{1000000000};
};

// A widget tree that fills its content with one colour and writes down what reaches it.
class RecordingContent final : public WindowContent {
public:
    void mouse(MouseAction action, int32_t x, int32_t y) override
    {
        events.push_back("mouse " + std::to_string(static_cast<int>(action)) + " " + std::to_string(x) + ","
                         + std::to_string(y));
    }
    void wheel(int32_t x, int32_t y, int32_t delta, uint32_t keys) override
    {
        events.push_back("wheel " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(delta) + " "
                         + std::to_string(keys));
    }
    int32_t hitTest(int32_t x, int32_t y) override { return hitAnswer ? hitAnswer(x, y) : 0; }
    void keyDown(uint32_t key) override { events.push_back("key " + std::to_string(key)); }
    void keyUp(uint32_t key) override { events.push_back("keyup " + std::to_string(key)); }
    void keyCommand(const KeyTableEntry& entry) override { events.push_back("command " + std::to_string(entry.command)); }
    bool moveFocus(bool backwards, bool fromEnd) override
    {
        events.push_back(std::string("focus ") + (backwards ? "back" : "fwd") + (fromEnd ? " wrap" : ""));
        return focusAnswers;
    }
    void layout(int32_t width, int32_t height) override
    {
        events.push_back("layout " + std::to_string(width) + "x" + std::to_string(height));
    }
    void paint(Surface& surface) override
    {
        ++paints;
        IntRect clip = surface.getClip();
        surface.fillRectangle(clip.x0, clip.y0, clip.x1, clip.y1, colour);
        // A marker in the content's top-left pixel.
        surface.fillRectangle(clip.x0, clip.y1 - 1, clip.x0 + 1, clip.y1, 0xFF0000FFu);
    }
    bool releaseCursor() override { return std::exchange(cursorOwned, false); }
    void deviceChange(uint64_t wParam, int64_t) override { events.push_back("device " + std::to_string(wParam)); }
    void stopWork() override { events.push_back("stop work"); }
    void stopWorkers() override { events.push_back("stop workers"); }

    std::vector<std::string> events;
    std::function<int32_t(int32_t, int32_t)> hitAnswer;
    bool focusAnswers = true;
    bool cursorOwned = false;
    uint32_t colour = 0xFFFF0000u; // opaque red
    std::atomic<int> paints{0};
};

// A headless screen 1280 x 1024 with the work area above a 24-pixel panel, one user-interface
// thread on the fake clock, and the main window's shadow.
struct WindowFixture {
    static constexpr int32_t kWorkAreaBottom = 1000;

    WindowFixture()
    {
        backend.setWorkArea({0, 0, 1280, kWorkAreaBottom});
        ui.setClock(clock);
        backend.setPushObserver([this](WindowId, const HeadlessBackend::WindowRecord&) { clock.advanceMs(pushCostMs); });
    }

    LayeredWindow::Config mainConfig()
    {
        LayeredWindow::Config config;
        config.shadow = &shadow;
        config.quitOnDestroy = true;
        config.renderBands = 1;
        return config;
    }

    HeadlessBackend backend;
    FakeClock clock;
    UiThread ui{backend};
    ShadowObject shadow{8};
    uint32_t pushCostMs = 0;
};

// Runs every message queued so far (posted ones and injected events), without sleeping.
inline void drain(UiThread& ui)
{
    Message message;
    while (ui.peekMessage(message))
        ui.dispatch(message);
}

} // namespace tonvane::testing
