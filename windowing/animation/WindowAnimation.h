#pragma once
#include <cstdint>

namespace tonvane {

class LayeredWindow;

enum class Transition : uint32_t { Show = 0, Hide = 1, Minimise = 4, Restore = 8 };

// Plays one transition of the window's current picture on the calling thread (at most about
// 300 ms). The window's surface lock must be held by the caller or by no one else meanwhile.
// The window's updating flag is set for the duration; the minimise leaves it set.
void playTransition(LayeredWindow& window, Transition kind);

// Frame pacing: the next step after a frame of `elapsedMs` at step `step` with a budget of
// `budgetMs` per step, capped at `lastStep`; sleepMs receives the rest of the budget (0 when
// late). Late frames skip steps and never lengthen the transition.
struct PacedStep {
    int next = 0;
    uint32_t sleepMs = 0;
};
PacedStep paceFade(int step, int lastStep, uint32_t elapsedMs, uint32_t budgetMs);
PacedStep paceMove(int step, int lastStep, uint32_t elapsedMs);

} // namespace tonvane
