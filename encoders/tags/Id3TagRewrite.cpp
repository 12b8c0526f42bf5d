#include "encoders/tags/Id3TagRewrite.h"

#include "encoders/mp3/Id3Tag.h"

#include <cstring>
#include <vector>

namespace tonvane {

namespace {

constexpr size_t kFrameIdBytes = 4;
constexpr uint8_t kEncodingLatin1 = 0;
constexpr uint32_t kCopyPadding = 1024; // [bytes] left for later edits in a rewritten copy
constexpr uint32_t kMaxTag = 64u << 20; // [bytes] beyond this the tag is not ours to edit

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameName(const uint8_t* text, size_t size, const char* name)
{
    size_t length = std::strlen(name);
    if (size < length + 1 || text[length] != 0)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (upper(static_cast<char>(text[i])) != name[i])
            return false;
    return true;
}

// A TXXX frame whose description is one of the four ReplayGain names (single-byte encodings).
bool isReplayGainFrame(const uint8_t* frame, size_t bodyBytes)
{
    if (std::memcmp(frame, "TXXX", kFrameIdBytes) != 0 || bodyBytes < 1)
        return false;
    const uint8_t* body = frame + id3::kHeaderSize;
    if (body[0] != kEncodingLatin1 && body[0] != id3::kEncodingUtf8)
        return false;
    for (const char* name : {kTrackGainName, kTrackPeakName, kAlbumGainName, kAlbumPeakName})
        if (sameName(body + 1, bodyBytes - 1, name))
            return true;
    return false;
}

void appendUserText(std::vector<uint8_t>& frames, const char* description, const std::string& value)
{
    size_t length = std::strlen(description);
    uint32_t body = static_cast<uint32_t>(1 + length + 1 + value.size());
    uint8_t header[id3::kHeaderSize] = {'T', 'X', 'X', 'X'};
    writeSyncsafe(header + 4, body);
    frames.insert(frames.end(), header, header + id3::kHeaderSize);
    frames.push_back(id3::kEncodingUtf8);
    frames.insert(frames.end(), description, description + length);
    frames.push_back(0);
    frames.insert(frames.end(), value.begin(), value.end());
}

// The tag's frames without earlier ReplayGain frames, then the new ones; the padding dropped.
bool rebuildFrames(const std::vector<uint8_t>& body, const LoudnessTags& tags, std::vector<uint8_t>& frames,
                   TagRewriteIo& io)
{
    size_t at = 0;
    while (at + id3::kHeaderSize <= body.size() && body[at] != 0) {
        const uint8_t* frame = body.data() + at;
        for (size_t i = 0; i < kFrameIdBytes; ++i) {
            bool valid = (frame[i] >= 'A' && frame[i] <= 'Z') || (frame[i] >= '0' && frame[i] <= '9');
            if (!valid) {
                io.setProblem("damaged ID3v2 frame");
                return false;
            }
        }
        size_t bytes = readSyncsafe(frame + 4);
        if (bytes > body.size() - at - id3::kHeaderSize) {
            io.setProblem("an ID3v2 frame reaches past its tag");
            return false;
        }
        if (!isReplayGainFrame(frame, bytes))
            frames.insert(frames.end(), frame, frame + id3::kHeaderSize + bytes);
        at += id3::kHeaderSize + bytes;
    }
    for (size_t i = at; i < body.size(); ++i) {
        if (body[i] != 0) {
            io.setProblem("stray bytes in the ID3v2 padding");
            return false;
        }
    }
    for (const auto& [name, value] : std::vector<std::pair<const char*, std::string>>{
             {kTrackGainName, tags.trackGain}, {kTrackPeakName, tags.trackPeak}})
        appendUserText(frames, name, value);
    if (tags.hasAlbum()) {
        appendUserText(frames, kAlbumGainName, tags.albumGain);
        appendUserText(frames, kAlbumPeakName, tags.albumPeak);
    }
    return true;
}

std::vector<uint8_t> tagOf(const std::vector<uint8_t>& frames, size_t bodyBytes)
{
    std::vector<uint8_t> tag = {'I', 'D', '3', id3::kMajorVersion, 0, 0, 0, 0, 0, 0};
    writeSyncsafe(tag.data() + 6, static_cast<uint32_t>(bodyBytes));
    tag.insert(tag.end(), frames.begin(), frames.end());
    tag.resize(id3::kHeaderSize + bodyBytes, 0);
    return tag;
}

bool rewriteInPlace(TagRewriteIo& io, const std::vector<uint8_t>& header, const std::vector<uint8_t>& body,
                    const std::vector<uint8_t>& tag)
{
    if (io.writeAt(0, tag.data(), tag.size()) && io.syncSource())
        return true;
    std::vector<uint8_t> original = header;
    original.insert(original.end(), body.begin(), body.end());
    if (io.writeAt(0, original.data(), original.size()))
        io.syncSource();
    return false;
}

} // namespace

bool rewriteId3Tags(const std::string& path, const LoudnessTags& tags, TagRewriteIo& io)
{
    std::vector<uint8_t> header(id3::kHeaderSize);
    bool done = io.openForUpdate(path) && io.readAt(0, header.data(), header.size());
    if (done && (std::memcmp(header.data(), "ID3", 3) != 0 || header[3] != id3::kMajorVersion || header[5] != 0)) {
        io.setProblem("not an MP3 file with a plain ID3v2.4 tag in front");
        done = false;
    }
    uint32_t bodyBytes = done ? readSyncsafe(header.data() + 6) : 0;
    if (done && (bodyBytes > kMaxTag || id3::kHeaderSize + uint64_t(bodyBytes) > io.size())) {
        io.setProblem("the ID3v2 tag reaches past the file");
        done = false;
    }
    std::vector<uint8_t> body(bodyBytes);
    std::vector<uint8_t> frames;
    done = done && (bodyBytes == 0 || io.readAt(id3::kHeaderSize, body.data(), body.size())) &&
           rebuildFrames(body, tags, frames, io);
    if (done && frames.size() <= bodyBytes) {
        done = rewriteInPlace(io, header, body, tagOf(frames, bodyBytes));
    } else if (done) {
        std::vector<uint8_t> tag = tagOf(frames, frames.size() + kCopyPadding);
        done = tag.size() < id3::kSyncsafeLimit && io.createTemporary(path) && io.append(tag.data(), tag.size()) &&
               io.copyRest(id3::kHeaderSize + uint64_t(bodyBytes)) && io.commitTemporary();
    }
    io.close();
    return done;
}

} // namespace tonvane
