#pragma once
#include "core/foundation/ErrorCode.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tonvane {

inline constexpr size_t kSenseBufferBytes = 252; // [bytes] sense buffer of every request
inline constexpr size_t kMaxCdbBytes = 16; // [bytes]

// SCSI status byte mask: drops the vendor and reserved bits.
inline constexpr uint8_t kScsiStatusMask = 0x3E;
inline constexpr uint8_t kScsiStatusGood = 0x00;
inline constexpr uint8_t kScsiStatusCheckCondition = 0x02;

// Sense keys the program looks at.
inline constexpr uint8_t kSenseKeyNoSense = 0x0;
inline constexpr uint8_t kSenseKeyNotReady = 0x2;
inline constexpr uint8_t kSenseKeyMediumError = 0x3;
inline constexpr uint8_t kSenseKeyHardwareError = 0x4;
inline constexpr uint8_t kSenseKeyIllegalRequest = 0x5;
inline constexpr uint8_t kSenseKeyUnitAttention = 0x6;

// The outcome of the last command sent to a drive. Cleared before each command.
struct CommandResult {
    uint8_t status = 0; // SCSI status & 0x3E; 0 = GOOD
    uint8_t responseCode = 0; // sense byte 0 & 0x7F
    uint8_t senseKey = 0; // low 4 bits
    uint8_t asc = 0; // additional sense code
    uint8_t ascq = 0; // additional sense code qualifier
    std::array<uint8_t, kMaxCdbBytes> command{}; // copy of the CDB sent, rest zero
    ErrorCode error = kSuccess; // transport failure as 0x8007xxxx, 0 when the command reached the drive
    std::array<uint8_t, kSenseBufferBytes> senseData{}; // raw sense of the last failed command
    size_t residual = 0; // [bytes] of the data phase not transferred (answers may be shorter)

    bool isSuccess() const { return status == kScsiStatusGood && error == kSuccess; }
    void clear() { *this = CommandResult{}; }
};

// Fills responseCode, senseKey, asc and ascq from raw sense bytes: fixed format (0x70, 0x71)
// keeps the key in byte 2 and ASC/ASCQ in bytes 12/13, descriptor format (0x72, 0x73) in bytes
// 1, 2 and 3. Reads only inside [sense, sense + length); unknown formats leave the fields zero.
void parseSense(CommandResult& result, const uint8_t* sense, size_t length);

} // namespace tonvane
