#include "WriterDriver.h"

#include "core/ProductConfig.h"
#include "encoders/flac/FlacWriter.h"
#include "encoders/mp3/Mp3Writer.h"
#include "encoders/vorbis/VorbisWriter.h"

#include <algorithm>

namespace tonvane::test {

std::unique_ptr<FormatWriter> makeWriter(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Mp3: return std::make_unique<Mp3Writer>();
    case OutputKind::Vorbis: return std::make_unique<VorbisWriter>();
    case OutputKind::Flac: return std::make_unique<FlacWriter>();
    }
    return nullptr;
}

const char* extensionOf(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Mp3: return ".mp3";
    case OutputKind::Vorbis: return ".ogg";
    case OutputKind::Flac: return ".flac";
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
