#include "windowing/window/CaptureRoute.h"

#include "windowing/backend/WindowBackend.h"

namespace tonvane {

void CaptureRoute::setOwner(MouseTarget* owner, WindowId window)
{
    m_owner = owner;
    m_window = window;
    if (window != kNoWindow)
        m_backend.setCapture(window);
}

void CaptureRoute::clear()
{
    if (m_owner == nullptr && m_window == kNoWindow)
        return;
    m_owner = nullptr;
    m_window = kNoWindow;
    m_backend.releaseCapture();
}

} // namespace tonvane
