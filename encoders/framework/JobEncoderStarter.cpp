#include "encoders/framework/JobEncoderStarter.h"

#include "encoders/framework/EncoderThread.h"

namespace tonvane {

bool JobEncoderStarter::startEncoder(Thread& thread, ConversionJob& job, int32_t trackIndex, AudioStream& stream)
{
    TrackEntry& entry = job.tracks[trackIndex];
    TrackFiles files = trackFilesOf(job, trackIndex);
    if (files.finalPath.empty() || !job.sink)
        return false;
    return launchEncoder(thread, entry.format, files, entry.quality, entry.byteSize(), stream, *job.sink, trackIndex,
                         entry);
}

} // namespace tonvane
