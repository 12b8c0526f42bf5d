#pragma once
#include "core/disc/TrackTags.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tonvane {

// One output format's file writer, driven by an encoder thread: open, write PCM chunks (44100 Hz,
// 16-bit signed little-endian, stereo interleaved; at most 16384 bytes each), finish.
// A writer never throws; a false answer means the file is not whole, and the encoder thread
// marks the track failed but keeps draining its stream.
class FormatWriter {
public:
    virtual ~FormatWriter() = default;

    // Creates (replaces) the file at path and writes what comes before the audio. In a rip, path
    // is the track's temporary name; the encoder thread gives the file its final name.
    // totalBytes: the PCM bytes the track will deliver when complete (sectors x 2352).
    virtual bool open(std::u16string_view path, uint32_t quality, const TrackTags& tags, uint64_t totalBytes) = 0;
    // Encodes and appends bytes of PCM (a whole number of 4-byte sample frames).
    virtual bool write(const uint8_t* pcm, size_t bytes) = 0;
    // Flushes the encoder, completes headers from what was really written, syncs a whole file to
    // the disk, closes it and releases the encoder library's state. Called after a cancel or a
    // read failure too: the file is then valid but shorter (a rip removes it).
    virtual bool finish() = 0;
};

} // namespace tonvane
