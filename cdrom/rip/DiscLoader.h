#pragma once
#include "core/disc/ConversionJob.h"

#include <string>

namespace tonvane {

struct DiscLoadResult {
    bool loaded = false; // false: the drive did not open or refused READ DISC INFORMATION
    bool lookupWanted = false; // "Auto" was present and non-zero
    bool autoStored = false; // "Auto" was missing and this load stored the default
};

// Builds the job's track list from the drive at devicePath: READ DISC INFORMATION for the last
// track of the last session, then READ TRACK INFORMATION of each track; blank, data and
// unanswered tracks are left out, the rest keep disc order with the stored default format and
// its quality. When the drive cannot be read the previous list stays as it was. Reads "Auto"
// under "\FreeDB" and writes it as 1 when missing (that load then does no lookup).
DiscLoadResult loadDisc(ConversionJob& job, const std::string& devicePath);

} // namespace tonvane
