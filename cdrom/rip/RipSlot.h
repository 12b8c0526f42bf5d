#pragma once
#include "cdrom/rip/AudioStream.h"
#include "core/foundation/Thread.h"

#include <cstdint>
#include <vector>

namespace tonvane {

// A lane's place in a shared encoder pool. Without a pool every lane works from the start.
enum class LaneToken : uint8_t {
    Unpooled, // no pool: the lane's stream is allocated when the rip starts
    Idle, // waits for a token; its stream is allocated when it first gets one
    Held, // holds a token: its track's encoder runs
    NoStream, // its stream could not be allocated: the lane takes no track
};

// One lane of a conversion: a stream, the sector range still to read of the lane's track, and
// the track's encoder thread.
struct RipSlot {
    AudioStream stream;
    int32_t nextSector = 0; // [LBA]
    int32_t endSector = 0; // [LBA] one past the track
    Thread encoder;
    int32_t trackIndex = -1; // -1: the lane has no track (its stream could not be allocated)
    bool trackFailed = false; // the current track was given up; its encoder must end before reuse
    std::vector<Thread> finishing; // earlier encoders of this lane, joined before the job ends
    std::vector<uint8_t> checkedPcm; // secure reading: the whole track, read and checked
    bool checked = false; // checkedPcm holds the current track
    LaneToken token = LaneToken::Unpooled;
    bool full = false; // the last fill stopped for lack of room: the encoder is behind the drive

    bool usable() const { return stream.allocated(); }
};

} // namespace tonvane
