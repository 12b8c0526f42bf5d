#pragma once
#include "app/window/Ticker.h"
#include "net/update/UpdateChecker.h"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace tonvane {

class LayeredWindow;
class StatusBar;
class UiThread;
class UpdateDialog;

// The update check's side of the main window: its texts in the status bar's left pane, the
// download dialog, the close request. The checker calls it from its delayed thread as well as
// from the window's thread (menu command); everything happens on the window's thread. A
// request from another thread is posted, never sent: the thread waits for the dialog's answer
// or for shutDown, so that a teardown that joins it never waits on a thread that waits on it.
class WindowUpdateUi final : public UpdateUi {
public:
    WindowUpdateUi(LayeredWindow& window, StatusBar& status);
    ~WindowUpdateUi();
    WindowUpdateUi(const WindowUpdateUi&) = delete;
    WindowUpdateUi& operator=(const WindowUpdateUi&) = delete;

    void showStatus(TextId text) override;
    void clearStatus() override;
    // Clears the text shown now after the delay, unless another text replaced it meanwhile.
    void clearStatusAfter(uint32_t milliseconds) override;
    int runDownloadDialog(const WideString& version, const WideString& url, UpdateDownload& download) override;
    void closeMainWindow() override;

    // On the window's thread, before the checker is stopped: an open dialog ends its download
    // and closes, a waiting dialog request is answered with Cancel, the delayed clear stops,
    // and nothing is shown or posted any more.
    void shutDown();
    // The dialog on screen, or null (window's thread).
    UpdateDialog* openDialog() const { return m_dialog; }

private:
    struct DialogRequest {
        bool answered = false; // under m_mutex
        int result = 0;
    };

    bool isShutDown();
    // Runs step on the window's thread: at once when called there, else posted.
    void onWindowThread(std::function<void()> step);
    int runDialogHere(const WideString& version, UpdateDownload& download);

    LayeredWindow& m_window;
    UiThread& m_ui;
    WindowId m_windowId;
    StatusBar& m_status;
    Ticker m_clearTimer; // one tick: the delayed clear
    UpdateDialog* m_dialog = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_answered;
    bool m_shutDown = false; // under m_mutex
    std::shared_ptr<WindowUpdateUi*> m_alive;
};

} // namespace tonvane
