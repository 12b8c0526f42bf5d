#include "WindowTestSupport.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include <thread>

namespace tonvane::testing {
namespace {

struct LoopTest : ::testing::Test, WindowFixture {
    RecordingContent mainContent;
    LayeredWindow main{ui, mainContent, mainConfig()};

    void SetUp() override
    {
        ASSERT_TRUE(main.create(100, 100, 700, 550));
        mainContent.events.clear();
    }

    LayeredWindow::Config dialogConfig()
    {
        LayeredWindow::Config config = mainConfig();
        config.kind = WindowKind::Dialog;
        config.owner = main.id();
        config.quitOnDestroy = false;
        return config;
    }
};

TEST_F(LoopTest, InvokeRunsPostedAndSentWorkOnTheUiThread)
{
    std::thread::id ranOn;
    std::optional<int64_t> sent;
    std::thread worker([&] {
        ui.post(main.id(), [&] { ranOn = std::this_thread::get_id(); });
        sent = ui.send(main.id(), [] { return int64_t{42}; });
        ui.postMessage({main.id(), msg::WM_CLOSE});
    });
    EXPECT_EQ(ui.runMainLoop(&main), 0);
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(sent, 42);
    EXPECT_EQ(ui.send(main.id(), [] { return int64_t{1}; }), std::nullopt); // on the UI thread itself
}

TEST_F(LoopTest, SendsThatCanNeverRunAreAnsweredInsteadOfHanging)
{
    std::optional<int64_t> toGoneWindow{7};
    std::thread first([&] { toGoneWindow = ui.send(999, [] { return int64_t{1}; }); });
    Message message;
    while (!ui.peekMessage(message)) {
    }
    ui.dispatch(message); // no window 999: abandoned
    first.join();
    EXPECT_EQ(toGoneWindow, std::nullopt);

    std::optional<int64_t> pending{7};
    auto thread = std::make_unique<UiThread>(backend);
    std::thread second([&] { pending = thread->send(main.id(), [] { return int64_t{1}; }); });
    while (!thread->peekMessage(message)) {
    }
    ASSERT_TRUE(thread->postMessage(message)); // put back; the thread then ends without a loop
    thread.reset();
    second.join();
    EXPECT_EQ(pending, std::nullopt);
}

TEST_F(LoopTest, QuitCodeEndsTheMainLoopAfterQueuedMessages)
{
    ui.postMessage({main.id(), msg::WM_KEYDOWN, 'A'});
    ui.postQuit(3);
    EXPECT_EQ(ui.runMainLoop(), 3);
    EXPECT_EQ(mainContent.events, std::vector<std::string>{"key 65"});
}

TEST_F(LoopTest, ModalLoopFiltersOtherWindowsAndEndsAfterItsClose)
{
    RecordingContent dialogContent;
    LayeredWindow dialog{ui, dialogContent, dialogConfig()};
    ASSERT_TRUE(dialog.create(200, 200, 400, 300));
    dialogContent.events.clear();
    HeadlessBackend::WindowRecord created = backend.window(dialog.id());
    EXPECT_EQ(created.description.kind, WindowKind::Dialog);
    EXPECT_EQ(created.description.owner, main.id()); // transient for the main window
    EXPECT_EQ(created.description.rect, (ScreenRect{191, 1000 - 309, 219, 119}));
    Message click{main.id(), msg::WM_LBUTTONDOWN};
    click.x = 300;
    click.y = 300;
    backend.inject(click); // dropped
    backend.inject({main.id(), msg::WM_NCMOUSEMOVE, ht::HTCAPTION}); // dropped
    backend.inject({main.id(), msg::WM_KEYDOWN, 'K'}); // to the dialog
    backend.inject({main.id(), msg::WM_DEVICECHANGE, 0x8000}); // delivered as usual
    backend.inject({dialog.id(), msg::WM_CLOSE, 17});
    backend.inject({main.id(), msg::WM_KEYDOWN, 'L'}); // after the loop
    WindowId dialogId = dialog.id();
    EXPECT_EQ(ui.runModal(dialog), 17);
    EXPECT_EQ(backend.activeWindow(), dialogId);
    EXPECT_EQ(dialog.id(), kNoWindow);
    EXPECT_EQ(ui.modalWindow(), nullptr);
    EXPECT_EQ(mainContent.events, std::vector<std::string>{"device 32768"});
    EXPECT_EQ(dialogContent.events, (std::vector<std::string>{"key 75", "stop work", "stop workers"}));
    EXPECT_FALSE(ui.quitPending()); // a dialog's destruction does not end the program
    drain(ui);
    EXPECT_EQ(mainContent.events.back(), "key 76");
}

TEST_F(LoopTest, ModalLoopsNestAndAQuitEndsOnlyTheInnermost)
{
    RecordingContent outerContent;
    RecordingContent innerContent;
    LayeredWindow outer{ui, outerContent, dialogConfig()};
    LayeredWindow inner{ui, innerContent, dialogConfig()};
    ASSERT_TRUE(outer.create(200, 200, 400, 300));
    ASSERT_TRUE(inner.create(250, 250, 350, 280));
    LayeredWindow* modalDuringInner = nullptr;
    ui.post(outer.id(), [&] {
        ui.postQuit(5); // taken by the inner loop
        EXPECT_EQ(ui.runModal(inner), 5);
        modalDuringInner = ui.modalWindow();
        ui.postMessage({outer.id(), msg::WM_CLOSE, 9});
    });
    EXPECT_EQ(ui.runModal(outer), 9);
    EXPECT_EQ(modalDuringInner, &outer);
    EXPECT_EQ(inner.id(), kNoWindow);
    EXPECT_FALSE(ui.quitPending()); // not posted again
    // The main loop keeps running until its own window closes.
    ui.postMessage({main.id(), msg::WM_CLOSE});
    EXPECT_EQ(ui.runMainLoop(&main), 0);
    EXPECT_EQ(main.id(), kNoWindow);
}

TEST_F(LoopTest, MainLoopEndsWhenItsWindowIsDestroyedDuringAModalLoop)
{
    RecordingContent dialogContent;
    LayeredWindow dialog{ui, dialogContent, dialogConfig()};
    ASSERT_TRUE(dialog.create(200, 200, 400, 300));
    ui.post(main.id(), [&] {
        ui.post(main.id(), [&] { main.destroy(); }); // its quit is swallowed by the modal loop
        ui.runModal(dialog);
    });
    ui.postMessage({main.id(), msg::WM_KEYDOWN, 'A'}); // keeps the main loop dispatching
    EXPECT_EQ(ui.runMainLoop(&main), 0); // returns instead of waiting for ever
}

} // namespace
} // namespace tonvane::testing

namespace tonvane::testing {
namespace {

TEST(BackendChoice, HeadlessWhenAskedOrWithoutADisplay)
{
    EXPECT_NE(dynamic_cast<HeadlessBackend*>(createBackend(true).get()), nullptr);
    const char* display = std::getenv("DISPLAY");
    std::string saved = display != nullptr ? display : "";
    setenv("DISPLAY", ":999", 1); // no server answers there
    EXPECT_NE(dynamic_cast<HeadlessBackend*>(createBackend(false).get()), nullptr);
    unsetenv("DISPLAY");
    EXPECT_NE(dynamic_cast<HeadlessBackend*>(createBackend(false).get()), nullptr);
    if (display != nullptr)
        setenv("DISPLAY", saved.c_str(), 1);
}

} // namespace
} // namespace tonvane::testing
