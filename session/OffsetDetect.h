#pragma once
#include "session/AccurateRipLookup.h"
#include "cdrom/accuraterip/OffsetDetection.h"
#include "core/disc/ConversionJob.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tonvane {

// How a search for the drive's read offset ended.
enum class OffsetDetectState : uint8_t {
    Found, // answer.offset holds the offset most tracks agree on
    NoToc, // the table of contents could not be read
    NoRecord, // AccurateRip has no usable record of the disc (record.note says why)
    CannotOpen, // the drive did not open for reading
    NoEvidence, // no track's window matched at exactly one offset (or two offsets tie)
    Cancelled,
};

struct OffsetDetectResult {
    OffsetDetectState state = OffsetDetectState::NoToc;
    AccurateRipRecord record;
    std::vector<TrackOffsetEvidence> evidence; // one per audio track read so far
    OffsetAnswer answer;
};

struct OffsetDetectRequest {
    std::string drive;
    std::string accurateRipServer; // HOST[:PORT]; empty = the database
    std::string cacheFolder; // AccurateRip records; empty = none
    // After the record and after each track's window: tracks weighed of the total. Called on
    // the searching thread.
    std::function<void(int32_t done, int32_t total)> progress;
    const std::atomic<bool>* stop = nullptr; // set: the search ends before its next read
    FetchCancel* fetchCancel = nullptr; // cancels the record's request
};

// The read offset of the drive holding job's disc (loaded from request.drive): the AccurateRip
// record of the disc, then for each audio track the 11 sectors around its sector 450 read
// without correction and matched against the record's checksums of that track. Nothing is
// stored. Blocks its caller for the record's request and the reads.
OffsetDetectResult detectReadOffset(const ConversionJob& job, const OffsetDetectRequest& request);

} // namespace tonvane
