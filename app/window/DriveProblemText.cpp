#include "app/window/DriveProblemText.h"

#include "core/foundation/Utf.h"
#include "core/language/Language.h"

namespace tonvane {

std::u16string driveProblemText(const DriveOpenProblem& problem)
{
    std::u16string reason;
    switch (problem.kind()) {
    case DriveOpenProblem::Kind::Permission:
        reason = uiText(kTextDriveNoPermission).view();
        break;
    case DriveOpenProblem::Kind::Busy:
        reason = uiText(kTextDriveBusy).view();
        break;
    case DriveOpenProblem::Kind::Other:
        reason = utf8ToUtf16(problem.systemText());
        break;
    }
    return fillPlaceholders(uiText(kTextCannotOpenDrive).view(), {utf8ToUtf16(problem.path), reason});
}

} // namespace tonvane
