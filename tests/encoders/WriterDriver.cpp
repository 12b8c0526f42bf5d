#include "WriterDriver.h"

#include "core/ProductConfig.h"
#include "encoders/flac/FlacWriter.h"
#include "encoders/mp3/Mp3Writer.h"
#include "encoders/opus/OpusWriter.h"
#include "encoders/vorbis/VorbisWriter.h"

#include <algorithm>

namespace tonvane::test {

std::unique_ptr<FormatWriter> makeWriter(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Mp3: return std::make_unique<Mp3Writer>();
    case OutputKind::Vorbis: return std::make_unique<VorbisWriter>();
    case OutputKind::Flac: return std::make_unique<FlacWriter>();
    case OutputKind::Opus: return std::make_unique<OpusWriter>();
    }
    return nullptr;
}

const char* extensionOf(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Mp3: return ".mp3";
    case OutputKind::Vorbis: return ".ogg";
    case OutputKind::Flac: return ".flac";
    case OutputKind::Opus: return ".opus";
    }
    return "";
}

EncodeOutcome encodeTrack(OutputKind kind, const EncodeRequest& request)
{
    const std::unique_ptr<FormatWriter> writer = makeWriter(kind);
    return encodeWith(*writer, request);
}

EncodeOutcome encodeWith(FormatWriter& writer, const EncodeRequest& request)
{
    static const std::vector<uint8_t> kNoAudio;
    const std::vector<uint8_t>& pcm = request.pcm ? *request.pcm : kNoAudio;
    const uint64_t total = request.totalBytes == UINT64_MAX ? pcm.size() : request.totalBytes;

    EncodeOutcome outcome;
    outcome.opened = writer.open(request.path, request.quality, request.tags, total);
    outcome.allWritten = true;
    for (size_t at = 0; at < pcm.size(); at += request.chunkBytes) {
        const size_t chunk = std::min(request.chunkBytes, pcm.size() - at);
        outcome.allWritten = writer.write(pcm.data() + at, chunk) && outcome.allWritten;
    }
    outcome.finished = writer.finish();
    return outcome;
}

std::u16string widePath(const std::string& utf8)
{
    return std::u16string(WideString::fromUtf8(utf8).view());
}

WideString wide(const char* utf8)
{
    return WideString::fromUtf8(utf8);
}

TrackTags sampleTags()
{
    TrackTags tags;
    tags.encoder = WideString(std::u16string_view(product::kEncoderText));
    tags.album = wide("Группа крови");
    tags.title = wide("夜に駆ける");
    tags.artist = wide("Кино");
    tags.composer = wide("Кино");
    tags.year = wide("1988");
    tags.trackNumber = wide("7");
    tags.genre = wide("Rock");
    tags.discId = wide("7b0a2e09");
    return tags;
}

} // namespace tonvane::test

#include "cdrom/rip/AudioStream.h"
#include "core/disc/EncoderFormat.h"
#include "core/foundation/Clock.h"
#include "encoders/framework/EncoderThread.h"

#include <atomic>
#include <thread>

namespace tonvane::test {

namespace {
class NullSink : public ProgressSink {
public:
    void onProgress(int32_t, double fraction) override { last = fraction; }
    void onFinished() override {}
    bool isCancelled() override { return false; }
    std::atomic<double> last{0.0};
};

int32_t formatOf(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Mp3: return kFormatMp3;
    case OutputKind::Vorbis: return kFormatVorbis;
    case OutputKind::Flac: return kFormatFlac;
    case OutputKind::Opus: return kFormatOpus;
    }
    return -1;
}
} // namespace

EncodeOutcome encodeThroughEncoderThread(OutputKind kind, const EncodeRequest& request)
{
    static const std::vector<uint8_t> kNoAudio;
    const std::vector<uint8_t>& pcm = request.pcm ? *request.pcm : kNoAudio;
    if (request.chunkBytes != kEncoderChunk || (request.totalBytes != UINT64_MAX && request.totalBytes != pcm.size()))
        return encodeTrack(kind, request);

    AudioStream stream;
    if (!stream.allocate())
        return {};
    TrackEntry entry;
    entry.tags = request.tags;
    NullSink sink;
    Thread encoder;
    // The file is written under a temporary name and renamed to request.path once whole.
    TrackFiles files{WideString(std::u16string_view(request.path + u".part")),
                     WideString(std::u16string_view(request.path)), ExistingFiles::Replace};
    if (!launchEncoder(encoder, formatOf(kind), files, request.quality,
                       pcm.size(), stream, sink, 0, entry))
        return {};
    // The rip thread's side: 16-sector pieces while the stream has room.
    constexpr size_t kPiece = 16 * 2352;
    for (size_t at = 0; at < pcm.size();) {
        size_t n = std::min(kPiece, pcm.size() - at);
        if (stream.write(pcm.data() + at, n))
            at += n;
        else
            sleepMs(1);
    }
    encoder.join();
    EncodeOutcome outcome;
    bool done = entry.status.load() == TrackStatus::Done && (pcm.empty() || sink.last.load() == 1.0);
    outcome.opened = outcome.allWritten = outcome.finished = done;
    return outcome;
}

} // namespace tonvane::test
