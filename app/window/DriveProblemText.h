#pragma once
#include "cdrom/drives/DriveOpenProblem.h"

#include <string>

namespace tonvane {

// "Cannot open /dev/sr0: <reason>" in the interface language: the reason is the language's own
// text for the causes a user can act on (permission: join the "cdrom" group; busy), else the
// system's wording of the error.
std::u16string driveProblemText(const DriveOpenProblem& problem);

} // namespace tonvane
