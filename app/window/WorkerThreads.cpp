#include "app/window/WorkerThreads.h"

#include <algorithm>

namespace tonvane {

WorkerThreads::~WorkerThreads()
{
    for (std::unique_ptr<Task>& task : m_tasks)
        task->thread.join();
}

void* WorkerThreads::runTask(void* raw)
{
    auto* task = static_cast<Task*>(raw);
    nameThisThread("lookup");
    task->work();
    task->work = nullptr; // what it captured goes with the work, on this thread
    task->ended.store(true, std::memory_order_release);
    return nullptr;
}

void WorkerThreads::run(std::function<void()> work)
{
    joinEnded();
    auto task = std::make_unique<Task>();
    task->work = std::move(work);
    if (startThread(task->thread, runTask, task.get()) != kSuccess) {
        runTask(task.get());
        return;
    }
    m_tasks.push_back(std::move(task));
}

void WorkerThreads::joinEnded()
{
    std::erase_if(m_tasks, [](const std::unique_ptr<Task>& task) {
        if (!task->ended.load(std::memory_order_acquire))
            return false;
        task->thread.join();
        return true;
    });
}

} // namespace tonvane
