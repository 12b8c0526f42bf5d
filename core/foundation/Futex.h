#pragma once
#include <atomic>
#include <cstdint>

namespace tonvane {

// Thin wrappers over the Linux futex calls on a 32-bit atomic word of this process.

// Sleeps while word holds expected, at most timeoutMs; returns early on a wake or a signal.
void futexWait(std::atomic<uint32_t>& word, uint32_t expected, uint32_t timeoutMs);
// Wakes every thread sleeping on word.
void futexWakeAll(std::atomic<uint32_t>& word);

} // namespace tonvane
