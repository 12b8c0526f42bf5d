#pragma once
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

// The writer of a format, or null for a value outside 0 to 3.
std::unique_ptr<FormatWriter> makeFormatWriter(int32_t format);

// Starts the encoder thread of one track: it pulls total bytes from stream in 16384-byte chunks,
// hands them to the format's writer, reports progress and finishes the file, also when cancelled
// or when the rip thread gives the track up. entry receives the outcome in its status.
// Answers false (thread not joinable) for an unknown format or when no thread could be started.
bool launchEncoder(Thread& thread, int32_t format, const WideString& outputPath, uint32_t quality,
                   uint64_t totalBytes, AudioStream& stream, ProgressSink& sink, int32_t trackIndex,
                   TrackEntry& entry);

// One launcher per format, as the track's format chooses.
bool launchMp3Encoder(Thread& thread, const WideString& outputPath, uint32_t quality, uint64_t totalBytes,
                      AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry);
bool launchVorbisEncoder(Thread& thread, const WideString& outputPath, uint32_t quality, uint64_t totalBytes,
                         AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry);
bool launchFlacEncoder(Thread& thread, const WideString& outputPath, uint32_t quality, uint64_t totalBytes,
                       AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry);
bool launchWavEncoder(Thread& thread, const WideString& outputPath, uint32_t quality, uint64_t totalBytes,
                      AudioStream& stream, ProgressSink& sink, int32_t trackIndex, TrackEntry& entry);

} // namespace tonvane
