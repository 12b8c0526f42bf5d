#include "windowing/loop/UiThread.h"

#include "windowing/animation/AnimationClock.h"
#include "windowing/backend/WindowBackend.h"
#include "windowing/loop/Invocation.h"
#include "windowing/window/LayeredWindow.h"

#include <algorithm>
#include <cstdint>
#include <poll.h>

namespace tonvane {

UiThread::UiThread(WindowBackend& backend)
    : m_backend(backend), m_capture(backend), m_clock(&AnimationClock::system()), m_thread(std::this_thread::get_id())
{
}

UiThread::~UiThread()
{
    for (const Message& message : m_posted.close())
        if (message.message == msg::WM_INVOKE)
            Invocation::abandon(message.lParam);
}

void UiThread::attach(WindowId id, LayeredWindow& window)
{
    m_windows[id] = &window;
}

void UiThread::detach(WindowId id)
{
    m_windows.erase(id);
    if (m_capture.window() == id)
        m_capture.clear();
}

LayeredWindow* UiThread::window(WindowId id) const
{
    auto found = m_windows.find(id);
    return found == m_windows.end() ? nullptr : found->second;
}

bool UiThread::postMessage(const Message& message)
{
    return m_posted.post(message);
}

bool UiThread::post(WindowId window, std::function<void()> work)
{
    auto* record = new Invocation;
    record->work = [work = std::move(work)]() -> int64_t {
        work();
        return 0;
    };
    if (postMessage({window, msg::WM_INVOKE, 0, reinterpret_cast<int64_t>(record)}))
        return true;
    Invocation::abandon(reinterpret_cast<int64_t>(record));
    return false;
}

std::optional<int64_t> UiThread::send(WindowId window, std::function<int64_t()> work)
{
    if (onThisThread())
        return std::nullopt;
    auto* record = new Invocation;
    record->work = std::move(work);
    record->reply.emplace();
    std::future<std::optional<int64_t>> reply = record->reply->get_future();
    if (!postMessage({window, msg::WM_INVOKE, 0, reinterpret_cast<int64_t>(record)})) {
        Invocation::abandon(reinterpret_cast<int64_t>(record));
        return std::nullopt;
    }
    return reply.get();
}

void UiThread::postQuit(int64_t code)
{
    m_quitCode.store(code);
    m_quitPosted.store(true);
    m_posted.post({kNoWindow, 0}); // wakes a poll() on another thread's behalf
}

bool UiThread::takeReady(Message& out)
{
    while (m_posted.take(out))
        if (out.message != 0) // wake-ups of postQuit carry nothing
            return true;
    return m_backend.nextEvent(out);
}

void UiThread::waitForEvents()
{
    m_backend.flush();
    pollfd fds[3];
    nfds_t count = 0;
    for (int fd : {m_posted.wakeFd(), m_backend.eventFd(), m_backend.wakeFd()})
        if (fd >= 0)
            fds[count++] = {fd, POLLIN, 0};
    int limit = m_backend.waitLimitMs();
    int scheduled = msUntilScheduled();
    if (scheduled >= 0)
        limit = limit < 0 ? scheduled : std::min(limit, scheduled);
    poll(fds, count, limit); // EINTR: the caller looks again
}

void UiThread::schedule(const void* owner, uint64_t dueNs, std::function<void()> work)
{
    m_scheduled[owner] = {dueNs, std::move(work)};
}

void UiThread::cancelScheduled(const void* owner)
{
    m_scheduled.erase(owner);
}

bool UiThread::runDueWork()
{
    bool ran = false;
    uint64_t now = m_clock->nowNs();
    for (auto it = m_scheduled.begin(); it != m_scheduled.end();) {
        if (it->second.dueNs > now) {
            ++it;
            continue;
        }
        // Taken out before it runs: the work may schedule its owner again, or others.
        std::function<void()> work = std::move(it->second.work);
        m_scheduled.erase(it);
        work();
        ran = true;
        it = m_scheduled.begin();
    }
    return ran;
}

int UiThread::msUntilScheduled()
{
    if (m_scheduled.empty())
        return -1;
    uint64_t now = m_clock->nowNs();
    uint64_t earliest = UINT64_MAX;
    for (auto& [owner, entry] : m_scheduled)
        earliest = std::min(earliest, entry.dueNs);
    if (earliest <= now)
        return 0;
    constexpr uint64_t kNsPerMs = 1000000;
    return static_cast<int>(std::min<uint64_t>((earliest - now + kNsPerMs - 1) / kNsPerMs, 60000));
}

bool UiThread::getMessage(Message& out)
{
    for (;;) {
        runDueWork();
        if (takeReady(out))
            return true;
        if (m_quitPosted.exchange(false)) {
            out = {kNoWindow, msg::WM_QUIT, static_cast<uint64_t>(m_quitCode.load())};
            return false;
        }
        waitForEvents();
    }
}

Message UiThread::translatePointer(LayeredWindow& window, const Message& message)
{
    // The window system gives X11 windows no frame: pointer events over our own caption, caption
    // buttons and borders become the non-client messages they would be on a framed window.
    bool translatable = message.message >= msg::WM_MOUSEMOVE && message.message <= msg::WM_MBUTTONDBLCLK;
    // The owner of the route sees the window's pointer events as they are, frame or not.
    if (!translatable || m_capture.window() == message.window)
        return message;
    ScreenRect rect = window.windowRect();
    Message hit{message.window, msg::WM_NCHITTEST};
    hit.x = rect.x + message.x;
    hit.y = rect.y + message.y;
    auto code = static_cast<int32_t>(window.handle(hit));
    if (code == ht::HTCLIENT || code == ht::HTNOWHERE)
        return message;
    Message nonClient = hit;
    nonClient.message = message.message - msg::kClientToNonClient;
    nonClient.wParam = static_cast<uint64_t>(code);
    return nonClient;
}

void UiThread::dispatch(const Message& message)
{
    LayeredWindow* target = window(message.window);
    if (target == nullptr) {
        if (message.message == msg::WM_INVOKE)
            Invocation::abandon(message.lParam);
        return;
    }
    target->handle(translatePointer(*target, message));
}

int64_t UiThread::runMainLoop(LayeredWindow* main)
{
    Message message;
    while (getMessage(message)) {
        dispatch(message);
        // A quit taken by a modal loop is not posted again: the loop also ends once its window
        // is gone, instead of waiting for a quit that never comes.
        if (main != nullptr && main->id() == kNoWindow)
            return 0;
    }
    return static_cast<int64_t>(message.wParam);
}

int64_t UiThread::runModal(LayeredWindow& dialog)
{
    WindowId modalId = dialog.id();
    if (modalId == kNoWindow)
        return 0;
    // A dialog opened without a click (by a worker's request) would find the mouse still held by
    // a hovered or pressed control of another window: its events would go there and the window
    // system's pointer, when grabbed, would never reach the dialog. A popup that took the pointer
    // for itself before its loop keeps it.
    if (m_capture.window() != modalId)
        m_capture.clear();
    m_backend.activate(modalId);
    LayeredWindow* previous = m_modal;
    m_modal = &dialog;
    Message message;
    while (getMessage(message)) {
        if (message.window != modalId) {
            if (isClientMouse(message.message) || isNonClientMouse(message.message))
                continue;
            if (isKeyboard(message.message))
                message.window = modalId;
        }
        bool closing = message.window == modalId && message.message == msg::WM_CLOSE;
        dispatch(message);
        if (closing || dialog.id() == kNoWindow)
            break;
    }
    m_modal = previous;
    dialog.destroy();
    return static_cast<int64_t>(message.wParam);
}

} // namespace tonvane
