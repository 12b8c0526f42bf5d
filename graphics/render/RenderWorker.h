#pragma once
#include "core/foundation/Event.h"
#include "core/foundation/Thread.h"

#include <atomic>
#include <cstdint>

namespace tonvane {

class DisplayList;

// One thread of the render pool. For each job it replays bands index, index + stride, ... of
// one display list (the rows of each band are the list's), then signals done.
// Each worker keeps to its own processor (worker i on the i-th one this program may use). Left to
// the scheduler, two workers woken at once often landed on the same idle processor (a quarter of
// the frames in one measurement on two processors), and the second waited there for the first to
// finish: a two-band render then took twice as long as one band. With both processors busy
// (encoders) the pinned pool still rendered two bands faster than one; unpinned it did not.
class RenderWorker {
public:
    explicit RenderWorker(unsigned index) : m_index(index) {}
    ~RenderWorker() { stop(); }
    RenderWorker(const RenderWorker&) = delete;
    RenderWorker& operator=(const RenderWorker&) = delete;

    bool startThread();
    // Sets quit, wakes the worker and joins it.
    void stop();
    bool running() const { return m_thread.joinable(); }
    // The processor the worker keeps to; kNoProcessor when it runs anywhere.
    int processor() const { return m_processor.load(std::memory_order_relaxed); }

    // Hands over a job: written before start, read by the worker after it.
    void assign(const DisplayList* list, unsigned bands, unsigned stride)
    {
        m_list = list;
        m_bands = bands;
        m_stride = stride;
    }
    void start() { m_start.set(); }
    void waitDone() { m_done.wait(); }
    // For a worker that should be about done: once the first has finished, its processor is
    // free, so the caller watches the next done event briefly instead of paying for a wake-up;
    // but never on the processor this worker keeps to, where watching would hold it up.
    void waitDoneSpinning()
    {
        if (currentProcessor() == processor())
            m_done.wait();
        else
            m_done.spinThenWait(kJoinSpinNs);
    }

private:
    static constexpr uint64_t kJoinSpinNs = 50000; // [ns]
    static void* workerMain(void* self);

    unsigned m_index;
    std::atomic<int> m_processor{kNoProcessor}; // chosen before the thread starts
    const DisplayList* m_list = nullptr;
    unsigned m_bands = 0;
    unsigned m_stride = 1;
    Event m_start;
    Event m_done;
    std::atomic<bool> m_quit{false};
    Thread m_thread;
};

} // namespace tonvane
