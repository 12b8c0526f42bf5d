#pragma once
#include "windowing/message/Message.h"

#include <deque>
#include <mutex>

namespace tonvane {

// Messages posted to one user-interface thread from any thread. An eventfd counts the posts so
// that the thread's poll() wakes; the thread drains the queue before it sleeps again.
class PostedQueue {
public:
    PostedQueue();
    ~PostedQueue();
    PostedQueue(const PostedQueue&) = delete;
    PostedQueue& operator=(const PostedQueue&) = delete;

    // False when the queue is closed (its thread has ended its last loop).
    bool post(const Message& message);
    bool take(Message& out);
    // Refuses further posts and hands back what is still queued.
    std::deque<Message> close();
    int wakeFd() const { return m_wakeFd; }

private:
    std::mutex m_mutex;
    std::deque<Message> m_messages;
    bool m_closed = false;
    int m_wakeFd = -1;
};

} // namespace tonvane
