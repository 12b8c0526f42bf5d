#include "windowing/window/CaptureRoute.h"

#include "windowing/backend/WindowBackend.h"
#include "windowing/window/WindowContent.h"

namespace tonvane {

void CaptureRoute::setOwner(MouseTarget* owner, WindowId window, CaptureHold hold)
{
    MouseTarget* previous = m_owner;
    m_owner = owner;
    m_window = window;
    m_hold = hold;
    if (hold == CaptureHold::Grab && window != kNoWindow) {
        m_backend.setCapture(window);
        m_backendGrabbed = true;
    } else if (m_backendGrabbed) {
        m_backendGrabbed = false;
        m_backend.releaseCapture();
    }
    if (previous != nullptr && previous != owner)
        previous->captureLost();
}

void CaptureRoute::clear()
{
    if (m_owner == nullptr && m_window == kNoWindow && !m_backendGrabbed)
        return;
    MouseTarget* previous = m_owner;
    m_owner = nullptr;
    m_window = kNoWindow;
    m_hold = CaptureHold::Hover;
    if (m_backendGrabbed) {
        m_backendGrabbed = false;
        m_backend.releaseCapture();
    }
    if (previous != nullptr)
        previous->captureLost();
}

} // namespace tonvane
