#pragma once
#include "cdrom/device/CommandResult.h"
#include "cdrom/device/ScsiTransport.h"
#include "cdrom/mmc/DriveFeatures.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tonvane {

inline constexpr uint32_t kCommandTimeoutSeconds = 120; // [s] per request
inline constexpr uint32_t kOpenTimeoutMs = 1000; // [ms] an open slower than this fails

// An open drive: created on the stack of whoever needs it and never shared between threads.
// Device paths are UTF-8: "/dev/sr0" (real drive), "image:/path/disc.cue" (disc image),
// "demo:" (the built-in demo disc). Every kind goes through the same openDevice/sendCommand.
struct CdDevice {
    std::unique_ptr<ScsiTransport> handle; // null when closed
    CommandResult result; // of the last command
    uint32_t timeout = kCommandTimeoutSeconds; // [s]
    DriveFeatures capabilities; // cleared before each GET CONFIGURATION
    bool volumeLocked = false; // set while this device holds the volume lock

    CdDevice() = default;
    CdDevice(const CdDevice&) = delete;
    CdDevice& operator=(const CdDevice&) = delete;
    CdDevice(CdDevice&&) = default;
    CdDevice& operator=(CdDevice&&) = default;
    ~CdDevice();

    bool isOpen() const { return handle != nullptr; }
};

// Opens the drive at path on a throw-away opener thread and waits for it at most one second. A
// late opener is abandoned (never killed): it closes what it opened itself when it returns.
// Closes whatever the device held before. True on success.
bool openDevice(CdDevice& device, const std::string& path);
// Like openDevice with a custom limit [ms]; openDevice uses kOpenTimeoutMs.
bool openDeviceWithin(CdDevice& device, const std::string& path, uint32_t timeoutMs);
// Gives the device an already opened transport (tests, tools). Closes what it held before.
void attachTransport(CdDevice& device, std::unique_ptr<ScsiTransport> transport);
// Closes the connection if open (dropping its volume lock) and clears the handle.
void closeDevice(CdDevice& device);

// One command. cdbLength is 6, 10 or 12; data may be null when dataLength is 0. The outcome,
// cleared first, is in device.result; answers device.result.isSuccess().
bool sendCommand(CdDevice& device, const uint8_t* cdb, size_t cdbLength, void* data, size_t dataLength,
    DataDirection direction);

// Exclusive volume lock against other users of the drive (flock on a real drive). Lock does
// nothing when already locked, unlock nothing when not locked; both answer success then. Otherwise
// they answer the transport's outcome (0x8007000B when another user holds the lock), and
// device.volumeLocked records whether this device holds it.
ErrorCode lockVolume(CdDevice& device);
ErrorCode unlockVolume(CdDevice& device);

// Opens the transport for a path directly, without the opener thread: real drives through SG_IO,
// "demo:" and "image:..." (or any path an emulated drive is installed under) through an
// EmulatedDrive. Null with error set on failure. May block (spinning drive, open delay).
std::unique_ptr<ScsiTransport> openTransport(const std::string& path, ErrorCode& error);

} // namespace tonvane
