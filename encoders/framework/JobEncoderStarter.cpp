#include "encoders/framework/JobEncoderStarter.h"

#include "encoders/framework/EncoderThread.h"

namespace tonvane {

bool JobEncoderStarter::startEncoder(Thread& thread, ConversionJob& job, int32_t trackIndex, AudioStream& stream)
{
    TrackEntry& entry = job.tracks[trackIndex];
    WideString path = job.outputPath(trackIndex);
    if (path.empty() || !job.sink)
        return false;
    return launchEncoder(thread, entry.format, path, entry.quality, entry.byteSize(), stream, *job.sink, trackIndex,
                         entry);
}

} // namespace tonvane
