#include "encoders/tags/FlacTagRewrite.h"

#include "encoders/tags/CommentList.h"

#include <cstring>
#include <vector>

namespace tonvane {

namespace {

constexpr uint8_t kMarker[4] = {'f', 'L', 'a', 'C'};
constexpr size_t kMarkerBytes = 4;
constexpr size_t kBlockHeaderBytes = 4; // last flag + type, 24-bit length
constexpr uint8_t kLastBlock = 0x80;
constexpr uint8_t kTypeMask = 0x7F;
constexpr uint8_t kTypeStreamInfo = 0;
constexpr uint8_t kTypePadding = 1;
constexpr uint8_t kTypeComment = 4;
constexpr uint8_t kTypeInvalid = 127;
constexpr uint32_t kMaxBlockLength = 0xFFFFFF; // [bytes] what 24 bits hold
constexpr uint64_t kMaxMetadata = 64u << 20; // [bytes] beyond this the file is not ours to edit
constexpr uint32_t kCopyPadding = 1024; // [bytes] left for later edits in a rewritten copy

struct Block {
    uint8_t type = 0;
    std::vector<uint8_t> body;
};

void appendBlock(std::vector<uint8_t>& out, uint8_t type, const std::vector<uint8_t>& body, bool last)
{
    out.push_back(static_cast<uint8_t>(type | (last ? kLastBlock : 0)));
    uint32_t length = static_cast<uint32_t>(body.size());
    out.push_back(static_cast<uint8_t>(length >> 16));
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), body.begin(), body.end());
}

// The blocks between the marker and the first frame; audioStart = where the frames begin.
bool readBlocks(TagRewriteIo& io, std::vector<Block>& blocks, uint64_t& audioStart)
{
    uint8_t marker[kMarkerBytes];
    if (!io.readAt(0, marker, sizeof marker))
        return false;
    if (std::memcmp(marker, kMarker, kMarkerBytes) != 0) {
        io.setProblem("not a FLAC file (an ID3 tag in front is not supported)");
        return false;
    }
    uint64_t at = kMarkerBytes;
    for (bool last = false; !last;) {
        uint8_t header[kBlockHeaderBytes];
        if (!io.readAt(at, header, sizeof header))
            return false;
        last = (header[0] & kLastBlock) != 0;
        Block block;
        block.type = header[0] & kTypeMask;
        uint32_t length = uint32_t(header[1]) << 16 | uint32_t(header[2]) << 8 | header[3];
        at += kBlockHeaderBytes;
        if (block.type == kTypeInvalid || at + length > io.size() || at + length > kMaxMetadata ||
            (blocks.empty() != (block.type == kTypeStreamInfo))) {
            io.setProblem("damaged FLAC metadata");
            return false;
        }
        block.body.resize(length);
        if (length > 0 && !io.readAt(at, block.body.data(), length))
            return false;
        at += length;
        blocks.push_back(std::move(block));
    }
    audioStart = at;
    return true;
}

// The comment block's body with the tags in; a file without one gets one after STREAMINFO.
bool putComments(std::vector<Block>& blocks, const LoudnessTags& tags, TagRewriteIo& io)
{
    Block* comment = nullptr;
    for (Block& block : blocks) {
        if (block.type != kTypeComment)
            continue;
        if (comment) {
            io.setProblem("two VORBIS_COMMENT blocks");
            return false;
        }
        comment = &block;
    }
    CommentList list;
    if (comment) {
        size_t used = 0;
        std::optional<CommentList> parsed = CommentList::parse(comment->body.data(), comment->body.size(), used);
        if (!parsed) {
            io.setProblem("damaged VORBIS_COMMENT block");
            return false;
        }
        list = std::move(*parsed);
    } else {
        blocks.insert(blocks.begin() + 1, Block{kTypeComment, {}});
        comment = &blocks[1];
    }
    putReplayGain(list, tags);
    comment->body = list.serialize();
    if (comment->body.size() > kMaxBlockLength) {
        io.setProblem("the comments do not fit a FLAC block");
        return false;
    }
    return true;
}

// Every block but the padding, in order, then padding to make exactly room bytes; empty when
// they do not fit.
std::vector<uint8_t> metadataOfSize(const std::vector<Block>& blocks, uint64_t room)
{
    std::vector<const Block*> kept;
    uint64_t bytes = 0;
    for (const Block& block : blocks) {
        if (block.type == kTypePadding)
            continue;
        kept.push_back(&block);
        bytes += kBlockHeaderBytes + block.body.size();
    }
    bool exact = bytes == room;
    if (!exact && (bytes + kBlockHeaderBytes > room || room - bytes - kBlockHeaderBytes > kMaxBlockLength))
        return {};
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(room));
    for (size_t i = 0; i < kept.size(); ++i)
        appendBlock(out, kept[i]->type, kept[i]->body, exact && i + 1 == kept.size());
    if (!exact)
        appendBlock(out, kTypePadding, std::vector<uint8_t>(static_cast<size_t>(room - bytes - kBlockHeaderBytes)),
                    true);
    return out;
}

uint64_t metadataBytesWithout(const std::vector<Block>& blocks)
{
    uint64_t bytes = 0;
    for (const Block& block : blocks)
        if (block.type != kTypePadding)
            bytes += kBlockHeaderBytes + block.body.size();
    return bytes;
}

bool rewriteInPlace(TagRewriteIo& io, const std::vector<uint8_t>& metadata)
{
    std::vector<uint8_t> original(metadata.size());
    if (!io.readAt(kMarkerBytes, original.data(), original.size()))
        return false;
    if (io.writeAt(kMarkerBytes, metadata.data(), metadata.size()) && io.syncSource())
        return true;
    // Whatever part of the new metadata reached the file goes back to what it was.
    if (io.writeAt(kMarkerBytes, original.data(), original.size()))
        io.syncSource();
    return false;
}

bool rewriteIntoCopy(TagRewriteIo& io, const std::string& path, const std::vector<Block>& blocks,
                     uint64_t audioStart)
{
    std::vector<uint8_t> metadata =
        metadataOfSize(blocks, metadataBytesWithout(blocks) + kBlockHeaderBytes + kCopyPadding);
    return !metadata.empty() && io.createTemporary(path) && io.append(kMarker, kMarkerBytes) &&
           io.append(metadata.data(), metadata.size()) && io.copyRest(audioStart) && io.commitTemporary();
}

} // namespace

bool rewriteFlacTags(const std::string& path, const LoudnessTags& tags, TagRewriteIo& io)
{
    std::vector<Block> blocks;
    uint64_t audioStart = 0;
    bool done = io.openForUpdate(path) && readBlocks(io, blocks, audioStart) && putComments(blocks, tags, io);
    if (done) {
        std::vector<uint8_t> metadata = metadataOfSize(blocks, audioStart - kMarkerBytes);
        done = metadata.empty() ? rewriteIntoCopy(io, path, blocks, audioStart) : rewriteInPlace(io, metadata);
    }
    io.close();
    return done;
}

} // namespace tonvane
