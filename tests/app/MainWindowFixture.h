#pragma once
// The main window on the headless backend: a fresh settings folder, no real drives but the demo
// disc, the control theme, and helpers that click widgets.
#include "app/window/MainContent.h"
#include "controls/theme/ControlTheme.h"
#include "core/language/Language.h"
#include "core/ProductConfig.h"
#include "core/settings/SettingsStore.h"
#include "net/LocalServer.h"
#include "net/update/UpdateChecker.h"
#include "support/TempDir.h"
#include "windowing/headless/HeadlessBackend.h"
#include "windowing/loop/Invocation.h"
#include "windowing/loop/UiThread.h"
#include "windowing/window/LayeredWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tonvane::test {

constexpr uint32_t kNoDelayedCheck = 600000; // [ms] longer than any test: the check waits

// Records web pages and programs: no browser and no installer starts in tests.
struct RecordingLauncher : ProgramLauncher {
    bool openWebPage(std::u16string_view url) override
    {
        pages.emplace_back(url);
        return true;
    }
    bool startProgram(const std::string& path) override
    {
        programs.push_back(path);
        return true;
    }
    std::vector<std::u16string> pages;
    std::vector<std::string> programs;
};

struct MainWindowFixture : ::testing::Test {
    test::TempDir config;
    test::TempDir cache;
    test::TempDir noDrives; // an empty /sys/block: no real drives
    test::ScopedEnv configHome{"XDG_CONFIG_HOME", config.path().c_str()};
    test::ScopedEnv cacheHome{"XDG_CACHE_HOME", cache.path().c_str()};
    HeadlessBackend backend;
    UiThread ui{backend};
    ControlTheme theme;
    RecordingLauncher launcher;
    DriveSources drives;
    // Never the internet: a refused port, and a delay no test waits out unless it asks.
    UpdateCheckerOptions update;
    std::unique_ptr<MainContent> content;
    std::unique_ptr<LayeredWindow> window;

    void SetUp() override
    {
        backend.setWorkArea({0, 0, 1280, 1000});
        setControlTheme(&theme);
        fillLanguageSlots(); // the program's start-up does this
        drives.sysfsRoot = noDrives.path();
        drives.imageDrives = {"demo:"};
        update.host = "127.0.0.1";
        update.port = test::unusedLocalPort();
        update.launcher = &launcher;
        update.checkDelayMs = kNoDelayedCheck;
        // Conversions check AccurateRip: against a port that refuses at once, never the internet.
        settings::writeString(product::kProductKey, u"\\AccurateRip", u"Server", u"127.0.0.1:1");
        // The tests look for a conversion's files in the folder they choose; the folder per album
        // below it has its own test.
        settings::writeDword(product::kProductKey, u"\\Options", u"FolderPerAlbum", 0);
    }
    void TearDown() override
    {
        if (content)
            content->stopWorkers();
        window.reset();
        content.reset();
        setControlTheme(nullptr);
    }
    std::string server = "127.0.0.1:9"; // never the internet: a refused port
    // The command line's servers for this run; the web services at a refused port, never the
    // internet.
    WindowRunOptions runOptions{"", "http://127.0.0.1:9", "http://127.0.0.1:9", "", false};
    bool answerChooser = true; // false: the program's own choosers run
    std::optional<std::string> folderAnswer; // what the folder chooser answers
    std::string offeredFolder;
    std::string openProgram; // opens a rip's folder and log; empty: xdg-open

    void open()
    {
        MainContent::Options options;
        options.drives = drives;
        options.update = update;
        options.watchMedia = false;
        options.tutorialsBalloon = false;
        if (answerChooser)
            options.chooseFolder = [this](const std::string& start) {
                offeredFolder = start;
                return folderAnswer;
            };
        options.server = server;
        options.run = runOptions;
        options.openProgram = openProgram;
        content = std::make_unique<MainContent>(options);
        LayeredWindow::Config c;
        c.renderBands = 1;
        window = std::make_unique<LayeredWindow>(ui, *content, c);
        ASSERT_TRUE(window->create(100, 100, 750, 550));
        content->start(*window);
        settle();
        window->repaint();
    }
    // Runs the window's messages until the drive worker's scan or load has been shown.
    void settle()
    {
        for (int i = 0; i < 4000 && content->driveWorkPending(); ++i) {
            Message message;
            if (ui.peekMessage(message))
                ui.dispatch(message);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // A medium arrival as the watcher reports it, and its disc read and shown.
    void arrive(const std::string& path)
    {
        content->onMediaArrived(path);
        settle();
    }
    // A left click at a content point of a widget (x from its left, y up from its bottom).
    void click(const Widget& widget, int32_t x, int32_t y, uint32_t keys = 0)
    {
        IntRect r = widget.windowRect();
        for (uint32_t message : {msg::WM_MOUSEMOVE, msg::WM_LBUTTONDOWN, msg::WM_LBUTTONUP}) {
            Message event{window->id(), message, keys};
            event.x = window->marginLeft() + r.x0 + x;
            event.y = window->marginTop() + window->height() - (r.y0 + y);
            ui.dispatch(event);
        }
    }
    // Queues `step` among the injected events, to run on the window's thread in its turn (the
    // modal loops of menus and dialogs pick it up like any event of the main window).
    void injectStep(std::function<void()> step)
    {
        auto* record = new Invocation;
        record->work = [step = std::move(step)] {
            step();
            return int64_t(0);
        };
        backend.inject(Message{window->id(), msg::WM_INVOKE, 0, reinterpret_cast<int64_t>(record)});
    }
    // Injects a pointer message at a content point of another window (x from its left, y up
    // from its bottom).
    void injectPointer(const LayeredWindow& target, uint32_t message, int32_t x, int32_t y)
    {
        Message event{target.id(), message};
        event.x = target.marginLeft() + x;
        event.y = target.marginTop() + target.height() - y;
        backend.inject(event);
    }
};

} // namespace tonvane::test
