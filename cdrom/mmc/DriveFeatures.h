#pragma once
#include <cstdint>

namespace tonvane {

// MMC profile numbers (GET CONFIGURATION current profile).
inline constexpr uint16_t kProfileCdRom = 0x0008;
inline constexpr uint16_t kProfileCdR = 0x0009;
inline constexpr uint16_t kProfileCdRw = 0x000A;
inline constexpr uint16_t kProfileDvdRom = 0x0010;
inline constexpr uint16_t kFeatureRealTimeStreaming = 0x0107;

// What the last capability refresh found out about the drive and its medium.
struct DriveFeatures {
    uint16_t currentProfile = 0;
    bool cdMedium = false; // current profile is CD-ROM, CD-R or CD-RW
    bool realTimeStreaming = false; // feature 0x0107 listed, current or not
};

} // namespace tonvane
