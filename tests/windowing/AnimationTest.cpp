#include "windowing/animation/BusySpinner.h"
#include "windowing/animation/WindowAnimation.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <mutex>

namespace tonvane::testing {
namespace {

TEST(FramePacing, LateFramesSkipStepsAndNeverLengthen)
{
    struct Row {
        int step, last;
        uint32_t elapsed, budget;
        int next;
        uint32_t sleep;
    };
    const Row fades[] = {
        {0, 19, 40, 15, 3, 0}, // a 40 ms frame of a 300 ms fade skips two steps
        {0, 19, 10, 15, 1, 5}, {0, 19, 15, 15, 1, 0},
        {18, 19, 40, 15, 19, 0}, // capped at the last step, which is always played
        {19, 19, 40, 15, 22, 0}, {0, 18, 20, 7, 3, 0},
    };
    for (const Row& row : fades) {
        PacedStep paced = paceFade(row.step, row.last, row.elapsed, row.budget);
        EXPECT_EQ(paced.next, row.next) << row.step << " " << row.elapsed;
        EXPECT_EQ(paced.sleepMs, row.sleep) << row.step << " " << row.elapsed;
    }
    const Row moves[] = {{1, 19, 15, 15, 2, 0}, {1, 19, 3, 15, 2, 12}, {1, 19, 16, 15, 3, 0}, {17, 19, 45, 15, 19, 0}};
    for (const Row& row : moves) {
        PacedStep paced = paceMove(row.step, row.last, row.elapsed);
        EXPECT_EQ(paced.next, row.next) << row.step << " " << row.elapsed;
        EXPECT_EQ(paced.sleepMs, row.sleep) << row.step << " " << row.elapsed;
    }
}

// Every pushed frame of one window: where it went, its alpha and two of its pixels.
struct PushedFrame {
    ScreenPoint at;
    uint8_t alpha;
    uint32_t content; // the content's centre
    uint32_t corner; // the bitmap's top-left corner
    uint64_t atMs;
};

struct AnimationTest : ::testing::Test, WindowFixture {
    RecordingContent content;
    LayeredWindow window{ui, content, mainConfig()};
    std::vector<PushedFrame> frames;

