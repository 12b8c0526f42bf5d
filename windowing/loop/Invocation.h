#pragma once
#include <cstdint>
#include <functional>
#include <future>
#include <optional>

namespace tonvane {

// The record the invoke message's lParam points to. Its first field is the routine the
// dispatcher calls with (wParam, lParam); the record frees itself after running or being
// abandoned, and a sender waiting for it learns the result (or that it never ran).
struct Invocation {
    using Routine = int64_t (*)(uint64_t wParam, int64_t lParam);

    Routine routine = &Invocation::run;
    std::function<int64_t()> work;
    std::optional<std::promise<std::optional<int64_t>>> reply; // present for a send

    static int64_t run(uint64_t wParam, int64_t lParam);
    // The message will never be dispatched (its window is gone, or its loop ended).
    static void abandon(int64_t lParam);
};

} // namespace tonvane
