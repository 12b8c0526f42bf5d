#pragma once
#include <cstdint>
#include <string_view>

namespace tonvane {

class Surface;
struct KeyTableEntry;

enum class MouseAction { Move, LeftDown, LeftUp, LeftDouble, RightDown, RightUp, MiddleDown, MiddleUp };

// Receives pointer events while it owns the capture route, or as a window's widget tree.
// Points are screen pixels, y up.
class MouseTarget {
public:
    virtual ~MouseTarget() = default;
    virtual void mouse(MouseAction action, int32_t x, int32_t y) = 0;
    virtual void wheel(int32_t x, int32_t y, int32_t delta, uint32_t keys) = 0;
    // The capture route was cleared or handed to another owner: drop hover and press states.
    virtual void captureLost() {}
};

// What a layered window hosts: its widget tree. Every call comes on the window's thread except
// paint, which runs in the window's repaint on whatever thread repaints (under the surface lock).
class WindowContent : public MouseTarget {
public:
    void mouse(MouseAction, int32_t, int32_t) override {}
    void wheel(int32_t, int32_t, int32_t, uint32_t) override {}
    // A hit-test code for a point in screen pixels (y up); 0 leaves the answer to the frame.
    virtual int32_t hitTest(int32_t, int32_t) { return 0; }
    virtual void keyDown(uint32_t) {}
    virtual void keyUp(uint32_t) {}
    // Typed text (UTF-8, as the window system gave it: not checked yet).
    virtual void textInput(std::string_view) {}
    // A key-table entry matched.
    virtual void keyCommand(const KeyTableEntry&) {}
    // Moves the focus to the next (or previous) focusable widget; fromEnd starts the search at
    // the other end of the tree. False when there is none.
    virtual bool moveFocus(bool backwards, bool fromEnd)
    {
        (void)backwards;
        (void)fromEnd;
        return false;
    }
    // True when a widget had set its own cursor; it then forgets it.
    virtual bool releaseCursor() { return false; }
    virtual void layout(int32_t, int32_t) {}
    // Paints with the clip at the content (0, 0, width, height), origin at its bottom-left.
    virtual void paint(Surface&) {}
    virtual void deviceChange(uint64_t, int64_t) {}
    // The window lost the keyboard: to another window, or to a grab (a window manager's
    // shortcut).
    virtual void focusLost() {}
    // The window became visible on the screen (shown, restored, uncovered) or stopped being
    // (minimised, fully covered): animations only run while it is.
    virtual void visibilityChanged(bool) {}
    // Before the window closes: stop what runs for it (the close stop of a conversion).
    virtual void stopWork() {}
    // When it is destroyed: stop and join its worker threads.
    virtual void stopWorkers() {}
};

} // namespace tonvane
