#pragma once
#include <cstdint>

namespace tonvane {

// What a popup menu tells the one it belongs to: the menu bar for a menu of the bar, or the
// popup whose submenu it shows. Points are y-up screen pixels; every call comes on the
// window's thread while the popup runs.
class MenuOwner {
public:
    virtual ~MenuOwner() = default;
    // The pointer moved outside the popup: the owner makes what lies under it hot and answers
    // whether it asks to take over there (another entry of its own lies under the pointer).
    virtual bool pointerFromChild(int32_t x, int32_t y) = 0;
    // A press with nothing hot in the popup (outside: not on the popup at all). The popup then
    // closes with -1, and the owner acts on the press once it has.
    virtual void pressFromChild(int32_t x, int32_t y, bool outside) = 0;
    // Left or Right that the popup does not use itself; true when the owner takes over (the
    // popup then closes with -3).
    virtual bool keyFromChild(uint32_t key) = 0;
    // Esc in the popup; true when the owner keeps it (the popup then stays open).
    virtual bool escapeFromChild() = 0;
    // Alt in the popup: every menu closes and the menu bar leaves keyboard navigation.
    virtual void dismissFromChild() = 0;
    // The popup closed: nothing in it is hot any more.
    virtual void childClosed() = 0;
};

} // namespace tonvane
