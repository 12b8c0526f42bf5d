#include "windowing/backend/WindowBackend.h"
#include "windowing/headless/HeadlessBackend.h"
#include "windowing/x11/X11Backend.h"

#include <cstdlib>

namespace tonvane {

std::unique_ptr<WindowBackend> createBackend(bool headless)
{
    const char* display = std::getenv("DISPLAY");
    if (!headless && display != nullptr && display[0] != '\0') {
        if (std::unique_ptr<WindowBackend> x11 = X11Backend::open(display))
            return x11;
    }
    return std::make_unique<HeadlessBackend>();
}

} // namespace tonvane
