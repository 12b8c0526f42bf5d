#pragma once
#include "app/window/WindowRunOptions.h"

#include <string>
#include <vector>

namespace tonvane {

struct WindowProgramOptions {
    std::vector<std::string> drives; // image and demo drives after the real ones
    std::string server; // CDDB server; empty: the stored one
    WindowRunOptions run; // this run's servers (cddbServer as server above)
    std::string outputFolder; // empty: the music folder
    std::string updateServer; // "host[:port]" of the update check; empty: the product's server
};

inline constexpr int kNoDisplay = -1;

// Runs the window program until its main window is destroyed; answers the loop's exit code,
// or kNoDisplay when no X server answers.
int runWindowProgram(const WindowProgramOptions& options);

} // namespace tonvane
