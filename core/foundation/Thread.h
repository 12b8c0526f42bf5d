#pragma once
#include "core/foundation/ErrorCode.h"
#include "core/foundation/Event.h"

#include <cstddef>
#include <pthread.h>
#include <utility>

namespace tonvane {

// A started thread. The owner joins it, or detaches it when the thread provably touches nothing
// the owner will destroy (the late drive opener). Destroying a joinable Thread joins it, so a
// forgotten thread can never outlive its owner.
class Thread {
public:
    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    Thread(Thread&& other) noexcept : m_handle(other.m_handle), m_running(other.m_running) { other.m_running = false; }
    Thread& operator=(Thread&& other) noexcept;
    ~Thread() { join(); }

    bool joinable() const { return m_running; }
    void join();
    // Joins the thread only if it has already ended; true when it is (now) not joinable.
    bool tryJoin();
    void detach();

private:
    friend ErrorCode startThread(Thread& out, void* (*routine)(void*), void* parameter, size_t stackSize);
    pthread_t m_handle{};
    bool m_running = false;
};

// Starts routine(parameter) on a new thread with the given stack size (0 = default). Answers 0,
// or the error code of the failure with out left not joinable.
ErrorCode startThread(Thread& out, void* (*routine)(void*), void* parameter, size_t stackSize = 0);

// Processor placement. Numbers are the kernel's processor numbers; kNoProcessor when unknown.
constexpr int kNoProcessor = -1;
// The ordinal-th processor (0-based, wrapping) of those the calling thread may run on.
int allowedProcessor(unsigned ordinal);
// Keeps the calling thread on one processor; false if the system refused.
bool pinThisThread(int processor);
// The processor the calling thread runs on at this moment.
int currentProcessor();

// Names the calling thread as tools show it (/proc/PID/task/TID/comm, top -H, gdb); the kernel
// keeps the first 15 bytes.
void nameThisThread(const char* name);

// The ready handshake: the new thread copies params, signals, and only then does the starter
// return, so params may live on the starter's stack. routine receives its own copy.
template <typename Params>
ErrorCode startThreadWithCopy(Thread& out, void (*routine)(Params), const Params& params, size_t stackSize = 0)
{
    struct Block {
        const Params* params;
        void (*routine)(Params);
        Event ready;
    };
    Block block{&params, routine, {}};
    auto trampoline = [](void* raw) -> void* {
        auto* shared = static_cast<Block*>(raw);
        Params copy(*shared->params);
        auto run = shared->routine;
        shared->ready.set(); // after this the block may be gone
        run(std::move(copy));
        return nullptr;
    };
    ErrorCode error = startThread(out, trampoline, &block, stackSize);
    if (error == kSuccess)
        block.ready.wait();
    return error;
}

} // namespace tonvane
