// The insert-disc page animates only while the window is on the screen: minimised, covered or
// hidden by the window manager its ticker stops (no frame, no wake-up), and it picks up again
// when the window shows.
#include "MainWindowFixture.h"

#include "core/ProductConfig.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"

#include <chrono>
#include <thread>

namespace tonvane {
namespace {

struct InsertDiscAnimation : test::MainWindowFixture {
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        setCurrentLanguage(kEnglish);
        settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
        settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
        drives.imageDrives = {}; // no disc: the insert-disc page shows
        open();
    }
    InsertDiscPage& page() { return content->insertDiscPage(); }
    // Runs the window's messages until done() or 5 s have passed.
    template <typename Done>
    bool pumpUntil(Done done)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            Message message;
            if (ui.peekMessage(message))
                ui.dispatch(message);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }
    void drainFor(int ms)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            Message message;
            while (ui.peekMessage(message))
                ui.dispatch(message);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void send(uint32_t message, uint64_t wParam) { ui.dispatch(Message{window->id(), message, wParam}); }
};

TEST_F(InsertDiscAnimation, FramesStopWhileTheWindowIsNotOnTheScreen)
{
    ASSERT_EQ(content->page(), MainContent::Page::InsertDisc);
    ASSERT_TRUE(page().animating());
    struct Away {
        const char* what;
        uint32_t message;
        uint64_t hide, show;
    };
    const Away aways[] = {
        {"covered, then uncovered", msg::WM_VISIBILITY, 0, 1},
        {"minimised, then restored", msg::WM_SYSCOMMAND, sc::SC_MINIMIZE, sc::SC_RESTORE},
    };
    for (const Away& away : aways) {
        int before = page().frame();
        ASSERT_TRUE(pumpUntil([&] { return page().frame() != before; })) << away.what << ": animating at first";
        send(away.message, away.hide);
        EXPECT_FALSE(page().animating()) << away.what;
        drainFor(50); // steps posted before the stop do nothing
        int stopped = page().frame();
        drainFor(3 * int(InsertDiscPage::kTickMs));
        EXPECT_EQ(page().frame(), stopped) << away.what << ": no frame while away";
        send(away.message, away.show);
        EXPECT_TRUE(page().animating()) << away.what;
        EXPECT_TRUE(pumpUntil([&] { return page().frame() != stopped; })) << away.what << ": frames again";
    }

    // Shown again while another page is up: the page stays still.
    send(msg::WM_VISIBILITY, 0);
    page().stopAnimation();
    send(msg::WM_VISIBILITY, 1);
    EXPECT_FALSE(page().animating());
}

} // namespace
} // namespace tonvane
