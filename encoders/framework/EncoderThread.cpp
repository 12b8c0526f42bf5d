#include "encoders/framework/EncoderThread.h"

#include "cdrom/rip/AudioStream.h"
#include "encoders/flac/FlacWriter.h"
#include "encoders/framework/OutputFile.h"
#include "encoders/mp3/Mp3Writer.h"
#include "encoders/opus/OpusWriter.h"
#include "encoders/vorbis/VorbisWriter.h"
#include "encoders/wav/WavWriter.h"

#include <vector>

namespace tonvane {

namespace {

// The parameter block of one encoder thread, copied by the thread before the launcher returns.
struct EncoderJob {
    int32_t format;
    TrackFiles files;
    uint32_t quality;
    uint64_t total; // [bytes] of PCM for the whole track
    AudioStream* stream;
    ProgressSink* sink;
    int32_t trackIndex;
    TrackEntry* entry;
};

bool trackGivenUp(const TrackEntry& entry)
{
    return entry.status.load() == TrackStatus::Failed;
}

void encoderThreadMain(EncoderJob job)
{
    nameThisThread("encoder"); // else it inherits the name of the rip thread that starts it
    std::unique_ptr<FormatWriter> writer = makeFormatWriter(job.format);
    TrackEntry& entry = *job.entry;
    // A writer that cannot create its file still drains the stream, so the lane goes on.
    bool writerOk = writer && writer->open(job.files.partPath.view(), job.quality, entry.tags, job.total);
    bool readFailed = false;
    bool cancelled = false;

    std::vector<uint8_t> chunk(kEncoderChunkBytes);
    uint64_t remaining = job.total;
    size_t size = kEncoderChunkBytes;
    while (remaining > 0) {
        if (remaining < size)
            size = static_cast<size_t>(remaining);
        if (job.sink->isCancelled()) {
            cancelled = true;
            break;
        }
        // Block (not spin) until the rip thread delivers, polling cancel and the track's fate.
        while (!job.stream->read(chunk.data(), size)) {
            if (job.sink->isCancelled()) {
                cancelled = true;
                break;
            }
            if (trackGivenUp(entry) && job.stream->buffered() < size) {
                // The rip thread gave up reading this track. What is buffered is the end of the
                // audio; it is written too, and the file finished shorter (then removed).
                size_t rest = static_cast<size_t>(job.stream->buffered());
                if (rest > 0 && job.stream->read(chunk.data(), rest) && writerOk)
                    writerOk = writer->write(chunk.data(), rest);
                readFailed = true;
                break;
            }
            job.stream->waitForData(size, kEncoderWaitMs);
        }
        if (cancelled || readFailed)
            break;
        if (writerOk)
            writerOk = writer->write(chunk.data(), size);
        remaining -= size;
        uint64_t done = job.total - remaining;
        double base = entry.progressBase.load();
        double encoded = static_cast<double>(done) / static_cast<double>(job.total);
        job.sink->onProgress(job.trackIndex, remaining == 0 ? 1.0 : base + (1.0 - base) * encoded);
    }

    bool finished = writer && writer->finish();
    // The rip thread marks a track damaged before the audio of its silent sector enters the
    // stream, so by the last byte read here the mark is seen.
    TrackStatus outcome = TrackStatus::Done;
    if (!writerOk || !finished || readFailed || entry.damaged.load() != 0)
        outcome = TrackStatus::Failed;
    else if (cancelled)
        outcome = TrackStatus::Cancelled;
    if (outcome == TrackStatus::Done &&
        commitOutputFile(job.files.partPath.view(), job.files.finalPath.view(), job.files.existing) !=
            CommitResult::Committed)
        outcome = TrackStatus::Failed;
    if (outcome != TrackStatus::Done)
        removeOutputFile(job.files.partPath.view());
    entry.status.store(outcome);
}

bool launch(Thread& thread, int32_t format, const TrackFiles& files, uint32_t quality, uint64_t totalBytes,
            AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry)
{
    if (format < 0 || format >= kFormatCount)
        return false;
    EncoderJob job{format, files, quality, totalBytes, &stream, &sink, trackIndex, &entry};
    return startThreadWithCopy(thread, encoderThreadMain, job) == kSuccess;
}

} // namespace

bool launchEncoder(Thread& thread, int32_t format, const TrackFiles& files, uint32_t quality,
                   uint64_t totalBytes, AudioStream& stream, ProgressSink& sink, int32_t trackIndex,
                   TrackEntry& entry)
{
    return launch(thread, format, files, quality, totalBytes, stream, sink, trackIndex, entry);
}

bool launchMp3Encoder(Thread& thread, const TrackFiles& files, uint32_t quality, uint64_t totalBytes,
                      AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry)
{
    return launch(thread, kFormatMp3, files, quality, totalBytes, stream, sink, trackIndex, entry);
}

bool launchVorbisEncoder(Thread& thread, const TrackFiles& files, uint32_t quality, uint64_t totalBytes,
                         AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry)
{
    return launch(thread, kFormatVorbis, files, quality, totalBytes, stream, sink, trackIndex, entry);
}

bool launchFlacEncoder(Thread& thread, const TrackFiles& files, uint32_t quality, uint64_t totalBytes,
                       AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry)
{
    return launch(thread, kFormatFlac, files, quality, totalBytes, stream, sink, trackIndex, entry);
}

bool launchWavEncoder(Thread& thread, const TrackFiles& files, uint32_t quality, uint64_t totalBytes,
                      AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry)
{
    return launch(thread, kFormatWav, files, quality, totalBytes, stream, sink, trackIndex, entry);
}

bool launchOpusEncoder(Thread& thread, const TrackFiles& files, uint32_t quality, uint64_t totalBytes,
                       AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry)
{
    return launch(thread, kFormatOpus, files, quality, totalBytes, stream, sink, trackIndex, entry);
}

TrackFiles trackFilesOf(const ConversionJob& job, int32_t index)
{
    return TrackFiles{job.partPath(index), job.outputPath(index), job.existingFiles};
}

std::unique_ptr<FormatWriter> makeFormatWriter(int32_t format)
{
    switch (format) {
    case kFormatMp3:
        return std::make_unique<Mp3Writer>();
    case kFormatVorbis:
        return std::make_unique<VorbisWriter>();
    case kFormatFlac:
        return std::make_unique<FlacWriter>();
    case kFormatWav:
        return std::make_unique<WavWriter>();
    case kFormatOpus:
        return std::make_unique<OpusWriter>();
    default:
        return nullptr;
    }
}

} // namespace tonvane
