#pragma once
#include "windowing/backend/WindowBackend.h"

#include <memory>

namespace tonvane {

// The X11 window system: Xlib with a 32-bit ARGB visual, XShm pushes (XPutImage when shared
// memory is refused), window-manager hints and the EWMH properties. X headers stay in the .cpp.
class X11Backend {
public:
    // Connects to display; null when no server answers.
    // inputMethod false: keys are looked up without the X input method (XLookupString).
    static std::unique_ptr<WindowBackend> open(const char* display, bool inputMethod = true);
};

} // namespace tonvane
