#pragma once
#include "core/disc/TrackTags.h"
#include "encoders/FormatWriter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tonvane::test {

enum class OutputKind { Mp3, Vorbis, Flac, Opus };

inline constexpr size_t kEncoderChunk = 16384; // [bytes] what the encoder thread hands over

struct EncodeRequest {
    std::u16string path;
    uint32_t quality = 0;
    TrackTags tags;
    const std::vector<uint8_t>* pcm = nullptr;
    // What the track announces; defaults to the PCM's size. Larger when a cancel is emulated.
    uint64_t totalBytes = UINT64_MAX;
    size_t chunkBytes = kEncoderChunk;
};

struct EncodeOutcome {
    bool opened = false;
    bool allWritten = false; // every write answered true
    bool finished = false;
    bool ok() const { return opened && allWritten && finished; }
};

std::unique_ptr<FormatWriter> makeWriter(OutputKind kind);
const char* extensionOf(OutputKind kind);

// Encodes a track as the encoder thread does: open, chunks of at most chunkBytes, finish (also
// after a failed write). Every test goes through here, so the tests can later drive the encoder
// thread loop instead of a bare writer.
EncodeOutcome encodeTrack(OutputKind kind, const EncodeRequest& request);
EncodeOutcome encodeWith(FormatWriter& writer, const EncodeRequest& request);

std::u16string widePath(const std::string& utf8);
// The tags of a typical matched disc, with Cyrillic and Japanese texts.
TrackTags sampleTags();
WideString wide(const char* utf8);

} // namespace tonvane::test

namespace tonvane::test {

// The same through the program's own path: the PCM goes into an AudioStream from a producer
// thread and the format's encoder thread (launchEncoder) drains it into the writer. Requests
// with another chunk size or an announced total other than the PCM's size go straight to the
// writer (encodeWith), since the encoder thread only ever hands over 16384-byte chunks.
EncodeOutcome encodeThroughEncoderThread(OutputKind kind, const EncodeRequest& request);

} // namespace tonvane::test
