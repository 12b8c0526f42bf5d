#include "windowing/animation/WindowAnimation.h"

#include "graphics/surface/Surface.h"
#include "windowing/animation/AnimationClock.h"
#include "windowing/loop/UiThread.h"
#include "windowing/window/LayeredWindow.h"

#include <algorithm>
#include <vector>

namespace tonvane {

namespace {

constexpr int kSteps = 20; // every transition is cut into 20 steps
constexpr uint32_t kShowMs = 300;
constexpr uint32_t kShowQuickMs = 150;
constexpr uint32_t kHideMs = 300;
constexpr uint32_t kHideQuickMs = 100;
constexpr uint32_t kMoveBudgetMs = 15; // per minimise or restore step
constexpr uint32_t kMoveLateMs = 16; // a move step this long or longer skips steps
constexpr int32_t kMinimisedWidth = 100; // [pixels] the picture's width at step 20
constexpr float kMoveFade = 0.45f; // opacity lost over the whole minimise

// One transition of one window: its picture, the snapshot frames are built in, and where the
// frames go.
class Animation {
public:
    explicit Animation(LayeredWindow& window)
        : m_window(window), m_backend(window.ui().backend()), m_clock(window.ui().clock()), m_rect(window.windowRect())
    {
        window.setUpdating(true);
        m_clock.sleepMs(0);
        m_ready = m_rect.width > 0 && m_rect.height > 0 && m_snapshot.setSize(m_rect.width, m_rect.height)
                  && window.surface().width() >= m_rect.width && window.surface().height() >= m_rect.height;
    }

    bool ready() const { return m_ready; }
    const ScreenRect& rect() const { return m_rect; }
    AnimationClock& clock() { return m_clock; }
    WindowBackend& backend() { return m_backend; }
    LayeredWindow& window() { return m_window; }

    uint64_t now() { return m_clock.nowNs(); }
    static uint32_t elapsedMs(uint64_t before, uint64_t after) { return static_cast<uint32_t>((after - before) / 1000000); }

    // Every channel of the window's picture times factor, into the snapshot.
    void scalePicture(double factor)
    {
        const Surface& source = m_window.surface();
        for (int32_t y = 0; y < m_rect.height; ++y) {
            const uint32_t* from = source.pixels() + static_cast<size_t>(y) * static_cast<size_t>(source.width());
            uint32_t* to = m_snapshot.pixels() + static_cast<size_t>(y) * static_cast<size_t>(m_snapshot.width());
            for (int32_t x = 0; x < m_rect.width; ++x) {
                uint32_t pixel = from[x];
                uint32_t scaled = 0;
                for (int shift = 0; shift < 32; shift += 8)
                    scaled |= static_cast<uint32_t>(((pixel >> shift) & 0xFF) * factor) << shift;
                to[x] = scaled;
            }
        }
    }

    // The picture drawn into (x0, y0)-(x1, y1) of a cleared snapshot at the opacity.
    void drawPicture(double x0, double y0, double x1, double y1, double opacity)
    {
        if (m_straight.empty())
            makeStraightPicture();
        m_snapshot.begin();
        ImageView view{m_rect.width, m_rect.height, m_rect.width, m_straight.data()};
        m_snapshot.drawImageScaled(x0, y0, x1, y1, view, opacity);
        m_snapshot.render();
    }

    void clearSnapshot()
    {
        m_snapshot.begin();
        m_snapshot.render();
    }

    void push(int64_t dx, int64_t dy, double alpha)
    {
        Frame frame;
        frame.surface = &m_snapshot;
        frame.width = m_rect.width;
        frame.height = m_rect.height;
        frame.at = {static_cast<int32_t>(m_rect.x + dx), static_cast<int32_t>(m_rect.y + dy)};
        frame.alpha = static_cast<uint8_t>(std::clamp(alpha, 0.0, 1.0) * 255);
        m_window.dressFrame(frame);
        m_backend.push(m_window.id(), frame);
    }

private:
    // Image pixels are straight alpha; the surface holds premultiplied ones.
    void makeStraightPicture()
    {
        const Surface& source = m_window.surface();
        m_straight.resize(static_cast<size_t>(m_rect.width) * static_cast<size_t>(m_rect.height));
        for (int32_t y = 0; y < m_rect.height; ++y)
            for (int32_t x = 0; x < m_rect.width; ++x) {
                uint32_t pixel = source.pixel(x, y);
                uint32_t alpha = pixel >> 24;
                uint32_t straight = 0;
                if (alpha == 255) {
                    straight = pixel;
                } else if (alpha != 0) {
                    straight = alpha << 24;
                    for (int shift = 0; shift < 24; shift += 8)
                        straight |= std::min(255u, (((pixel >> shift) & 0xFF) * 255 + alpha / 2) / alpha) << shift;
                }
                m_straight[static_cast<size_t>(y) * static_cast<size_t>(m_rect.width) + static_cast<size_t>(x)]
                    = straight;
            }
    }

