#pragma once
#include "windowing/loop/PostedQueue.h"
#include "windowing/message/Message.h"
#include "windowing/window/CaptureRoute.h"

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <thread>

namespace tonvane {

class AnimationClock;
class LayeredWindow;
class WindowBackend;

// The user-interface thread's side of the toolkit: its windows by id, the messages posted to it,
// the capture route, and the main and modal loops. Constructed on that thread; post, send and
// postMessage may be called from any thread while it exists.
class UiThread {
public:
    explicit UiThread(WindowBackend& backend);
    // Abandons what is still queued: waiting senders are told their routine did not run.
    ~UiThread();
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    WindowBackend& backend() { return m_backend; }
    CaptureRoute& captureRoute() { return m_capture; }
    AnimationClock& clock() { return *m_clock; }
    void setClock(AnimationClock& clock) { m_clock = &clock; }
    bool onThisThread() const { return std::this_thread::get_id() == m_thread; }

    void attach(WindowId id, LayeredWindow& window);
    void detach(WindowId id);
    LayeredWindow* window(WindowId id) const;

    // Any thread. False when the loop has ended for good.
    bool postMessage(const Message& message);
    // Runs work on this thread through the invoke message; returns at once.
    bool post(WindowId window, std::function<void()> work);
    // Runs work on this thread and waits for its result. Refused (nullopt) on this thread itself,
    // where waiting would never end, and when the routine can no longer run.
    std::optional<int64_t> send(WindowId window, std::function<int64_t()> work);
    // Runs work on this thread once the animation clock reaches dueNs; a later call for the same
    // owner replaces the earlier one. This thread only: timed steps of widgets (a caret's blink)
    // without threads of their own.
    void schedule(const void* owner, uint64_t dueNs, std::function<void()> work);
    void cancelScheduled(const void* owner);
    bool scheduled(const void* owner) const { return m_scheduled.count(owner) != 0; }
    // Ends the innermost loop running (WM_QUIT with code as wParam), after the queued messages.
    void postQuit(int64_t code);

    // A message that is ready, without waiting and without taking a pending quit.
    bool peekMessage(Message& out) { return takeReady(out); }
    bool quitPending() const { return m_quitPosted.load(); }
    // The next message; false for WM_QUIT (out.wParam its code). Sleeps in poll() until one comes.
    bool getMessage(Message& out);
    // To the window's dispatcher; client pointer messages outside a capture first go through the
    // window's hit test and become non-client messages on the frame.
    void dispatch(const Message& message);
    // Until WM_QUIT, or until `main` (when given) is destroyed; answers the quit code.
    int64_t runMainLoop(LayeredWindow* main = nullptr);
    // Runs dialog until its WM_CLOSE has been dispatched; then destroys it. Answers the wParam of
    // the last message.
    int64_t runModal(LayeredWindow& dialog);
    LayeredWindow* modalWindow() const { return m_modal; }

private:
    bool takeReady(Message& out);
    void waitForEvents();
    // Runs the scheduled work that is due; true when some ran.
    bool runDueWork();
    // [milliseconds] until the earliest scheduled work is due; -1: none.
    int msUntilScheduled();
    Message translatePointer(LayeredWindow& window, const Message& message);

    WindowBackend& m_backend;
    CaptureRoute m_capture;
    AnimationClock* m_clock;
    std::thread::id m_thread;
    std::map<WindowId, LayeredWindow*> m_windows;
    PostedQueue m_posted;
    std::atomic<bool> m_quitPosted{false};
    std::atomic<int64_t> m_quitCode{0};
    LayeredWindow* m_modal = nullptr;
    struct ScheduledWork {
        uint64_t dueNs = 0;
        std::function<void()> work;
    };
    std::map<const void*, ScheduledWork> m_scheduled;
};

} // namespace tonvane
