#pragma once
#include "cdrom/rip/SecureReader.h"
#include "session/MatchList.h"

#include <string>

namespace tonvane {

// Which metadata sources a lookup asks.
enum class MetadataSources : uint32_t {
    MusicBrainzAndCddb = 0,
    CddbOnly = 1,
    None = 2,
};

// The rip choices a person makes once (the window's Options, the station's defaults), stored
// under \Options beside the design's own values. Servers left empty mean the built-in ones;
// the CDDB server is the design's "\FreeDB" "Server" value.
struct RipPreferences {
    ReadMode readMode = ReadMode::Single;
    bool accurateRip = true;
    MetadataSources metadata = MetadataSources::MusicBrainzAndCddb;
    std::string cddbServer; // HOST[:PORT]
    std::string musicBrainzServer; // URL; empty = https://musicbrainz.org
    std::string coverArtServer; // URL; empty = https://coverartarchive.org
    std::string accurateRipServer; // HOST[:PORT]; empty = the database
    bool coverArt = true;
    // Off as the window has always been: the files go into the folder chosen. The command line
    // and the station make a folder per disc of their own.
    bool folderPerAlbum = false;
    bool replayGain = true;
    bool updateCheck = true;
};

// The stored preferences; a missing or out-of-range value reads as its default. Nothing is
// written.
RipPreferences loadRipPreferences();
// Writes every field (the CDDB server to "\FreeDB" "Server"). False when the settings file could
// not be written.
bool storeRipPreferences(const RipPreferences& preferences);
// The lookup the preferences ask for.
LookupOptions lookupOptionsOf(const RipPreferences& preferences);

} // namespace tonvane
