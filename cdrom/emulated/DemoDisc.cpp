#include "cdrom/emulated/DemoDisc.h"

#include "cdrom/device/DevicePath.h"

#include <charconv>
#include <map>
#include <string>
#include <mutex>
#include <optional>

namespace tonvane {

namespace {
constexpr uint32_t kSectorsPerSecond = 75;
constexpr std::string_view kOffsetOption = "offset=";
constexpr int32_t kMaxDemoOffset = 2939; // [samples]

struct DemoVariants {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<EmulatedDrive>> drives; // by path
    std::optional<EmulatedFaults> faults;
};

DemoVariants& variants()
{
    static DemoVariants shared;
    return shared;
}
} // namespace

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

namespace tonvane {

std::shared_ptr<EmulatedDrive> demoDrive(const std::string& path)
{
    if (path == kDemoDrivePath)
        return demoDrive();
    std::string_view option = std::string_view(path).substr(std::min(path.size(), kDemoDrivePath.size()));
    if (option.substr(0, kOffsetOption.size()) != kOffsetOption)
        return nullptr;
    option.remove_prefix(kOffsetOption.size());
    if (!option.empty() && option[0] == '+')
        option.remove_prefix(1);
    int32_t offset = 0;
    auto [end, problem] = std::from_chars(option.data(), option.data() + option.size(), offset);
    if (option.empty() || problem != std::errc() || end != option.data() + option.size() || offset < -kMaxDemoOffset ||
        offset > kMaxDemoOffset)
        return nullptr;
    DemoVariants& shared = variants();
    std::lock_guard lock(shared.mutex);
    std::shared_ptr<EmulatedDrive>& drive = shared.drives[path];
    if (!drive) {
        EmulatedDriveConfig config;
        // A model of its own, so that an offset stored for it stays with this drive.
        config.product = "DEMO DISC " + std::string(offset > 0 ? "+" : "") + std::to_string(offset);
        config.readOffset = offset;
        if (shared.faults)
            config.faults = *shared.faults;
        drive = std::make_shared<EmulatedDrive>(demoDrive()->disc(), config);
    }
    return drive;
}

void setDemoFaults(const EmulatedFaults& faults)
{
    demoDrive()->setFaults(faults);
    DemoVariants& shared = variants();
    std::lock_guard lock(shared.mutex);
    shared.faults = faults;
    for (auto& [path, drive] : shared.drives)
        drive->setFaults(faults);
}

} // namespace tonvane
