#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tonvane::cli {

// Process exit codes of the command line.
inline constexpr int kExitOk = 0; // every selected track written
inline constexpr int kExitTrackFailed = 1; // some track failed (named in the summary)
inline constexpr int kExitUsage = 2; // bad usage
inline constexpr int kExitNoDisc = 3; // no drive or no audio disc
inline constexpr int kExitSignalBase = 128; // + the signal: SIGINT 130, SIGTERM 143, SIGHUP 129


enum class Command { Help, Version, Drives, Info, Rip, Offset, Verify, Station, Window };
// Auto: look up unless "Auto" is stored as 0; never for the demo disc, which no database knows.
enum class LookupChoice { Auto, Lookup, NoLookup };
enum class MetadataSources { Both, MusicBrainz, Cddb }; // --metadata
// Normal: one read, today's retry rules. Secure: a track AccurateRip does not confirm is read a
// second time and differing chunks re-read until two reads agree. TestAndCopy: always read twice.
enum class RipMode { Normal, Secure, TestAndCopy };

struct Options {
    Command command = Command::Window; // no command: the window program
    std::vector<std::string> drives; // --drive, in order; the first one is used by info and rip
    std::optional<int32_t> format; // --format: EncoderFormat
    std::optional<uint32_t> quality; // --quality: QualityIndex of the format
    std::string tracks; // --tracks as given ("1,3-5"); empty = every track
    std::string outputFolder; // --out
    bool flat = false; // --flat: no folder per disc below --out
    bool overwrite = false; // --overwrite: ExistingFiles::Replace
    LookupChoice lookup = LookupChoice::Auto;
    std::string server; // --server HOST[:PORT]
    std::string cddbUser; // --cddb-user NAME@HOST
    std::optional<int32_t> match; // --match N (0-based, in the list info shows)
    MetadataSources metadata = MetadataSources::Both;
    bool metadataGiven = false; // --metadata was on the command line (the station keeps the stored choice otherwise)
    std::string musicBrainzServer = "https://musicbrainz.org"; // --musicbrainz-server URL
    std::string coverArtServer = "https://coverartarchive.org"; // --coverart-server URL
    bool musicBrainzServerGiven = false; // the two above came from the command line
    bool coverArtServerGiven = false;
    bool cover = true; // --no-cover turns it off
    std::optional<int32_t> jobs; // --jobs N (lanes)
    std::optional<int32_t> readOffset; // --offset N [samples], -2939..2939
    bool accurateRip = true; // --no-accuraterip clears it
    std::string accurateRipServer; // --accuraterip-server HOST[:PORT]; empty = the database's host
    RipMode mode = RipMode::Normal; // --normal, --secure, --test-and-copy
    bool modeGiven = false; // one of them was given (the station reads securely otherwise)
    bool replayGain = true; // --no-replaygain clears it
    bool truePeak = false; // --true-peak
    std::optional<uint32_t> cacheMiB; // --drive-cache MiB: the drive cache a secure re-read defeats
    std::string verifyFolder; // verify FOLDER
    bool verbose = false; // --verbose: offset lists what each track showed
    std::string eventsFile; // station --events FILE, "-" for standard output; empty: none
    bool again = false; // station --again: rip discs whose log is under --out already
};

struct ParseResult {
    std::optional<Options> options;
    std::string error; // one line naming the problem, when options is empty
};

ParseResult parseCommandLine(const std::vector<std::string>& arguments);

// The --help text: every command and option with its default.
const char* usageText();

// "1,3-5" -> the 1-based track numbers 1, 3, 4, 5 in order, each within 1..trackCount. An empty
// text selects every track. nullopt with error set for 0, reversed ranges, numbers beyond the
// disc, repeated tracks and anything that is not a number.
std::optional<std::vector<int32_t>> parseTrackSelection(const std::string& text, int32_t trackCount,
                                                        std::string& error);

} // namespace tonvane::cli
