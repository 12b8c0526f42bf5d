#pragma once
#include <optional>
#include <string>

namespace tonvane {

// Why a drive that exists cannot be opened. The system's error is kept as it came, so that each
// front end words it in its own language; kind() sorts out the causes a user can act on.
struct DriveOpenProblem {
    enum class Kind { Permission, Busy, Other };

    std::string path;
    int systemError = 0; // errno of the failed open

    // EACCES, EPERM: the user is not in the group that owns the device ("cdrom"); EBUSY:
    // another program holds the drive.
    Kind kind() const;
    // The system's own wording of systemError ("Is a directory").
    std::string systemText() const;
};

// Opens the drive's transport and closes it again: nothing when it opens.
std::optional<DriveOpenProblem> probeDriveOpen(const std::string& path);

} // namespace tonvane
