#pragma once
#include "cdrom/device/CommandResult.h"
#include "core/foundation/ErrorCode.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tonvane {

// Direction of a command's data phase, with the values of the pass-through block's DataIn field.
// Commands without data are sent as In with length 0.
enum class DataDirection : uint8_t {
    Out = 0, // host to drive (SET STREAMING)
    In = 1, // drive to host (every other command)
};

// One command as a transport sees it. data may be null when dataLength is 0.
struct ScsiRequest {
    const uint8_t* cdb = nullptr;
    size_t cdbLength = 0; // 6, 10 or 12
    uint8_t* data = nullptr;
    size_t dataLength = 0; // [bytes]
    DataDirection direction = DataDirection::In;
    uint32_t timeoutSeconds = 120;
};

// What came back: the raw status byte, the sense bytes the target returned, and the transport's
// own failure (0x8007xxxx) when the command could not be delivered at all.
struct ScsiReply {
    uint8_t status = 0;
    ErrorCode error = kSuccess;
    std::array<uint8_t, kSenseBufferBytes> sense{};
    size_t senseLength = 0; // [bytes] valid sense bytes
    size_t residual = 0; // [bytes] of the data phase the drive did not transfer
};

// An open connection to one drive. Owned by a CdDevice; used by one thread at a time.
// Destroying it closes the connection and drops any volume lock it holds.
class ScsiTransport {
public:
    virtual ~ScsiTransport() = default;
    virtual void execute(const ScsiRequest& request, ScsiReply& reply) = 0;
    // Exclusive, non-blocking: a second holder of the same drive is refused (0x8007000B).
    virtual ErrorCode lockVolume() = 0;
    virtual ErrorCode unlockVolume() = 0;
};

} // namespace tonvane
