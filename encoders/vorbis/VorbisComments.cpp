#include "encoders/vorbis/VorbisComments.h"

namespace tonvane {

std::vector<VorbisComment> vorbisComments(const TrackTags& tags)
{
    std::vector<VorbisComment> comments;
    comments.push_back({"ENCODER", tags.encoder.toUtf8()});
    auto addIfSet = [&comments](const char* name, const WideString& text) {
        if (!text.empty())
            comments.push_back({name, text.toUtf8()});
    };
    addIfSet("DISCID", tags.discId);
    addIfSet("ALBUM", tags.album);
    addIfSet("TITLE", tags.title);
    addIfSet("ARTIST", tags.artist);
    // Composer and artist are the same text on a CD; the artist is the one filled in reliably.
    addIfSet("COMPOSER", tags.artist);
    addIfSet("DATE", tags.year);
    addIfSet("GENRE", tags.genre);
    addIfSet("TRACKNUMBER", tags.trackNumber);
    return comments;
}

} // namespace tonvane
