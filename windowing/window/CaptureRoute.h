#pragma once
#include "windowing/message/Message.h"

namespace tonvane {

class MouseTarget;
class WindowBackend;

// The one owner of the mouse on a user-interface thread: while set, every window sends its
// pointer events here instead of to its widget tree. Setting or clearing the owner takes or
// releases the window system's pointer capture as well.
class CaptureRoute {
public:
    explicit CaptureRoute(WindowBackend& backend) : m_backend(backend) {}

    void setOwner(MouseTarget* owner, WindowId window);
    void clear();
    MouseTarget* owner() const { return m_owner; }
    WindowId window() const { return m_window; }

private:
    WindowBackend& m_backend;
    MouseTarget* m_owner = nullptr;
    WindowId m_window = kNoWindow;
};

} // namespace tonvane
