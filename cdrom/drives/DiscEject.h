#pragma once
#include <string>

namespace tonvane {

// How an eject went: the medium left the drive, or why not (one line for a person).
struct EjectOutcome {
    bool ejected = false;
    std::string problem;
};

// Opens the drive at path, allows medium removal and ejects (START STOP UNIT, LoEj). An image
// drive's eject renames its CUE sheet to "<sheet>.done". The device is closed on every way out.
EjectOutcome ejectDisc(const std::string& path);

} // namespace tonvane
