#pragma once
#include "cdrom/device/CdDevice.h"
#include "cdrom/drives/DriveOpenProblem.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

inline constexpr uint32_t kDiscCheckAttempts = 4; // open + capability refresh tries
inline constexpr uint32_t kDiscCheckRetryDelayMs = 1000; // [ms] between tries
inline constexpr uint32_t kReadyBudgetMs = 44000; // [ms] of NOT READY waiting
inline constexpr uint32_t kReadyPollMs = 10; // [ms] between TEST UNIT READYs

// The timing of the disc check. Tests replace sleep (which the budget is counted in, not in
// wall time) to run the 44 s budget without waiting it.
struct DiscCheckTiming {
    uint32_t attempts = kDiscCheckAttempts;
    uint32_t retryDelayMs = kDiscCheckRetryDelayMs;
    uint32_t readyBudgetMs = kReadyBudgetMs;
    uint32_t readyPollMs = kReadyPollMs;
    std::function<void(uint32_t milliseconds)> sleep; // empty = sleepMs
};

// Repeats { sleep poll; TEST UNIT READY } while the sense key is NOT READY, for at most
// budget / poll rounds. Answers the number of rounds done.
uint32_t waitUntilReady(CdDevice& device, const DiscCheckTiming& timing = {});

// True when the drive at path holds a CD with at least one audio track: up to 4 tries of open +
// capability refresh 1 s apart, optional wait for ready, the CD profile test, then the track
// list until an audio track shows. A failed READ TRACK INFORMATION leaves its zero-filled
// answer, which reads as audio. The device is closed on every way out.
bool hasAudioDisc(const std::string& path, bool waitForReady);
bool hasAudioDisc(const std::string& path, bool waitForReady, const DiscCheckTiming& timing);

struct DriveSources;
struct DriveScan {
    std::optional<std::string> audioDrive; // the first drive holding an audio disc
    std::vector<std::string> audioDrives; // every drive holding one (scanForAudioDiscs only)
    // Real drives passed over because they cannot be opened, in enumeration order.
    std::vector<DriveOpenProblem> unopenable;
};
// The start-up scan: the first enumerated drive for which hasAudioDisc without waiting is true.
// A real drive is tried once first: one that cannot be opened is named in the answer and
// skipped (not tried four times), so that "no disc" and "no access" stay apart.
DriveScan scanForAudioDisc(const DriveSources& sources);
// The same scan going on past the first: every drive holding an audio disc, in enumeration order.
DriveScan scanForAudioDiscs(const DriveSources& sources);
std::optional<std::string> findDriveWithAudioDisc(const DriveSources& sources);

} // namespace tonvane