    LayeredWindow& m_window;
    WindowBackend& m_backend;
    AnimationClock& m_clock;
    ScreenRect m_rect;
    Surface m_snapshot{1};
    std::vector<uint32_t> m_straight;
    bool m_ready = false;
};

void fade(Animation& animation, bool in, uint32_t durationMs)
{
    uint32_t budget = durationMs / kSteps;
    int last = in ? kSteps - 2 : kSteps - 1;
    for (int k = 0; k <= last;) {
        uint64_t before = animation.now();
        double share = static_cast<double>(k + 1) / kSteps;
        animation.scalePicture(in ? share : 1 - share);
        animation.push(0, 0, 1);
        PacedStep paced = paceFade(k, last, Animation::elapsedMs(before, animation.now()), budget);
        if (paced.sleepMs > 0)
            animation.clock().sleepMs(paced.sleepMs);
        k = paced.next;
    }
    if (in) {
        animation.clock().sleepMs(budget);
        animation.scalePicture(1);
        animation.push(0, 0, 1);
    }
}

// The geometry both moves share: per-step offset towards the button's centre and inset.
struct MoveGeometry {
    int64_t moveX = 0;
    int64_t moveY = 0;
    double insetX = 0;
    double insetY = 0;
};

MoveGeometry moveGeometry(Animation& animation)
{
    // An all-zero rectangle (no button found) aims at the screen origin.
    ScreenRect button = animation.backend().taskbarButton(animation.window().id()).rect;
    const ScreenRect& rect = animation.rect();
    int64_t width = rect.width;
    int64_t height = rect.height;
    int64_t centreX = button.x + button.width / 2;
    int64_t centreY = button.y + button.height / 2;
    MoveGeometry geometry;
    geometry.moveX = (centreX - width / 2 - rect.x) / kSteps;
    geometry.moveY = (centreY - height / 2 - rect.y) / kSteps;
    geometry.insetX = static_cast<double>(width - kMinimisedWidth) / kSteps * 0.5;
    geometry.insetY = static_cast<double>(height) * geometry.insetX / static_cast<double>(width);
    return geometry;
}

float moveOpacity(int g)
{
    return 1.0f - (static_cast<float>(g) / kSteps) * kMoveFade;
}

void shrink(Animation& animation)
{
    MoveGeometry geometry = moveGeometry(animation);
    double width = animation.rect().width;
    double height = animation.rect().height;
    for (int g = 1; g <= kSteps - 1;) {
        uint64_t before = animation.now();
        animation.drawPicture(g * geometry.insetX, g * geometry.insetY, width - g * geometry.insetX,
                              height - g * geometry.insetY, moveOpacity(g));
        animation.push((g + 1) * geometry.moveX, (g + 1) * geometry.moveY, 1);
        PacedStep paced = paceMove(g, kSteps - 1, Animation::elapsedMs(before, animation.now()));
        if (paced.sleepMs > 0)
            animation.clock().sleepMs(paced.sleepMs);
        g = paced.next;
    }
    animation.clock().sleepMs(kMoveBudgetMs);
    animation.clearSnapshot();
    animation.push(0, 0, 1);
}

void grow(Animation& animation)
{
    MoveGeometry geometry = moveGeometry(animation);
    double width = animation.rect().width;
    double height = animation.rect().height;
    for (int g = kSteps - 1; g >= 0;) {
        uint64_t before = animation.now();
        animation.drawPicture(g * geometry.insetX, g * geometry.insetY, width - g * geometry.insetX,
                              height - g * geometry.insetY, 1);
        animation.push((g + 1) * geometry.moveX, (g + 1) * geometry.moveY, moveOpacity(g));
        uint32_t elapsed = Animation::elapsedMs(before, animation.now());
        int next = g - 1;
        if (elapsed >= kMoveLateMs) {
            next = g - 1 - static_cast<int>(elapsed / kMoveBudgetMs);
            if (g > 1)
                next = std::max(next, 1);
        } else {
            animation.clock().sleepMs(kMoveBudgetMs - std::min(elapsed, kMoveBudgetMs));
        }
        g = next;
    }
    animation.drawPicture(0, 0, width, height, 1);
    animation.push(0, 0, 1);
}

} // namespace

PacedStep paceFade(int step, int lastStep, uint32_t elapsedMs, uint32_t budgetMs)
{
    PacedStep paced;
    bool late = budgetMs > 0 && elapsedMs > budgetMs;
    paced.next = step + 1 + (late ? static_cast<int>(elapsedMs / budgetMs) : 0);
    if (paced.next > lastStep && step < lastStep)
        paced.next = lastStep;
    paced.sleepMs = late ? 0 : budgetMs - elapsedMs;
    return paced;
}

PacedStep paceMove(int step, int lastStep, uint32_t elapsedMs)
{
    PacedStep paced;
    if (elapsedMs < kMoveLateMs) {
        paced.next = step + 1;
        paced.sleepMs = kMoveBudgetMs - std::min(elapsedMs, kMoveBudgetMs);
        return paced;
    }
    paced.next = step + 1 + static_cast<int>(elapsedMs / kMoveBudgetMs);
    if (paced.next > lastStep && step < lastStep)
        paced.next = lastStep;
    return paced;
}

void playTransition(LayeredWindow& window, Transition kind)
{
    Animation animation(window);
    if (animation.ready()) {
        bool quick = (window.state() & LayeredWindow::kQuickAnimations) != 0;
        switch (kind) {
        case Transition::Show:
            fade(animation, true, quick ? kShowQuickMs : kShowMs);
            break;
        case Transition::Hide:
            fade(animation, false, quick ? kHideQuickMs : kHideMs);
            break;
        case Transition::Minimise:
            shrink(animation);
            break;
        case Transition::Restore:
            grow(animation);
            break;
        }
    }
    if (kind != Transition::Minimise)
        window.setUpdating(false);
}

} // namespace tonvane
