#include "cdrom/emulated/DemoDisc.h"

#include <mutex>

namespace tonvane {

namespace {
constexpr uint32_t kSectorsPerSecond = 75;
}

DiscDescription demoDiscDescription()
{
    DiscDescription description;
    // [s] 15 to 40 s each, with the usual 2 s gap before tracks 2 to 4.
    const uint32_t seconds[] = {24, 17, 38, 29};
    uint32_t seed = 11;
    for (uint32_t length : seconds) {
        DiscTrackDescription track;
        track.lengthSectors = length * kSectorsPerSecond;
        track.pregapSectors = seed == 11 ? 0 : 2 * kSectorsPerSecond;
        track.seed = seed;
        seed += 7;
        description.tracks.push_back(track);
    }
    return description;
}

std::shared_ptr<EmulatedDrive> demoDrive()
{
    static std::once_flag once;
    static std::shared_ptr<EmulatedDrive> drive;
    std::call_once(once, [] {
        EmulatedDriveConfig config;
        config.product = "DEMO DISC";
        drive = std::make_shared<EmulatedDrive>(buildDisc(demoDiscDescription()), config);
    });
    return drive;
}

} // namespace tonvane
