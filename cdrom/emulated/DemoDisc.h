#pragma once
#include "cdrom/emulated/EmulatedDrive.h"

#include <memory>

namespace tonvane {

// The built-in demo disc: 4 audio tracks of 15 to 40 s of generated music.
DiscDescription demoDiscDescription();
// The process's demo drive behind "demo:", built on first use.
std::shared_ptr<EmulatedDrive> demoDrive();
// The drive behind a demo path: "demo:" is demoDrive(); "demo:offset=N" the same disc in a drive
// with read offset N samples (-2939..2939), one per path, built on first use. Null for another
// form.
std::shared_ptr<EmulatedDrive> demoDrive(const std::string& path);
// Faults for every demo drive, those already built and those built later (command-line tests).
void setDemoFaults(const EmulatedFaults& faults);

} // namespace tonvane
