// Drive answers are untrusted: every parser on arbitrary bytes, and arbitrary commands sent to
// the emulated drive.
#include "cdrom/device/CommandResult.h"
#include "cdrom/emulated/EmulatedDrive.h"
#include "cdrom/mmc/MmcAnswers.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

namespace {
std::shared_ptr<tonvane::EmulatedDrive> drive()
{
    using namespace tonvane;
    static std::shared_ptr<EmulatedDrive> shared = [] {
        DiscDescription description;
        description.silentAudio = true;
        description.tracks = {{TrackKind::Audio, 300, 0, 0}, {TrackKind::Audio, 200, 150, 0}, {TrackKind::Data, 100, 0, 0}};
        description.dataSessionAfterAudio = true;
        EmulatedDriveConfig config;
        config.faults.readFaults = {{10, 1}};
        return std::make_shared<EmulatedDrive>(buildDisc(description), config);
    }();
    return shared;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tonvane;
    // Answers as a heap copy of exactly their size, so any read past the end is caught.
    std::vector<uint8_t> answer(data, data + size);
    std::span<const uint8_t> bytes(answer.data(), answer.size());

    DriveFeatures features = parseConfiguration(bytes);
    (void)features;
    (void)lastTrackInLastSession(bytes);
    (void)parseTrackInformation(bytes);
    if (auto toc = parseToc(bytes)) {
        if (toc->entries.size() > 100 || toc->entries.back().trackNumber != kLeadOutTrack)
            __builtin_trap();
        for (const TocEntry& entry : toc->entries)
            if (entry.trackNumber != kLeadOutTrack && (entry.trackNumber == 0 || entry.trackNumber > 99))
                __builtin_trap();
    }
    if (auto performance = firstPerformanceDescriptor(bytes))
        (void)streamingDescriptorFor(*performance);
    CommandResult result;
    parseSense(result, answer.data(), answer.size());

    // The first 12 bytes as a command to the emulated drive, the rest sizes the data buffer.
    if (size >= 12) {
        std::vector<uint8_t> buffer(size - 12 > 40000 ? 40000 : size - 12);
        ScsiRequest request;
        request.cdb = answer.data();
        request.cdbLength = 12;
        request.data = buffer.empty() ? nullptr : buffer.data();
        request.dataLength = buffer.size();
        request.direction = data[0] == 0xB6 ? DataDirection::Out : DataDirection::In;
        ScsiReply reply;
        drive()->execute(request, reply);
    }
    return 0;
}
