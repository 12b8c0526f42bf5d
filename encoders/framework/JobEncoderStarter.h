#pragma once
#include "cdrom/rip/TrackEncoderStarter.h"

namespace tonvane {

// Starts each track's encoder thread with the job's output path, the track's format and quality.
class JobEncoderStarter final : public TrackEncoderStarter {
public:
    bool startEncoder(Thread& thread, ConversionJob& job, int32_t trackIndex, AudioStream& stream) override;
};

} // namespace tonvane
