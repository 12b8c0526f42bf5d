#include "app/window/WindowRunOptions.h"

namespace tonvane {

RipPreferences withRunOptions(RipPreferences preferences, const WindowRunOptions& run)
{
    if (!run.cddbServer.empty())
        preferences.cddbServer = run.cddbServer;
    if (!run.musicBrainzServer.empty())
        preferences.musicBrainzServer = run.musicBrainzServer;
    if (!run.coverArtServer.empty())
        preferences.coverArtServer = run.coverArtServer;
    if (!run.accurateRipServer.empty())
        preferences.accurateRipServer = run.accurateRipServer;
    if (run.noAccurateRip)
        preferences.accurateRip = false;
    return preferences;
}

RipPreferences runPreferences(const WindowRunOptions& run)
{
    return withRunOptions(loadRipPreferences(), run);
}

} // namespace tonvane
