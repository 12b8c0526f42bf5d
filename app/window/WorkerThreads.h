#pragma once
#include "core/foundation/Thread.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace tonvane {

// Blocking work of a page (a lookup, a cover fetch) each on a thread of its own, so that the
// window's thread never waits for a server. Work reaches the page only by posting to the window's
// thread; a newer task does not wait for an older one, whose result the page then drops. Ended
// threads are joined as new ones start; the destructor joins the rest, so no thread outlives
// its owner.
class WorkerThreads {
public:
    WorkerThreads() = default;
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Runs work on a new thread; when none can start, here.
    void run(std::function<void()> work);
    // Threads started and not yet joined.
    size_t unjoined() const { return m_tasks.size(); }

private:
    struct Task {
        std::function<void()> work;
        std::atomic<bool> ended{false};
        Thread thread;
    };
    static void* runTask(void* task);
    void joinEnded();

    std::vector<std::unique_ptr<Task>> m_tasks;
};

} // namespace tonvane
