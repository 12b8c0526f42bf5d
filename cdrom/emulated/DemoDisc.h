#pragma once
#include "cdrom/emulated/EmulatedDrive.h"

#include <memory>

namespace tonvane {

// The built-in demo disc: 4 audio tracks of 15 to 40 s of generated music.
DiscDescription demoDiscDescription();
// The process's demo drive behind "demo:", built on first use.
std::shared_ptr<EmulatedDrive> demoDrive();

} // namespace tonvane
