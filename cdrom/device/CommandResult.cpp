#include "cdrom/device/CommandResult.h"

namespace tonvane {

namespace {
constexpr uint8_t kResponseCodeMask = 0x7F;
constexpr uint8_t kFixedCurrent = 0x70;
constexpr uint8_t kFixedDeferred = 0x71;
constexpr uint8_t kDescriptorCurrent = 0x72;
constexpr uint8_t kDescriptorDeferred = 0x73;
constexpr size_t kFixedSenseKey = 2;
constexpr size_t kFixedAsc = 12;
constexpr size_t kFixedAscq = 13;
constexpr size_t kDescriptorSenseKey = 1;
constexpr size_t kDescriptorAsc = 2;
constexpr size_t kDescriptorAscq = 3;
constexpr uint8_t kSenseKeyMask = 0x0F;

uint8_t byteAt(const uint8_t* bytes, size_t length, size_t index) { return index < length ? bytes[index] : 0; }
} // namespace

void parseSense(CommandResult& result, const uint8_t* sense, size_t length)
{
    result.responseCode = result.senseKey = result.asc = result.ascq = 0;
    if (sense == nullptr || length == 0)
        return;
    result.responseCode = sense[0] & kResponseCodeMask;
    switch (result.responseCode) {
    case kFixedCurrent:
    case kFixedDeferred:
        result.senseKey = byteAt(sense, length, kFixedSenseKey) & kSenseKeyMask;
        result.asc = byteAt(sense, length, kFixedAsc);
        result.ascq = byteAt(sense, length, kFixedAscq);
        break;
    case kDescriptorCurrent:
    case kDescriptorDeferred:
        result.senseKey = byteAt(sense, length, kDescriptorSenseKey) & kSenseKeyMask;
        result.asc = byteAt(sense, length, kDescriptorAsc);
        result.ascq = byteAt(sense, length, kDescriptorAscq);
        break;
    default:
        break;
    }
}

} // namespace tonvane
