// bench-controls: one wheel step on a list of 64-pixel rows drawn like the track list (logo,
// title and time text, progress bar, check box) in a 650 x 450 window on the headless backend:
// the list scrolls, the window repaints on one band and pushes. Prints the median and spread
// per step (target under 2 ms). Then pans with the middle button for five seconds at the pan
// thread's 20 ticks a second and prints the process's processor time (target under 3% of one
// core).
#include "controls/list/ItemList.h"
#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "controls/widget/WidgetWindow.h"
#include "core/foundation/Clock.h"
#include "graphics/image/ImageStrip.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/TextLayout.h"
#include "windowing/headless/HeadlessBackend.h"
#include "windowing/loop/UiThread.h"
#include "windowing/window/LayeredWindow.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace tonvane;

namespace {

constexpr int32_t kWidth = 650; // [pixels]
constexpr int32_t kHeight = 450; // [pixels]
constexpr int32_t kRowHeight = 64; // [pixels]
constexpr int kSteps = 400;
constexpr int kPanSeconds = 5;

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// The track row as the main window draws it, near enough for timing.
void drawRow(Surface& s, const ControlTheme& theme, const ImageStrip& logos, int32_t index, const IntRect& r)
{
    theme.drawPanel(s, {r.x0 + 4, r.y0 + 3, r.x1 - 4, r.y1 - 3}, 0);
    drawFrame(s, logos, index % 4, r.x0 + 10, r.y0 + 8, 1);
    s.font = theme.font();
    s.text_colour = palette::kText;
    std::u16string title = u"0" + std::u16string(1, char16_t(u'1' + index % 9)) + u" - A Quiet Walk through the Old Market";
    drawText(s, title.c_str(), int32_t(title.size()), 0, r.x0 + 70, r.y1 - 30, r.x1 - 120, r.y1 - 10);
    drawText(s, u"4:32", 4, kTextRight, r.x1 - 110, r.y1 - 30, r.x1 - 60, r.y1 - 10);
    theme.drawProgress(s, {r.x0 + 70, r.y0 + 12, r.x1 - 120, r.y0 + 24}, (index % 10) / 9.0, palette::kProgressComplete);
    theme.drawCheckBox(s, {r.x1 - 40, r.y0 + 20, r.x1 - 24, r.y0 + 42}, index % 2 ? style::kTicked : 0);
}

} // namespace

int main()
{
    HeadlessBackend backend;
    backend.setWorkArea({0, 0, 1280, 1000});
    UiThread ui(backend);
    ControlTheme theme;
    setControlTheme(&theme);
    ImageStrip logos;
    logos.load(131);
    WidgetWindow content;
    LayeredWindow::Config config;
    config.renderBands = 1;
    config.frame.captionHeight = 0;
    LayeredWindow window(ui, content, config);
    content.attach(window);
    ItemList list(&content.root());
    list.create(0, 0, kWidth, kHeight, style::kVisible);
    list.setCellSize(kWidth, kRowHeight);
    list.setLineStep(kRowHeight);
    ItemList::Routines routines;
    routines.drawItem = [&](Surface& s, int32_t index, const IntRect& r) { drawRow(s, theme, logos, index, r); };
    list.setRoutines(routines);
    list.setItemCount(12);
    if (!window.create(100, 100, 100 + kWidth, 100 + kHeight)) {
        std::fprintf(stderr, "bench-controls: no window\n");
        return 1;
    }
    window.repaint();

    // Wheel steps, alternately down and up, each dispatched as the window system sends it.
    std::vector<double> steps;
    for (int i = 0; i < kSteps; ++i) {
        Message wheel{window.id(), msg::WM_MOUSEWHEEL, uint64_t(uint16_t(i % 2 == 0 ? -120 : 120)) << 16};
        wheel.x = 300;
        wheel.y = window.flip(300);
        uint64_t start = monotonicNs();
        ui.dispatch(wheel);
        steps.push_back((monotonicNs() - start) / 1e6);
    }
    std::sort(steps.begin(), steps.end());
    std::printf("wheel step (scroll, repaint on one band, push): median %.2f ms, 10th-90th percentile %.2f-%.2f ms "
                "(target < 2 ms)\n",
                steps[steps.size() / 2], steps[steps.size() / 10], steps[steps.size() * 9 / 10]);

    // Panning: a long list, the pointer held a little off the anchor so it keeps moving.
    list.setItemCount(2000);
    list.setPositions(0, 1);
    auto pointer = [&](uint32_t message, int32_t x, int32_t y) {
        Message event{window.id(), message};
        event.x = LayeredWindow::kMarginLeft + x;
        event.y = LayeredWindow::kMarginTop + kHeight - y;
        ui.dispatch(event);
    };
    pointer(msg::WM_MBUTTONDOWN, 300, 300);
    pointer(msg::WM_MOUSEMOVE, 300, 298);
    double before = processorSeconds();
    uint64_t started = monotonicNs();
    std::thread stopper([&ui] {
        std::this_thread::sleep_for(std::chrono::seconds(kPanSeconds));
        ui.postQuit(0);
    });
    ui.runMainLoop();
    stopper.join();
    double wall = (monotonicNs() - started) / 1e9;
    double used = processorSeconds() - before;
    double moved = 1 - list.verticalPosition();
    pointer(msg::WM_MBUTTONUP, 300, 298);
    std::printf("panning %.1f s: %.1f%% of one core (target < 3%%), the list moved %.3f of its range\n", wall,
                100 * used / wall, moved);
    window.destroy();
    setControlTheme(nullptr);
    return 0;
}
