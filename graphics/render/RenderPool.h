#pragma once
#include "graphics/render/RenderWorker.h"

#include <memory>
#include <mutex>
#include <vector>

namespace tonvane {

class DisplayList;

// The process's render threads: one worker per processor the process may use, shared by every
// surface (windows, menus, dialogs, animation snapshots), one render at a time. With a single
// processor there are no workers and lists replay on the calling thread.
class RenderPool {
public:
    // The pool every surface uses unless given another.
    static RenderPool& shared();

    explicit RenderPool(unsigned workers);
    ~RenderPool();
    RenderPool(const RenderPool&) = delete;
    RenderPool& operator=(const RenderPool&) = delete;

    unsigned size() const { return static_cast<unsigned>(m_workers.size()); }
    // The processor the worker that replays band `band` of a `bands`-band render keeps to.
    int processorOf(unsigned band) const;
    // Replays bands 0 .. bands - 1 of list (their rows assigned in the list) on the workers,
    // band i on worker i modulo the pool size, and returns when all are done.
    void run(const DisplayList& list, unsigned bands);

private:
    std::mutex m_lock; // one render at a time
    std::vector<std::unique_ptr<RenderWorker>> m_workers;
};

} // namespace tonvane
