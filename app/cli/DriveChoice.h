#pragma once
#include "cdrom/drives/DriveEnumerator.h"

#include <cstdio>
#include <string>

namespace tonvane::cli {

// The drive of info and rip when no --drive is given. Outcome for the caller's exit code.
struct DriveChoice {
    std::string path; // empty when no drive can be used
    std::string problem; // why, when path is empty: names the drive and the reason
};

// Real drives first: one that opens and holds an audio disc (waiting for one that is spinning
// up) is chosen. Real drives that cannot be opened, or hold no audio disc, are named with the
// reason and nothing is chosen: ripping the demo disc instead would look like success. Only a
// machine without any real drive gets the built-in demo disc, said on errors.
DriveChoice chooseDefaultDrive(const DriveSources& sources, std::FILE* errors);

// The sources of the real drives: /sys/block and /dev, replaceable for tests through
// TONVANE_SYSFS_ROOT and TONVANE_DEV_ROOT.
DriveSources realDriveSources();

// Why a drive cannot be opened, as a user can act on it ("cannot open /dev/sr0: Permission
// denied (is this user in the cdrom group?)"); empty when it opens.
std::string openProblem(const std::string& path);

// For an image drive: the sheet's own error ("disc.cue: line 4: ..."), empty when it loads or
// the path is not an image drive.
std::string imageProblem(const std::string& drivePath);

} // namespace tonvane::cli
