#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tonvane {

// The window program's one thread for slow drive work: the arrival check (up to 4 opens a
// second apart and 44 s of spin-up), the track list of a disc, the TOC of a lookup. Jobs run in
// the order given and post their own results to the window's thread, which never waits on a
// drive. stop() cuts the check's pauses short, drops queued jobs and joins the thread.
class DriveWorker {
public:
    DriveWorker() = default;
    ~DriveWorker() { stop(); }
    DriveWorker(const DriveWorker&) = delete;
    DriveWorker& operator=(const DriveWorker&) = delete;

    // Queues a job (the thread starts with the first); false once stopped.
    bool run(std::function<void()> job);
    void stop();
    // A pause of a job: up to ms, at once when stopping. [ms]
    void sleep(uint32_t ms);

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopped = false;
    std::thread m_thread;
};

} // namespace tonvane
