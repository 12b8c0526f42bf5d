#include "app/window/WindowUpdateUi.h"

#include "app/window/StatusBar.h"
#include "app/window/UpdateDialog.h"
#include "windowing/loop/UiThread.h"
#include "windowing/window/LayeredWindow.h"

namespace tonvane {

namespace {
constexpr int32_t kStatusPane = 0; // the left pane
}

WindowUpdateUi::WindowUpdateUi(LayeredWindow& window, StatusBar& status)
    : m_window(window), m_ui(window.ui()), m_windowId(window.id()), m_status(status),
      m_alive(std::make_shared<WindowUpdateUi*>(this))
{
}

WindowUpdateUi::~WindowUpdateUi()
{
    shutDown();
    m_alive.reset();
}

bool WindowUpdateUi::isShutDown()
{
    std::lock_guard hold(m_mutex);
    return m_shutDown;
}

void WindowUpdateUi::onWindowThread(std::function<void()> step)
{
    if (m_ui.onThisThread()) {
        if (!isShutDown())
            step();
        return;
    }
    std::weak_ptr<WindowUpdateUi*> alive = m_alive;
    m_ui.post(m_windowId, [alive, step = std::move(step)] {
        if (auto self = alive.lock(); self && !(*self)->isShutDown())
            step();
    });
}

void WindowUpdateUi::showStatus(TextId text)
{
    onWindowThread([this, text] {
        m_clearTimer.stop();
        m_status.say(kStatusPane, StatusOwner::UpdateCheck, Caption::text(text));
    });
}

void WindowUpdateUi::clearStatus()
{
    onWindowThread([this] {
        m_clearTimer.stop();
        m_status.clear(kStatusPane, StatusOwner::UpdateCheck);
    });
}

void WindowUpdateUi::clearStatusAfter(uint32_t milliseconds)
{
    onWindowThread([this, milliseconds] {
        m_clearTimer.stop();
        std::u16string shown = m_status.paneText(kStatusPane);
        m_clearTimer.start(m_ui, m_windowId, milliseconds, [this, shown] {
            m_clearTimer.stop(); // once
            m_status.clear(kStatusPane, StatusOwner::UpdateCheck, &shown);
        });
    });
}

void WindowUpdateUi::closeMainWindow()
{
    if (!isShutDown())
        m_ui.postMessage(Message{m_windowId, msg::WM_CLOSE});
}

int WindowUpdateUi::runDownloadDialog(const WideString& version, const WideString&, UpdateDownload& download)
{
    if (m_ui.onThisThread())
        return runDialogHere(version, download);

    auto request = std::make_shared<DialogRequest>();
    if (isShutDown())
        return UpdateDialog::kCancelled;
    std::weak_ptr<WindowUpdateUi*> alive = m_alive;
    // version and download live on this thread's stack: the step reads them only while this
    // thread still waits (not shut down), and the dialog lets go of download in shutDown.
    bool posted = m_ui.post(m_windowId, [alive, request, &version, &download] {
        auto self = alive.lock();
        if (!self)
            return;
        WindowUpdateUi& ui = **self;
        int result = ui.runDialogHere(version, download);
        std::lock_guard hold(ui.m_mutex);
        request->answered = true;
        request->result = result;
        ui.m_answered.notify_all();
    });
    if (!posted)
        return UpdateDialog::kCancelled;
    std::unique_lock hold(m_mutex);
    m_answered.wait(hold, [&] { return request->answered || m_shutDown; });
    return request->answered ? request->result : UpdateDialog::kCancelled;
}

int WindowUpdateUi::runDialogHere(const WideString& version, UpdateDownload& download)
{
    if (isShutDown() || m_window.id() == kNoWindow)
        return UpdateDialog::kCancelled;
    UpdateDialog dialog(m_window, version, download);
    m_dialog = &dialog;
    dialog.run();
    m_dialog = nullptr;
    return dialog.result;
}

void WindowUpdateUi::shutDown()
{
    if (m_dialog != nullptr)
        m_dialog->abandon();
    m_clearTimer.stop();
    std::lock_guard hold(m_mutex);
    m_shutDown = true;
    m_answered.notify_all();
}

} // namespace tonvane
