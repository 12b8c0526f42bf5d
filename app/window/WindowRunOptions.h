#pragma once
#include "session/RipPreferences.h"

#include <string>

namespace tonvane {

// What the command line asks of this run of the window program (--server, --musicbrainz-server,
// --coverart-server, --accuraterip-server, --no-accuraterip). They win over the stored
// preferences for this run only and are never stored; an empty server leaves the stored one.
struct WindowRunOptions {
    std::string cddbServer; // HOST[:PORT]
    std::string musicBrainzServer; // URL
    std::string coverArtServer; // URL
    std::string accurateRipServer; // HOST[:PORT]
    bool noAccurateRip = false;
};

// The preferences with this run's choices laid over them.
RipPreferences withRunOptions(RipPreferences preferences, const WindowRunOptions& run);
// The stored preferences with this run's choices laid over them.
RipPreferences runPreferences(const WindowRunOptions& run);

} // namespace tonvane
