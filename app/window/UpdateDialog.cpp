#include "app/window/UpdateDialog.h"

#include "controls/theme/StyleBits.h"
#include "core/language/Language.h"
#include "windowing/loop/UiThread.h"

namespace tonvane {

namespace {
constexpr uint32_t kShown = style::kVisible;
constexpr int32_t kButtonWidth = 100; // [pixels]
constexpr int32_t kButtonHeight = 25; // [pixels]
constexpr int32_t kButtonBottom = 20; // [pixels]
constexpr int32_t kSideMargin = 24; // [pixels] left and right of the bar and the label
constexpr int32_t kBarBottom = 89; // [pixels]
constexpr int32_t kBarHeight = 18; // [pixels]
constexpr int32_t kLabelBottom = 111; // [pixels]
constexpr int32_t kLabelHeight = 16; // [pixels] one line
} // namespace

UpdateDialog::UpdateDialog(LayeredWindow& owner, const WideString& version, UpdateDownload& download)
    : DialogWindow(owner, std::u16string(uiText(kTextDownloadCaption).view())), m_download(&download),
      m_alive(std::make_shared<UpdateDialog*>(this))
{
    m_ok.setCaption(Caption::text(kTextOk));
    m_ok.setOnClick([this] { startDownload(); });
    m_ok.create(0, 0, kButtonWidth, kButtonHeight, kShown);
    m_cancel.setCaption(Caption::text(kTextCancel));
    m_cancel.setOnClick([this] { cancel(); });
    m_cancel.create(0, 0, kButtonWidth, kButtonHeight, kShown);
    m_progress.create(0, 0, 0, 0, kShown);
    m_label.setCaption(Caption::of(fillPlaceholders(uiText(kTextUpgradeQuestion).view(), {version.view()})));
    m_label.create(0, 0, 0, 0, kShown);
}

UpdateDialog::~UpdateDialog()
{
    stopDownload();
    m_alive.reset(); // steps still queued find nobody
}

void UpdateDialog::placeWidgets(int32_t w, int32_t)
{
    m_ok.setRect(w / 2 - 116, kButtonBottom, kButtonWidth, kButtonHeight);
    m_cancel.setRect(w / 2 + 16, kButtonBottom, kButtonWidth, kButtonHeight);
    m_progress.setRect(kSideMargin, kBarBottom, std::max(0, w - 2 * kSideMargin), kBarHeight);
    m_label.setRect(kSideMargin, kLabelBottom, std::max(0, w - 2 * kSideMargin), kLabelHeight);
}

// OK: the file is created and filled by the download's thread; OK is done with.
void UpdateDialog::startDownload()
{
    if (m_state != State::Offered || m_download == nullptr)
        return;
    m_windowId = dialogWindow().id();
    m_label.setCaption(Caption::text(kTextDownloading));
    m_ok.setEnabled(false);
    if (m_ok.hasFocus())
        m_cancel.takeFocus();
    // A thread that cannot start leaves the dialog open with OK disabled: Cancel closes it.
    m_state = m_download->start(this) ? State::Downloading : State::Ended;
    if (m_state == State::Ended)
        m_label.setCaption(Caption::text(kTextDownloadFailed));
}

void UpdateDialog::cancel()
{
    result = kCancelled;
    stopDownload();
    close();
}

void UpdateDialog::abandon()
{
    stopDownload();
    m_download = nullptr;
    result = kCancelled;
    close();
}

// After this nothing more is posted, and the download's thread has ended.
void UpdateDialog::stopDownload()
{
    {
        std::lock_guard hold(m_postLock);
        m_stopPosting = true;
    }
    if (m_state == State::Downloading && m_download != nullptr)
        m_download->cancel();
    if (m_state != State::Finished)
        m_state = State::Stopped;
}

void UpdateDialog::stopWorkers()
{
    if (m_state == State::Downloading) {
        result = kCancelled;
        stopDownload();
    }
    DialogWindow::stopWorkers();
}

void UpdateDialog::postToDialog(std::function<void(UpdateDialog&)> step)
{
    std::lock_guard hold(m_postLock);
    if (m_stopPosting)
        return;
    std::weak_ptr<UpdateDialog*> alive = m_alive;
    dialogWindow().ui().post(m_windowId, [alive, step = std::move(step)] {
        if (auto self = alive.lock())
            step(**self);
    });
}

void UpdateDialog::onDownloadLength(uint64_t length)
{
    m_length = length;
    if (!m_progressPending.exchange(true))
        postToDialog([](UpdateDialog& dialog) { dialog.showProgress(); });
}

void UpdateDialog::onDownloadProgress(uint64_t received)
{
    m_received = received;
    if (!m_progressPending.exchange(true))
        postToDialog([](UpdateDialog& dialog) { dialog.showProgress(); });
}

void UpdateDialog::onDownloadEnded(bool complete)
{
    postToDialog([complete](UpdateDialog& dialog) { dialog.downloadEnded(complete); });
}

// Many reports may arrive between two steps: the step shows the latest.
void UpdateDialog::showProgress()
{
    m_progressPending = false;
    m_progress.setRange(m_length);
    m_progress.setValue(m_received); // repaints only when the value moved
}

void UpdateDialog::downloadEnded(bool complete)
{
    if (m_state != State::Downloading)
        return;
    showProgress();
    m_download->wait(); // its last act was this post
    m_state = complete ? State::Finished : State::Ended;
    if (complete) {
        result = kFinished;
        close();
        return;
    }
    m_label.setCaption(Caption::text(kTextDownloadFailed)); // not "Downloading..." any more
}

} // namespace tonvane
