#include "windowing/loop/PostedQueue.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace tonvane {

PostedQueue::PostedQueue() : m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

PostedQueue::~PostedQueue()
{
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

bool PostedQueue::post(const Message& message)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_closed)
        return false;
    m_messages.push_back(message);
    uint64_t one = 1;
    if (m_wakeFd >= 0 && write(m_wakeFd, &one, sizeof one) < 0) {
        // A saturated counter still reads as readable: the thread is awake.
    }
    return true;
}

bool PostedQueue::take(Message& out)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_messages.empty()) {
        uint64_t count = 0;
        if (m_wakeFd >= 0 && read(m_wakeFd, &count, sizeof count) < 0) {
            // Already drained.
        }
        return false;
    }
    out = m_messages.front();
    m_messages.pop_front();
    return true;
}

std::deque<Message> PostedQueue::close()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_closed = true;
    return std::move(m_messages);
}

} // namespace tonvane
