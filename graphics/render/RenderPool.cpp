#include "graphics/render/RenderPool.h"

#include "core/foundation/Clock.h"

#include <algorithm>

namespace tonvane {

RenderPool& RenderPool::shared()
{
    static RenderPool pool(processorCount());
    return pool;
}

RenderPool::RenderPool(unsigned workers)
{
    if (workers < 2)
        return;
    for (unsigned i = 0; i < workers; ++i) {
        auto worker = std::make_unique<RenderWorker>(i);
        if (!worker->startThread()) {
            // Without all its workers the pool renders on the calling thread.
            m_workers.clear();
            return;
        }
        m_workers.push_back(std::move(worker));
    }
}

RenderPool::~RenderPool()
{
    m_workers.clear(); // each worker stops and is joined
}

int RenderPool::processorOf(unsigned band) const
{
    if (m_workers.empty())
        return kNoProcessor;
    return m_workers[band % m_workers.size()]->processor();
}

void RenderPool::run(const DisplayList& list, unsigned bands)
{
    std::lock_guard<std::mutex> hold(m_lock);
    unsigned used = std::min<unsigned>(bands, size());
    for (unsigned i = 0; i < used; ++i)
        m_workers[i]->assign(&list, bands, used);
    // The worker that keeps to this thread's processor starts last: woken first, it could take
    // the processor before the others are started.
    int here = currentProcessor();
    for (unsigned i = 0; i < used; ++i)
        if (m_workers[i]->processor() != here)
            m_workers[i]->start();
    for (unsigned i = 0; i < used; ++i)
        if (m_workers[i]->processor() == here)
            m_workers[i]->start();
    m_workers[0]->waitDone();
    for (unsigned i = 1; i < used; ++i)
        m_workers[i]->waitDoneSpinning();
}

} // namespace tonvane
