#include "windowing/x11/X11Backend.h"

#include "windowing/x11/X11Connection.h"

namespace tonvane {

std::unique_ptr<WindowBackend> X11Backend::open(const char* displayName, bool inputMethod)
{
    // Repaints push from worker threads: Xlib must be told before its first call.
    static const bool threaded = XInitThreads() != 0;
    if (!threaded)
        return nullptr;
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr)
        return nullptr;
    auto connection = std::make_unique<x11::X11Connection>(display);
    if (!connection->initialise(inputMethod))
        return nullptr;
    return connection;
}

} // namespace tonvane
