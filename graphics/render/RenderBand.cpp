#include "graphics/render/RenderBand.h"

#include "graphics/displaylist/DisplayList.h"

namespace tonvane {

bool RenderBand::startWorker()
{
    if (m_worker.joinable())
        return true;
    m_quit.store(false, std::memory_order_relaxed);
    m_processor.store(allowedProcessor(m_index), std::memory_order_relaxed);
    // Default stack: the replay's scratch lives on the stack and sanitizers need room.
    return startThread(m_worker, &RenderBand::workerMain, this) == kSuccess;
}

void RenderBand::stopWorker()
{
    if (!m_worker.joinable())
        return;
    m_quit.store(true, std::memory_order_release);
    m_start.set();
    m_done.wait();
    m_worker.join();
}

void RenderBand::replayHere() const
{
    m_list.replayBand(m_index, m_first, m_end);
}

void* RenderBand::workerMain(void* self)
{
    auto* band = static_cast<RenderBand*>(self);
    // A refusal (a processor taken away meanwhile) leaves the worker free to run anywhere.
    if (!pinThisThread(band->processor()))
        band->m_processor.store(kNoProcessor, std::memory_order_relaxed);
    for (;;) {
        band->m_start.wait();
        if (band->m_quit.load(std::memory_order_acquire)) {
            band->m_done.set();
            return nullptr;
        }
        band->replayHere();
        band->m_done.set();
    }
}

} // namespace tonvane
