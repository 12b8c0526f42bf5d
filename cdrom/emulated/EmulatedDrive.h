#pragma once
#include "cdrom/device/ScsiTransport.h"
#include "cdrom/emulated/EmulatedDisc.h"
#include "cdrom/mmc/DriveFeatures.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tonvane {

inline constexpr uint32_t kPermanentFault = 0xFFFFFFFF;
inline constexpr uint32_t kForever = 0xFFFFFFFF;

// A READ CD covering lba fails with MEDIUM ERROR 3/11/00 this many times, then reads well
// (kPermanentFault: always fails).
struct ReadFault {
    uint32_t lba = 0;
    uint32_t failures = kPermanentFault;
};

// A sector whose bytes come back damaged on its first `reads` reads from the medium (kForever:
// on every read), differently each time, as a scratch read by a drive without error reporting.
struct CorruptFault {
    uint32_t lba = 0;
    uint32_t reads = kForever;
};

// Faults the emulated drive shows, set per disc.
struct EmulatedFaults {
    uint32_t openDelayMs = 0; // [ms] each open of the drive blocks this long
    int openErrno = 0; // each open fails with this errno (EACCES: a user outside the cdrom group)
    uint32_t notReadyMs = 0; // [ms] after the medium arrives: NOT READY 2/04/01 (kForever: always)
    bool noMedium = false; // NOT READY 2/3A/00, no disc in the tray
    bool getConfigurationFails = false; // GET CONFIGURATION answers ILLEGAL REQUEST
    bool trackInformationFails = false; // READ TRACK INFORMATION answers ILLEGAL REQUEST
    std::vector<ReadFault> readFaults;
    uint32_t sectorsPerSecond = 0; // read-speed limit (600 = 8x, 3600 = 48x); 0 = memory speed
    uint64_t removeAfterSectors = 0; // medium is removed once this many sectors were read; 0 = never
    std::vector<CorruptFault> corruptions;
    // The drive keeps the last this many sectors it read from the medium; a READ CD of sectors
    // that are all kept returns them as kept, damage included, without touching the medium.
    uint32_t cacheSectors = 0;
};

struct EmulatedDriveConfig {
    std::string vendor = "TONVANE"; // INQUIRY bytes 8-15
    std::string product = "EMULATED CD-RW"; // INQUIRY bytes 16-31
    std::string revision = "1.00"; // INQUIRY bytes 32-35
    uint16_t profile = 0x0008; // current profile with a medium (0x0010: a DVD)
    bool realTimeStreaming = true; // lists feature 0x0107
    bool realTimeStreamingCurrent = true; // its current bit
    uint32_t maxReadKbPerSecond = 7056; // [kB/s] GET PERFORMANCE end performance (40x)
    bool recordCommands = false; // keep every command for inspection (tests)
    // [samples] read offset: sample d of what the drive delivers is the disc's sample d - n
    // (zeros where that lies before the disc or beyond its audio), as on a real drive with +n
    int32_t readOffset = 0;
    // The CUE sheet of an image drive: an eject renames it to "<sheet>.done", so that whoever
    // feeds a watched folder sees which discs are through. Empty: nothing is renamed.
    std::string sheetPath;
    EmulatedFaults faults;
};

struct EmulatedDriveState; // the medium, faults and bookkeeping behind the drive's mutex

// One command as the emulated drive received it.
struct RecordedCommand {
    std::array<uint8_t, 16> cdb{};
    size_t cdbLength = 0;
    size_t dataLength = 0; // [bytes] the allocation / parameter list length of the request
    DataDirection direction = DataDirection::In;
    std::vector<uint8_t> dataOut; // parameter data of host-to-drive commands
};

// An MMC target in software: answers with MMC-6 byte layouts. One mutex guards its state, so a
// rip thread and the UI thread may talk to it at the same time through their own connections.
class EmulatedDrive final : public ScsiTransport, public std::enable_shared_from_this<EmulatedDrive> {
public:
    explicit EmulatedDrive(std::shared_ptr<const EmulatedDisc> disc, EmulatedDriveConfig config = {});
    ~EmulatedDrive() override;

    void execute(const ScsiRequest& request, ScsiReply& reply) override;
    ErrorCode lockVolume() override; // the drive itself as the lock holder
    ErrorCode unlockVolume() override;

    // A new connection, as an open of the drive gives: shares this drive's state and medium and
    // holds its own volume lock, dropped when the connection is destroyed. Does not wait the
    // open delay (openTransport does that). The drive must be owned by a shared_ptr.
    std::unique_ptr<ScsiTransport> connect();
    uint32_t openDelayMs() const;
    int openErrno() const; // 0: opens

    // The medium: removal and insertion (restarting the NOT READY time).
    void removeMedium();
    void insertMedium(std::shared_ptr<const EmulatedDisc> disc = nullptr); // null: the previous disc
    bool hasMedium() const;
    std::shared_ptr<const EmulatedDisc> disc() const;

    void setFaults(const EmulatedFaults& faults);
    void setProfile(uint16_t profile);

    // Inspection for tests.
    std::vector<RecordedCommand> recordedCommands() const;
    void clearRecordedCommands();
    uint64_t sectorsRead() const; // asked for, from the medium or the cache
    uint64_t sectorsFromCache() const;
    bool mediumRemovalPrevented() const;
    bool volumeLocked() const;
    uint16_t lastSetSpeed() const; // read speed of the last SET CD SPEED [kB/s]

    // Volume lock bookkeeping for connections: owner is an opaque token.
    bool tryLockVolume(const void* owner);
    void unlockVolume(const void* owner);

private:
    std::unique_ptr<EmulatedDriveState> m_state;
    mutable std::mutex m_mutex;
};

// Emulated drives reachable through openDevice by path ("image:/virtual/C.cue", "demo:", ...).
// An installed drive wins over loading the CUE sheet named by an image path.
void installEmulatedDrive(const std::string& path, std::shared_ptr<EmulatedDrive> drive);
void uninstallEmulatedDrive(const std::string& path);
std::shared_ptr<EmulatedDrive> findEmulatedDrive(const std::string& path);

} // namespace tonvane
