#include "app/cli/DriveChoice.h"

#include "cdrom/device/CdDevice.h"
#include "cdrom/device/DevicePath.h"
#include "cdrom/drives/DiscCheck.h"
#include "cdrom/drives/DriveOpenProblem.h"
#include "cdrom/emulated/CueSheet.h"
#include "cdrom/emulated/EmulatedDrive.h"

#include <cstdlib>

namespace tonvane::cli {

std::string openProblem(const std::string& path)
{
    std::optional<DriveOpenProblem> problem = probeDriveOpen(path);
    if (!problem)
        return {};
    std::string reason = problem->systemText();
    if (problem->kind() == DriveOpenProblem::Kind::Permission)
        reason += " (is this user in the cdrom group?)";
    return "cannot open " + path + ": " + reason;
}

DriveSources realDriveSources()
{
    DriveSources sources;
    if (const char* root = std::getenv("TONVANE_SYSFS_ROOT"); root && *root)
        sources.sysfsRoot = root;
    if (const char* root = std::getenv("TONVANE_DEV_ROOT"); root && *root)
        sources.devRoot = root;
    return sources;
}

DriveChoice chooseDefaultDrive(const DriveSources& sources, std::FILE* errors)
{
    DriveChoice choice;
    std::vector<std::string> realDrives;
    for (const std::string& path : listDrives(sources))
        if (!isEmulatedDrivePath(path))
            realDrives.push_back(path);
    if (realDrives.empty()) {
        std::fprintf(errors, "No CD drive on this machine; using the built-in demo disc (demo:)\n");
        choice.path = std::string(kDemoDrivePath);
        return choice;
    }
    std::vector<std::string> problems;
    for (const std::string& path : realDrives) {
        if (std::string problem = openProblem(path); !problem.empty()) {
            problems.push_back(problem);
            continue;
        }
        // Waits while the drive reports that it is becoming ready.
        if (hasAudioDisc(path, true)) {
            std::fprintf(errors, "Using drive %s\n", path.c_str());
            choice.path = path;
            return choice;
        }
        problems.push_back("no audio disc in " + path);
    }
    for (size_t i = 0; i < problems.size(); ++i)
        choice.problem += (i == 0 ? "" : "; ") + problems[i];
    return choice;
}

std::string imageProblem(const std::string& drivePath)
{
    if (!isImageDrivePath(drivePath) || findEmulatedDrive(drivePath))
        return {};
    std::string sheet = imageFileOfPath(drivePath);
    CueLoadResult loaded = loadCueSheet(sheet);
    if (loaded.ok())
        return {};
    if (loaded.error.message.rfind("cannot open \"" + sheet, 0) == 0)
        return loaded.error.message;
    return sheet + ": " + loaded.error.message;
}

} // namespace tonvane::cli
