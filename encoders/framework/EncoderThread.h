#pragma once
#include "core/disc/ConversionJob.h"
#include "core/disc/EncoderFormat.h"
#include "core/disc/ProgressSink.h"
#include "core/disc/TrackEntry.h"
#include "core/foundation/Thread.h"
#include "core/foundation/WideString.h"
#include "encoders/FormatWriter.h"

#include <cstdint>
#include <memory>

namespace tonvane {

class AudioStream;

inline constexpr uint32_t kEncoderChunkBytes = 0x4000; // [bytes] 4096 sample frames per read
inline constexpr uint32_t kEncoderWaitMs = 50; // [ms] longest sleep before cancel is polled again

// Where a track's encoder writes: the temporary file while it encodes, the final name once the
// track is whole, and what to do when that name exists by then.
struct TrackFiles {
    WideString partPath;
    WideString finalPath;
    ExistingFiles existing = ExistingFiles::Refuse;
};

// The files of entry index of job (empty paths for an unknown format).
TrackFiles trackFilesOf(const ConversionJob& job, int32_t index);

// The writer of a format, or null for a value outside 0 to 4.
std::unique_ptr<FormatWriter> makeFormatWriter(int32_t format);

// Starts the encoder thread of one track: it pulls total bytes from stream in 16384-byte chunks,
// hands them to the format's writer at files.partPath, reports progress and finishes the file,
// also when cancelled or when the rip thread gives the track up. Only a track that is whole (every
// byte delivered, no sector of it unreadable, the writer's finish true) is renamed to
// files.finalPath and ends Done; any other outcome removes the temporary file and leaves the
// final name as it was. entry receives the outcome in its status.
// Answers false (thread not joinable) for an unknown format or when no thread could be started.
bool launchEncoder(Thread& thread, int32_t format, const TrackFiles& files, uint32_t quality,
                   uint64_t totalBytes, AudioStream& stream, ProgressSink& sink, int32_t trackIndex,
                   TrackEntry& entry);

// One launcher per format, as the track's format chooses.
bool launchMp3Encoder(Thread& thread, const TrackFiles& files, uint32_t quality, uint64_t totalBytes,
                      AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry);
bool launchVorbisEncoder(Thread& thread, const TrackFiles& files, uint32_t quality, uint64_t totalBytes,
                         AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry);
bool launchFlacEncoder(Thread& thread, const TrackFiles& files, uint32_t quality, uint64_t totalBytes,
                       AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry);
bool launchWavEncoder(Thread& thread, const TrackFiles& files, uint32_t quality, uint64_t totalBytes,
                      AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry);
bool launchOpusEncoder(Thread& thread, const TrackFiles& files, uint32_t quality, uint64_t totalBytes,
                       AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry);

} // namespace tonvane
