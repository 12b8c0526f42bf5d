#include "session/OffsetDetect.h"

#include "cdrom/accuraterip/AccurateRipChecksum.h"
#include "cdrom/accuraterip/OffsetSearch.h"
#include "cdrom/device/CdDevice.h"
#include "cdrom/mmc/MmcCommands.h"

namespace tonvane {

namespace {

bool stopped(const OffsetDetectRequest& request)
{
    return request.stop != nullptr && request.stop->load();
}

void tell(const OffsetDetectRequest& request, int32_t done, int32_t total)
{
    if (request.progress)
        request.progress(done, total);
}

} // namespace

OffsetDetectResult detectReadOffset(const ConversionJob& job, const OffsetDetectRequest& request)
{
    OffsetDetectResult result;
    std::optional<TocSnapshot> toc = readTocSnapshot(request.drive);
    if (!toc) {
        result.state = OffsetDetectState::NoToc;
        return result;
    }
    if (stopped(request)) {
        result.state = OffsetDetectState::Cancelled;
        return result;
    }
    result.record = fetchAccurateRipRecord(toc->id, request.accurateRipServer, request.cacheFolder, request.fetchCancel);
    if (stopped(request)) {
        result.state = OffsetDetectState::Cancelled;
        return result;
    }
    if (result.record.state != AccurateRipRecord::State::Found) {
        result.state = OffsetDetectState::NoRecord;
        return result;
    }
    tell(request, 0, job.count);
    CdDevice device;
    if (!openDevice(device, request.drive)) {
        result.state = OffsetDetectState::CannotOpen;
        return result;
    }
    std::vector<uint8_t> window(size_t{kOffsetWindowSectors} * kSectorBytes);
    // With a data track first the record's entries are shifted by one.
    size_t entryShift = toc->id.dataTrackFirst ? 1 : 0;
    for (int32_t i = 0; i < job.count; ++i) {
        if (stopped(request)) {
            closeDevice(device);
            result.state = OffsetDetectState::Cancelled;
            return result;
        }
        const TrackEntry& entry = job.tracks[size_t(i)];
        std::vector<uint32_t> crcs; // sector 450 of this track in each pressing the record knows
        for (const AccurateRipBlock& block : result.record.blocks) {
            size_t at = static_cast<size_t>(i) + entryShift;
            if (at < block.size() && block[at].confidence != 0)
                crcs.push_back(block[at].frame450Crc);
        }
        bool longEnough = entry.length >= static_cast<int32_t>(kOffsetFindingSector + kOffsetWindowSectors);
        uint32_t first = static_cast<uint32_t>(entry.start) + kOffsetFindingSector - kOffsetWindowBefore;
        bool read = longEnough && !crcs.empty() && readCd(device, first, kOffsetWindowSectors, window.data());
        result.evidence.push_back(weighOffsetWindow(entry.trackNumber, read ? window.data() : nullptr, crcs));
        tell(request, i + 1, job.count);
    }
    closeDevice(device);
    result.answer = decideReadOffset(result.evidence);
    result.state = result.answer.offset ? OffsetDetectState::Found : OffsetDetectState::NoEvidence;
    return result;
}

} // namespace tonvane