    void SetUp() override
    {
        backend.setPushObserver([this](WindowId, const HeadlessBackend::WindowRecord& record) {
            clock.advanceMs(pushCostMs);
            uint32_t centre = record.pixel(record.pushedWidth / 2, record.pushedHeight / 2);
            frames.push_back({record.pushedAt, record.pushedAlpha, centre, record.pixel(0, 0), clock.nowNs() / 1000000});
        });
        ASSERT_TRUE(window.create(100, 100, 300, 250)); // window rectangle (91, 741) 219 x 169
    }
};

TEST_F(AnimationTest, ShowFadesInOverTwentyStepsAndEndsOnThePicture)
{
    uint64_t start = clock.nowNs() / 1000000;
    window.repaint();
    ASSERT_EQ(frames.size(), 20u);
    // Step k scales every channel by (k + 1) / 20: opaque red 0xFFFF0000 at k = 0 is 0x0C0C0000.
    EXPECT_EQ(frames[0].content, 0x0C0C0000u);
    EXPECT_EQ(frames[9].content, 0x7F7F0000u);
    EXPECT_EQ(frames[19].content, 0xFFFF0000u);
    EXPECT_EQ(frames[19].atMs - start, 300u); // 19 steps of 15 ms and the final 15 ms
    EXPECT_FALSE(window.updating());
    EXPECT_TRUE(window.shownOnce());
}

TEST_F(AnimationTest, SlowFramesSkipStepsButTheHideStillEndsTransparent)
{
    window.repaint();
    frames.clear();
    pushCostMs = 40;
    uint64_t start = clock.nowNs() / 1000000;
    ui.postMessage({window.id(), msg::WM_CLOSE});
    drain(ui);
    // Steps 0, 3, 6, ..., 18 and the capped last step 19.
    ASSERT_EQ(frames.size(), 8u);
    EXPECT_EQ(frames[0].content, 0xF2F20000u); // factor 0.95
    EXPECT_EQ(frames[1].content, 0xCCCC0000u); // step 3: factor 0.8
    EXPECT_EQ(frames.back().content, 0u);
    EXPECT_EQ(frames.back().atMs - start, 8u * 40);
    EXPECT_EQ(window.id(), kNoWindow);
}

TEST_F(AnimationTest, QuickWindowsFadeInHalfTheTime)
{
    LayeredWindow::Config config = mainConfig();
    config.initialState = LayeredWindow::kQuickAnimations;
    RecordingContent popupContent;
    LayeredWindow popup{ui, popupContent, config};
    ASSERT_TRUE(popup.create(500, 500, 600, 600));
    frames.clear();
    uint64_t start = clock.nowNs() / 1000000;
    popup.repaint();
    EXPECT_EQ(frames.back().atMs - start, 140u); // 150 ms cut into steps of 7 ms
}

TEST_F(AnimationTest, MinimiseWithoutTaskbarButtonShrinksTowardsTheScreenOrigin)
{
    window.repaint();
    frames.clear();
    window.minimise();
    ASSERT_EQ(frames.size(), 20u); // g = 1 .. 19, then the cleared picture at the start
    // Move per step: ((0 - 219 / 2 - 91) / 20, (0 - 169 / 2 - 741) / 20) = (-10, -41).
    EXPECT_EQ(frames[0].at, (ScreenPoint{91 - 2 * 10, 741 - 2 * 41}));
    EXPECT_EQ(frames[18].at, (ScreenPoint{91 - 20 * 10, 741 - 20 * 41}));
    // At g = 19 the picture is about 106 pixels wide at opacity 1 - 0.95 x 0.45: source alpha
    // floor(0.5725 x 255) = 145 on a cleared snapshot gives 255 x 145 >> 8 = 144.
    EXPECT_EQ(frames[18].corner, 0u);
    EXPECT_EQ(frames[18].content >> 24, 144u);
    EXPECT_EQ(frames[19].at, (ScreenPoint{91, 741}));
    EXPECT_EQ(frames[19].content, 0u);
    EXPECT_TRUE(window.updating());
    EXPECT_TRUE(backend.window(window.id()).iconic);

    backend.setTaskbarButton({{600, 990, 40, 10}, 0});
    frames.clear();
    window.restore();
    ASSERT_EQ(frames.size(), 22u); // g = 19 .. 0, the whole picture, then the repaint
    // Towards the button's centre (620, 995): ((620 - 109 - 91) / 20, (995 - 84 - 741) / 20).
    EXPECT_EQ(frames[0].at, (ScreenPoint{91 + 20 * 21, 741 + 20 * 8}));
    EXPECT_EQ(frames[0].alpha, 145); // 1 - 19 / 20 x 0.45
    EXPECT_EQ(frames[19].alpha, 255);
    EXPECT_EQ(frames[20].at, (ScreenPoint{91, 741}));
    EXPECT_EQ(frames[20].content, 0xFFFF0000u);
    EXPECT_FALSE(window.updating());
}

class SpinnerLog final : public SpinnerTarget {
public:
    explicit SpinnerLog(FakeClock& clock) : m_clock(clock) {}
    void setFrame(int frame) override { note("frame " + std::to_string(frame)); }
    void repaint() override { ++repaints; }
    void clearText() override { note("clear"); }
    std::vector<std::pair<std::string, uint64_t>> entries()
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_entries;
    }
    std::atomic<int> repaints{0};

private:
    void note(std::string what)
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_entries.emplace_back(std::move(what), m_clock.slept.load());
    }
    FakeClock& m_clock;
    std::mutex m_mutex;
    std::vector<std::pair<std::string, uint64_t>> m_entries;
};

TEST(BusySpinner, WrapsAfterFrame46AndLingersTwoSecondsOnTheLastFrame)
{
    FakeClock clock;
    SpinnerLog log(clock);
    BusySpinner spinner;
    ASSERT_TRUE(spinner.start(log, clock, 45));
    while (log.entries().size() < 3) {
    }
    spinner.stop();
    spinner.join();
    auto entries = log.entries();
    ASSERT_GE(entries.size(), 5u);
    EXPECT_EQ(entries[0].first, "frame 46");
    EXPECT_EQ(entries[1].first, "frame 0");
    EXPECT_EQ(entries[entries.size() - 3].second, 0u); // frames come without the clock's sleep
    EXPECT_EQ(entries[entries.size() - 2], (std::pair<std::string, uint64_t>{"frame -1", 2000}));
    EXPECT_EQ(entries.back(), (std::pair<std::string, uint64_t>{"clear", 2000}));
    EXPECT_EQ(log.repaints.load(), static_cast<int>(entries.size()) - 1);

    // A quit (the window closing) hides the spinner without the linger.
    FakeClock quitClock;
    SpinnerLog quitLog(quitClock);
    ASSERT_TRUE(spinner.start(quitLog, quitClock));
    while (quitLog.entries().size() < 2) {
    }
    spinner.quit();
    spinner.join();
    entries = quitLog.entries();
    EXPECT_EQ(entries[entries.size() - 2], (std::pair<std::string, uint64_t>{"frame -1", 0}));
    EXPECT_EQ(entries.back(), (std::pair<std::string, uint64_t>{"clear", 0}));
}

} // namespace
} // namespace tonvane::testing
