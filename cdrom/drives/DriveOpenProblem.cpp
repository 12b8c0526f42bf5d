#include "cdrom/drives/DriveOpenProblem.h"

#include "cdrom/device/CdDevice.h"

#include <cerrno>
#include <system_error>

namespace tonvane {

namespace {
constexpr ErrorCode kSystemCodeMask = 0xFFFF; // errorFromSystem keeps errno in the low word
}

DriveOpenProblem::Kind DriveOpenProblem::kind() const
{
    switch (systemError) {
    case EACCES:
    case EPERM:
        return Kind::Permission;
    case EBUSY:
        return Kind::Busy;
    default:
        return Kind::Other;
    }
}

std::string DriveOpenProblem::systemText() const
{
    return std::generic_category().message(systemError);
}

std::optional<DriveOpenProblem> probeDriveOpen(const std::string& path)
{
    ErrorCode error = kSuccess;
    if (openTransport(path, error))
        return std::nullopt;
    return DriveOpenProblem{path, static_cast<int>(error & kSystemCodeMask)};
}

} // namespace tonvane
