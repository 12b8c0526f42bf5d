// Where the main window is kept: the normal rectangle survives maximise and minimise in any
// order, and the settings file is written once when a move or resize ends (or at the close),
// never at each step of a drag. Writes are counted on disk: every rewrite of the settings file
// renames a new file over it.
#include "WindowTestSupport.h"

#include "core/ProductConfig.h"
#include "core/settings/SettingsStore.h"
#include "support/TempDir.h"
#include "windowing/window/PositionStore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

namespace tonvane::testing {
namespace {

constexpr int32_t kLeft = 100;
constexpr int32_t kBottom = 100;
constexpr int32_t kWidth = 300;
constexpr int32_t kHeight = 250;
constexpr ScreenRect kWindowRect{91, 641, 319, 269}; // the layered window on the 1000-high work area

struct WindowPlacement : ::testing::Test, WindowFixture {
    test::TempDir settingsHome;
    test::ScopedEnv configHome{"XDG_CONFIG_HOME", settingsHome.path().c_str()};
    RecordingContent content;
    LayeredWindow window{ui, content, mainConfig()};

    void SetUp() override
    {
        ASSERT_TRUE(window.create(kLeft, kBottom, kLeft + kWidth, kBottom + kHeight));
        window.repaint();
    }
    void command(uint64_t code) { ui.dispatch(Message{window.id(), msg::WM_SYSCOMMAND, code}); }
    std::vector<int32_t> rect() const { return {window.left(), window.bottom(), window.width(), window.height()}; }
};

// Counts the settings files renamed into place in a folder.
class RenameCounter {
public:
    explicit RenameCounter(const std::string& folder)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), m_watch(inotify_add_watch(m_fd, folder.c_str(), IN_MOVED_TO))
    {
    }
    ~RenameCounter() { close(m_fd); }
    bool watching() const { return m_fd >= 0 && m_watch >= 0; }
    int settingsWrites()
    {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            ssize_t got = read(m_fd, buffer, sizeof buffer);
            if (got <= 0)
                return m_count;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && std::strcmp(event->name, "settings.reg") == 0)
                    ++m_count;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int m_fd;
    int m_watch;
    int m_count = 0;
};

TEST_F(WindowPlacement, MaximiseAndMinimiseInAnyOrderComeBackToTheNormalRectangle)
{
    const std::vector<int32_t> normal{kLeft, kBottom, kWidth, kHeight};
    const std::vector<int32_t> maximised{0, 0, 1280, WindowFixture::kWorkAreaBottom};
    struct Step {
        uint64_t command;
        std::vector<int32_t> rect; // after the step; empty: not checked (minimised)
    };
    struct Sequence {
        const char* what;
        std::vector<Step> steps;
    };
    const Sequence sequences[] = {
        {"maximise, minimise, restore, un-maximise",
         {{sc::SC_MAXIMIZE, maximised}, {sc::SC_MINIMIZE, {}}, {sc::SC_RESTORE, maximised}, {sc::SC_RESTORE, normal}}},
        {"minimise, restore", {{sc::SC_MINIMIZE, {}}, {sc::SC_RESTORE, normal}}},
        {"maximise, un-maximise", {{sc::SC_MAXIMIZE, maximised}, {sc::SC_RESTORE, normal}}},
        {"minimise, maximise (refused while minimised), restore",
         {{sc::SC_MINIMIZE, {}}, {sc::SC_MAXIMIZE, {}}, {sc::SC_RESTORE, normal}}},
        {"restore of a normal window changes nothing", {{sc::SC_RESTORE, normal}}},
    };
    for (const Sequence& sequence : sequences) {
        for (const Step& step : sequence.steps) {
            command(step.command);
            EXPECT_EQ(window.normalRect(), (LayeredWindow::ContentRect{kLeft, kBottom, kWidth, kHeight}))
                << sequence.what;
            if (!step.rect.empty()) {
                EXPECT_EQ(rect(), step.rect) << sequence.what << " after command " << std::hex << step.command;
            }
        }
        EXPECT_EQ(window.state() & (LayeredWindow::kMaximised | LayeredWindow::kMinimised), 0u) << sequence.what;
        EXPECT_EQ(backend.window(window.id()).rect, kWindowRect) << sequence.what;
        EXPECT_EQ(backend.window(window.id()).pixel(20, 20), 0xFFFF0000u) << sequence.what << ": drawn again";
    }
}

TEST_F(WindowPlacement, ADragWritesTheSettingsOnceWhenItEnds)
{
    window.addPositionListener(storeMainWindowPosition(product::kProductKey));
    settings::writeDword(product::kProductKey, u"\\Main", u"probe", 1); // makes the folder
    RenameCounter counter(settingsHome.path() + "/tonvane");
    ASSERT_TRUE(counter.watching());

    // A drag of 40 steps by the window manager, then its end.
    for (int32_t step = 1; step <= 40; ++step) {
        Message moved{window.id(), msg::WM_WINDOWPOSCHANGED};
        moved.x = kWindowRect.x + step * 5;
        moved.y = kWindowRect.y + step * 2;
        moved.flags = swp::SWP_NOSIZE;
        ui.dispatch(moved);
    }
    EXPECT_EQ(counter.settingsWrites(), 0) << "nothing is written while the drag goes on";
    EXPECT_EQ(rect(), (std::vector<int32_t>{kLeft + 200, kBottom - 80, kWidth, kHeight}));
    ui.dispatch(Message{window.id(), msg::WM_EXITSIZEMOVE});
    EXPECT_EQ(counter.settingsWrites(), 1) << "one rewrite holds all four values";
    settings::WindowRect stored;
    ASSERT_TRUE(settings::readWindowRect(product::kProductKey, stored));
    EXPECT_EQ(stored.left, kLeft + 200);
    EXPECT_EQ(stored.bottom, kBottom - 80);
    EXPECT_EQ(stored.right, kLeft + 200 + kWidth);
    EXPECT_EQ(stored.top, kBottom - 80 + kHeight);

    // Maximised and minimised, then closed: what is kept is the normal rectangle.
    command(sc::SC_MAXIMIZE);
    command(sc::SC_MINIMIZE);
    EXPECT_EQ(counter.settingsWrites(), 1);
    ui.dispatch(Message{window.id(), msg::WM_CLOSE});
    EXPECT_EQ(counter.settingsWrites(), 2);
    ASSERT_TRUE(settings::readWindowRect(product::kProductKey, stored));
    EXPECT_EQ(stored.left, kLeft + 200);
    EXPECT_EQ(stored.right - stored.left, kWidth);
    EXPECT_EQ(stored.top - stored.bottom, kHeight);
}

} // namespace
} // namespace tonvane::testing
