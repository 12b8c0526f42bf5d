#pragma once
#include "core/disc/ConversionJob.h"
#include "core/foundation/Thread.h"

namespace tonvane {

class AudioStream;

// Starts the encoder thread of one track on a lane's stream (the encoders implement it; the rip
// thread cannot see them). False when no thread could be started; thread then is not joinable.
class TrackEncoderStarter {
public:
    virtual ~TrackEncoderStarter() = default;
    virtual bool startEncoder(Thread& thread, ConversionJob& job, int32_t trackIndex, AudioStream& stream) = 0;
};

} // namespace tonvane
