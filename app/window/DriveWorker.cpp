#include "app/window/DriveWorker.h"

#include "core/foundation/Thread.h"

#include <chrono>

namespace tonvane {

bool DriveWorker::run(std::function<void()> job)
{
    std::lock_guard lock(m_mutex);
    if (m_stopped)
        return false;
    m_jobs.push_back(std::move(job));
    if (!m_thread.joinable())
        m_thread = std::thread([this] { loop(); });
    m_wake.notify_all();
    return true;
}

void DriveWorker::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void DriveWorker::sleep(uint32_t ms)
{
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopped; });
}

void DriveWorker::loop()
{
    nameThisThread("drives");
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopped || !m_jobs.empty(); });
            if (m_stopped)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

} // namespace tonvane
