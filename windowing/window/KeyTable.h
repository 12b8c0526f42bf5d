#pragma once
#include <cstdint>
#include <span>

namespace tonvane {

// One shortcut: key, modifier bits (mod::), and the command it stands for (not compared).
struct KeyTableEntry {
    uint32_t key = 0;
    uint32_t modifiers = 0;
    uint32_t command = 0;
};

// True when the entry matches the key pressed with the live modifier bits: an entry naming the
// left or right Shift compares those, any other the either-Shift bit; a caseless entry compares
// both keys upper-cased.
bool keyMatches(const KeyTableEntry& entry, uint32_t key, uint32_t liveModifiers);
// The first matching entry, or null.
const KeyTableEntry* findKey(std::span<const KeyTableEntry> table, uint32_t key, uint32_t liveModifiers);

} // namespace tonvane
