#pragma once
#include "session/SessionObserver.h"
#include "core/foundation/Event.h"

#include <chrono>
#include <mutex>
#include <vector>

namespace tonvane {

// A session's events kept for one thread to run: deliver() is the session's deliver function,
// the owner's thread calls waitFor and drain. For front ends without a window thread (the
// command line, tests).
class SessionEventQueue {
public:
    SessionDeliver deliver()
    {
        return [this](std::function<void()> work) {
            {
                std::lock_guard lock(m_mutex);
                m_work.push_back(std::move(work));
            }
            m_ready.set();
        };
    }
    // True when work came within ms.
    bool waitFor(uint32_t ms) { return m_ready.waitFor(std::chrono::milliseconds(ms)); }
    // Runs what has come, in order, on the calling thread.
    void drain()
    {
        std::vector<std::function<void()>> work;
        {
            std::lock_guard lock(m_mutex);
            work.swap(m_work);
        }
        for (std::function<void()>& item : work)
            item();
    }

private:
    std::mutex m_mutex;
    std::vector<std::function<void()>> m_work;
    Event m_ready;
};

} // namespace tonvane
