#pragma once
#include "windowing/message/Message.h"

namespace tonvane {

class MouseTarget;
class WindowBackend;

// How the owner holds the mouse. Hover: the owner's window sends its pointer events to the owner
// (and tells it when the pointer leaves the window), but the window system's pointer stays free
// for every other client. Grab: the window system's pointer is grabbed as well, for a press held
// over the owner or a popup that must see presses anywhere on the screen.
enum class CaptureHold { Hover, Grab };

// The one owner of the mouse on a user-interface thread: while set, the owner's window sends its
// pointer events here instead of to its widget tree. Only a Grab takes the window system's
// pointer; clearing the owner, or handing it to another, tells the previous owner.
class CaptureRoute {
public:
    explicit CaptureRoute(WindowBackend& backend) : m_backend(backend) {}

    void setOwner(MouseTarget* owner, WindowId window, CaptureHold hold = CaptureHold::Grab);
    void clear();
    MouseTarget* owner() const { return m_owner; }
    WindowId window() const { return m_window; }
    bool grabbed() const { return m_hold == CaptureHold::Grab && m_owner != nullptr; }

private:
    WindowBackend& m_backend;
    MouseTarget* m_owner = nullptr;
    WindowId m_window = kNoWindow;
    CaptureHold m_hold = CaptureHold::Hover;
    bool m_backendGrabbed = false;
};

} // namespace tonvane
