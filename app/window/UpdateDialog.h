#pragma once
#include "app/window/DialogWindow.h"
#include "controls/button/PushButton.h"
#include "controls/label/Label.h"
#include "controls/progress/ProgressBar.h"
#include "core/foundation/WideString.h"
#include "net/update/UpdateDownload.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace tonvane {

// The offer of a newer version and its download: "Do you want to upgrade to version %s?", OK,
// Cancel, a progress bar and a one-line label. OK starts the download's thread, which writes the
// file while its progress reaches the bar through this dialog's thread; the dialog closes itself
// with result 0 once every byte arrived. Cancel, the caption's close button or any other close
// before that gives 2 and ends the download first: the download thread is always joined before
// the dialog goes, and posts nothing once it was told to stop.
class UpdateDialog final : public DialogWindow, private DownloadProgress {
public:
    static constexpr int32_t kFinished = 0;
    static constexpr int32_t kCancelled = 2;

    enum class State {
        Offered, // OK not pressed yet
        Downloading, // the download thread runs
        Ended, // it ended without the whole file (time-out, refused): only Cancel is left
        Finished, // every byte arrived; closing with 0
        Stopped, // cancelled or let go: the download is no longer touched
    };

    UpdateDialog(LayeredWindow& owner, const WideString& version, UpdateDownload& download);
    ~UpdateDialog() override;

    int32_t result = kCancelled; // 0 only after a complete download
    State state() const { return m_state; }

    // For the owner's teardown while the dialog is up: ends the download, lets go of it (it may
    // be destroyed once this returns) and closes the dialog with 2.
    void abandon();

    PushButton& okButton() { return m_ok; }
    PushButton& cancelButton() { return m_cancel; }
    ProgressBar& progressBar() { return m_progress; }
    Label& label() { return m_label; }

protected:
    void placeWidgets(int32_t width, int32_t height) override;
    // The window is being destroyed: a running download is cancelled and joined.
    void stopWorkers() override;

private:
    void startDownload();
    void cancel();
    void stopDownload();
    void showProgress();
    void downloadEnded(bool complete);
    // Runs step on the dialog's thread unless the download was told to stop. Any thread.
    void postToDialog(std::function<void(UpdateDialog&)> step);

    // DownloadProgress, on the download's threads.
    void onDownloadLength(uint64_t length) override;
    void onDownloadProgress(uint64_t received) override;
    void onDownloadEnded(bool complete) override;

    UpdateDownload* m_download; // null once let go
    State m_state = State::Offered;
    WindowId m_windowId = kNoWindow; // where the download's threads post
    PushButton m_ok{&panel()};
    PushButton m_cancel{&panel()};
    ProgressBar m_progress{&panel()};
    Label m_label{&panel()};

    std::mutex m_postLock; // a post and the stop are never interleaved
    bool m_stopPosting = false; // under m_postLock
    std::atomic<uint64_t> m_length{0}; // [bytes] announced
    std::atomic<uint64_t> m_received{0}; // [bytes]
    std::atomic<bool> m_progressPending{false}; // one progress step in the queue at a time
    std::shared_ptr<UpdateDialog*> m_alive;
};

} // namespace tonvane
