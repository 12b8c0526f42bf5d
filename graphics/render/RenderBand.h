#pragma once
#include "core/foundation/Event.h"
#include "core/foundation/Thread.h"

#include <atomic>
#include <cstdint>

namespace tonvane {

class DisplayList;

// One horizontal band of a render: its rows, its start and done events and, when the list has
// two or more bands, its worker thread. The worker waits for start, replays the list over the
// band's rows (or ends when told to quit) and signals done.
// Each worker keeps to its own processor (band i on the i-th one this program may use). Left to
// the scheduler, two workers woken at once often landed on the same idle processor (a quarter of
// the frames in one measurement on two processors), and the second waited there for the first to
// finish: a two-band render then took twice as long as one band.
class RenderBand {
public:
    RenderBand(const DisplayList& list, unsigned index) : m_list(list), m_index(index) {}
    ~RenderBand() { stopWorker(); }
    RenderBand(const RenderBand&) = delete;
    RenderBand& operator=(const RenderBand&) = delete;

    bool startWorker();
    // Sets quit, wakes the worker and joins it.
    void stopWorker();
    bool hasWorker() const { return m_worker.joinable(); }
    // The processor the worker keeps to; kNoProcessor when it has none or runs anywhere.
    int processor() const { return m_processor.load(std::memory_order_relaxed); }

    void assign(int32_t first, int32_t end)
    {
        m_first = first;
        m_end = end;
    }
    int32_t first() const { return m_first; }
    int32_t end() const { return m_end; }

    void start() { m_start.set(); }
    void waitDone() { m_done.wait(); }
    // For a band that should be about done: once the first band has finished, its processor is
    // free, so the caller watches the next done event briefly instead of paying for a wake-up;
    // but never on the processor this band's worker keeps to, where watching would hold it up.
    void waitDoneSpinning()
    {
        if (currentProcessor() == processor())
            m_done.wait();
        else
            m_done.spinThenWait(kJoinSpinNs);
    }
    void replayHere() const;

private:
    static constexpr uint64_t kJoinSpinNs = 50000; // [ns]
    static void* workerMain(void* self);

    const DisplayList& m_list;
    unsigned m_index;
    std::atomic<int> m_processor{kNoProcessor}; // chosen before the worker starts
    int32_t m_first = 0; // written before start is set, read by the worker after it
    int32_t m_end = 0;
    Event m_start;
    Event m_done;
    std::atomic<bool> m_quit{false};
    Thread m_worker;
};

} // namespace tonvane
