#include "encoders/tags/LoudnessRetag.h"

#include "encoders/tags/FlacTagRewrite.h"
#include "encoders/tags/Id3TagRewrite.h"
#include "encoders/tags/OggCommentRewrite.h"

#include <cstring>

namespace tonvane {

RetagResult writeLoudnessTags(const std::string& path, const LoudnessTags& tags, std::string& problem, int failAt)
{
    uint8_t magic[4] = {};
    {
        TagRewriteIo probe;
        if (!probe.openForReading(path) || !probe.readAt(0, magic, sizeof magic)) {
            problem = probe.problem();
            return RetagResult::Failed;
        }
    }
    TagRewriteIo io(failAt);
    bool written = false;
    if (std::memcmp(magic, "RIFF", 4) == 0)
        return RetagResult::NoTags;
    if (std::memcmp(magic, "fLaC", 4) == 0)
        written = rewriteFlacTags(path, tags, io);
    else if (std::memcmp(magic, "ID3", 3) == 0)
        written = rewriteId3Tags(path, tags, io);
    else if (std::memcmp(magic, "OggS", 4) == 0)
        written = rewriteOggComments(path, tags, io);
    else
        io.setProblem("not a FLAC, MP3 or Ogg file");
    problem = written ? std::string() : io.problem();
    return written ? RetagResult::Written : RetagResult::Failed;
}

} // namespace tonvane
