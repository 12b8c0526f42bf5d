#pragma once
#include "cdrom/device/CdDevice.h"
#include "cdrom/mmc/MmcAnswers.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

inline constexpr uint32_t kCdDaSectorBytes = 2352; // [bytes] one CD-DA sector
inline constexpr uint32_t kMaxSectorsPerRead = 16; // [sectors] per READ CD
inline constexpr uint32_t kMaxReadCdBytes = kMaxSectorsPerRead * kCdDaSectorBytes; // 37632

// MMC operation codes.
inline constexpr uint8_t kOpTestUnitReady = 0x00;
inline constexpr uint8_t kOpInquiry = 0x12;
inline constexpr uint8_t kOpStartStopUnit = 0x1B;
inline constexpr uint8_t kOpPreventAllowMediumRemoval = 0x1E;
inline constexpr uint8_t kOpReadTocPmaAtip = 0x43;
inline constexpr uint8_t kOpGetConfiguration = 0x46;
inline constexpr uint8_t kOpReadDiscInformation = 0x51;
inline constexpr uint8_t kOpReadTrackInformation = 0x52;
inline constexpr uint8_t kOpGetPerformance = 0xAC;
inline constexpr uint8_t kOpSetStreaming = 0xB6;
inline constexpr uint8_t kOpSetCdSpeed = 0xBB;
inline constexpr uint8_t kOpReadCd = 0xBE;

// Every function takes an open device and leaves the command's outcome in device.result.

bool testUnitReady(CdDevice& device);
bool preventMediumRemoval(CdDevice& device, bool prevent);
// START STOP UNIT with LoEj = 1 and Start = 0: the tray opens (or the medium leaves a slot).
bool startStopUnitEject(CdDevice& device);
// PREVENT ALLOW MEDIUM REMOVAL with prevent 0 first (a drive that a rip locked refuses the eject
// otherwise), then START STOP UNIT ejecting. The outcome of the eject is in device.result.
bool ejectMedium(CdDevice& device);
// Clears device.capabilities, sends GET CONFIGURATION (2056 bytes) and parses the answer.
// False when the command fails; the capabilities then stay cleared.
bool refreshCapabilities(CdDevice& device);
// Zero-fills the buffer and writes the expected length into it before sending.
bool readDiscInformation(CdDevice& device, DiscInformationBuffer& buffer);
bool readTrackInformation(CdDevice& device, uint32_t trackNumber, TrackInformationBuffer& buffer);
// One READ TOC format 0 (MSF) into buffer with the given allocation length.
bool readToc(CdDevice& device, uint8_t* buffer, uint16_t allocationLength);
// The two-step READ TOC: 4 bytes to learn the data length, then tocAllocationLength of it.
// toc receives the answer (its size is the allocation). False when either command fails.
bool readFullToc(CdDevice& device, std::vector<uint8_t>& toc);
// Opens the drive, reads its table of contents and closes it again; nothing when the drive
// cannot be opened or the answer does not parse.
std::optional<Toc> readDriveToc(const std::string& devicePath);

// One track of the disc as READ TRACK INFORMATION described it.
struct DiscTrack {
    bool answered = false; // the command succeeded (loadDisc skips tracks that did not)
    TrackInformation info; // parsed from the (zero-filled when failed) answer
};
// READ DISC INFORMATION, then READ TRACK INFORMATION for tracks 1..last (at most 99) in order.
// False when READ DISC INFORMATION fails (tracks then empty).
bool readTrackList(CdDevice& device, std::vector<DiscTrack>& tracks);

// Volume lock, PREVENT removal, then GET PERFORMANCE + SET STREAMING on drives with real-time
// streaming (SET CD SPEED when no performance descriptor came back), else SET CD SPEED maximum
// CAV. Outcomes are not checked. Call after refreshCapabilities on the device opened for the job.
void prepareForRipping(CdDevice& device);
// ALLOW removal, unlock the volume if locked, close the device.
void finishRipping(CdDevice& device);

// READ CD of sectors (1..16) CD-DA sectors from lba, user data only, into buffer, which must hold
// sectors x 2352 bytes. Other counts fail with an invalid-argument error and send nothing.
bool readCd(CdDevice& device, uint32_t lba, uint32_t sectors, uint8_t* buffer);

inline constexpr size_t kFormattedQBytes = 16; // [bytes] READ CD sub-channel selection 010b

// The Q sub-channel of one sector (mode 1, position), as READ CD with the formatted Q data and
// no main channel gives it.
struct QPosition {
    uint8_t control = 0; // high 4 bits of byte 0
    uint8_t track = 0; // 1..99
    uint8_t index = 0; // 0: pregap, 1..99
};
// False when the drive refuses, or the answer is not a position (ADR 1) in valid BCD.
bool readQPosition(CdDevice& device, uint32_t lba, QPosition& position);

} // namespace tonvane
