#include "cdrom/drives/DiscEject.h"

#include "cdrom/device/CdDevice.h"
#include "cdrom/mmc/MmcCommands.h"

#include <cstdio>

namespace tonvane {

EjectOutcome ejectDisc(const std::string& path)
{
    EjectOutcome outcome;
    CdDevice device;
    if (!openDevice(device, path)) {
        outcome.problem = path + " cannot be opened to eject its disc";
        return outcome;
    }
    if (ejectMedium(device)) {
        outcome.ejected = true;
    } else {
        const CommandResult& result = device.result;
        char sense[64];
        if (result.error != kSuccess)
            std::snprintf(sense, sizeof sense, "error 0x%08X", static_cast<unsigned>(result.error));
        else
            std::snprintf(sense, sizeof sense, "sense %X/%02X/%02X", result.senseKey, result.asc, result.ascq);
        outcome.problem = path + " refused to eject its disc (" + sense + ")";
    }
    closeDevice(device);
    return outcome;
}

} // namespace tonvane
