#include "graphics/render/RenderWorker.h"

#include "graphics/displaylist/DisplayList.h"

namespace tonvane {

bool RenderWorker::startThread()
{
    if (m_thread.joinable())
        return true;
    m_quit.store(false, std::memory_order_relaxed);
    m_processor.store(allowedProcessor(m_index), std::memory_order_relaxed);
    // Default stack: the replay's scratch lives on the stack and sanitizers need room.
    return tonvane::startThread(m_thread, &RenderWorker::workerMain, this) == kSuccess;
}

void RenderWorker::stop()
{
    if (!m_thread.joinable())
        return;
    m_quit.store(true, std::memory_order_release);
    m_start.set();
    m_done.wait();
    m_thread.join();
}

void* RenderWorker::workerMain(void* self)
{
    auto* worker = static_cast<RenderWorker*>(self);
    nameThisThread("render");
    // A refusal (a processor taken away meanwhile) leaves the worker free to run anywhere.
    if (!pinThisThread(worker->processor()))
        worker->m_processor.store(kNoProcessor, std::memory_order_relaxed);
    for (;;) {
        worker->m_start.wait();
        if (worker->m_quit.load(std::memory_order_acquire)) {
            worker->m_done.set();
            return nullptr;
        }
        for (unsigned band = worker->m_index; band < worker->m_bands; band += worker->m_stride)
            worker->m_list->replayAssignedBand(band);
        worker->m_done.set();
    }
}

} // namespace tonvane
