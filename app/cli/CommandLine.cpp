#include "app/cli/CommandLine.h"

#include "net/http/HttpAddress.h"
#include "core/disc/EncoderFormat.h"

#include <charconv>
#include <set>

namespace tonvane::cli {

namespace {

constexpr int64_t kMaxOffsetOption = 2939; // [samples]
constexpr int64_t kMaxDriveCacheMiB = 1024;

std::optional<int64_t> parseNumber(const std::string& text)
{
    int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end)
        return std::nullopt;
    return value;
}

std::optional<int32_t> parseFormat(const std::string& name)
{
    if (name == "mp3")
        return kFormatMp3;
    if (name == "ogg" || name == "vorbis")
        return kFormatVorbis;
    if (name == "flac")
        return kFormatFlac;
    if (name == "wav")
        return kFormatWav;
    if (name == "opus")
        return kFormatOpus;
    return std::nullopt;
}

} // namespace

const char* usageText()
{
    return "Usage: tonvane [COMMAND] [OPTIONS]\n"
           "\n"
           "Commands:\n"
           "  (none), window       the window program (needs an X display); --drive adds image drives;\n"
           "                       the servers and --no-accuraterip hold for this run, not stored\n"
           "  drives               list the drives, whether each holds an audio disc, and its model\n"
           "  info                 show the disc's audio tracks, its CDDB disc ID and query line\n"
           "  rip                  convert the disc's tracks into audio files\n"
           "  offset               find the drive's read offset with a disc AccurateRip knows\n"
           "  verify FOLDER        check the WAV or FLAC files of a rip (its CUE sheet) against AccurateRip\n"
           "  station              watch every drive and rip each disc that arrives, without questions,\n"
           "                       then eject it; --drive watch:DIR rips each CUE sheet copied into DIR\n"
           "  --help, -h           show this text\n"
           "  --version            show the version\n"
           "\n"
           "Options:\n"
           "  --drive D            drive to use: /dev/srN, image:/path/disc.cue or demo:\n"
           "                       (default: the first real drive holding an audio disc, else demo:;\n"
           "                       with drives: add an image drive to the list; may be repeated)\n"
           "  --format F           rip: mp3, ogg, flac, wav or opus (default: the stored format, ogg)\n"
           "  --quality N          rip: quality index of the format (default: the stored one)\n"
           "                       mp3 0-13 = 32..320 kbit/s (8 = 128), ogg 0-11 = q0.0..1.0 (6 = q0.6),\n"
           "                       flac 0-7 = level 0..7 (7), wav 0,\n"
           "                       opus 0-5 = 64, 96, 128, 160, 192, 256 kbit/s VBR (3 = 160)\n"
           "  --tracks LIST        rip: track numbers such as 1,3-5 (default: every track)\n"
           "  --out DIR            rip: output folder (default: the stored folder, else the music\n"
           "                       folder: XDG_MUSIC_DIR or ~/Music); the files go into a folder of\n"
           "                       the disc below it: \"Album artist/Album\" (\" (Disc n)\" for a set),\n"
           "                       or \"Unknown disc ID\" without a match\n"
           "  --flat               rip: write the files straight into the --out folder\n"
           "  --overwrite          rip: replace files of the same names (default: a name that exists\n"
           "                       stops the rip before anything is read, exit 2); a file is replaced\n"
           "                       only once its new version is whole\n"
           "  --lookup             look the disc up on the CDDB server\n"
           "  --no-lookup          do not look the disc up\n"
           "                       (default: look up unless \"Auto\" is stored as 0; never for demo:)\n"
           "  --server HOST[:PORT] CDDB server (default: the stored server, gnudb.gnudb.org:8880)\n"
           "  --cddb-user N@HOST   who greets the CDDB server (default: the stored \"User\", else\n"
           "                       an anonymous greeting)\n"
           "  --metadata SOURCE    where to look: musicbrainz, cddb or both (default: both;\n"
           "                       MusicBrainz releases are listed first)\n"
           "  --match N            which match to use, 0 = the first that info lists (default: 0)\n"
           "  --musicbrainz-server URL  MusicBrainz web service (default: https://musicbrainz.org)\n"
           "  --coverart-server URL     cover art (default: https://coverartarchive.org)\n"
           "  --no-cover           rip: no front cover from a MusicBrainz match (default: the cover\n"
           "                       goes into every file and into cover.jpg or cover.png)\n"
           "  --jobs N             rip: tracks converted at once (default: the number of processors)\n"
           "  --offset N           rip: the drive's read offset in samples, -2939..2939, kept for this\n"
           "                       drive model from then on (default: the stored one, else 0)\n"
           "  --no-accuraterip     rip, window: do not check the tracks against AccurateRip\n"
           "  --accuraterip-server HOST[:PORT]\n"
           "                       rip, offset, verify, window: AccurateRip server (default: the\n"
           "                       window's stored one, else www.accuraterip.com)\n"
           "  --secure             rip: read a second time every track AccurateRip does not confirm;\n"
           "                       chunks whose reads differ are read again until two reads agree\n"
           "  --test-and-copy      rip: like --secure, but read every track twice\n"
           "  --normal             rip, station: read each track once (the station reads securely\n"
           "                       unless told otherwise)\n"
           "  --events FILE        station: JSON lines of what happens (disc arrived, matched, track\n"
           "                       done, disc done, ejected, error) into FILE, - for standard output\n"
           "  --again              station: rip a disc even when a log of it is under --out already\n"
           "  --drive-cache MIB    rip: the drive cache secure re-reads read past (default: measured at\n"
           "                       the start of a secure rip; 4 when the drive shows none)\n"
           "  --no-replaygain      rip: no loudness measurement and no ReplayGain tags (default: every\n"
           "                       FLAC, Ogg and MP3 file gets its track's and the album's gain and peak)\n"
           "  --true-peak          rip: the ReplayGain peak is the true (oversampled) peak, not the\n"
           "                       highest sample\n"
           "  --verbose            offset: list the offsets each track matches, not only the answer\n"
           "\n"
           "Exit status: 0 every selected track whole and the log and CUE sheet written, 1 some track\n"
           "failed or is suspicious or the log or CUE sheet could not be written, 2 bad usage or a file\n"
           "that exists, 3 no drive or no audio disc, 130 SIGINT (Ctrl-C), 143 SIGTERM, 129 SIGHUP: the\n"
           "running tracks are stopped, their unfinished files removed and the log written.\n";
}

ParseResult parseCommandLine(const std::vector<std::string>& arguments)
{
    ParseResult result;
    Options options;
    size_t i = 0;
    if (arguments.empty()) {
        result.options = options;
        return result;
    }
    const std::string& command = arguments[0];
    bool optionFirst = command.size() > 2 && command.compare(0, 2, "--") == 0 && command != "--help"
        && command != "--version";
    if (optionFirst || command == "window")
        options.command = Command::Window; // `tonvane --drive demo:` is the window program too
    else if (command == "--help" || command == "-h" || command == "help")
        options.command = Command::Help;
    else if (command == "--version")
        options.command = Command::Version;
    else if (command == "drives")
        options.command = Command::Drives;
    else if (command == "info")
        options.command = Command::Info;
    else if (command == "rip")
        options.command = Command::Rip;
    else if (command == "offset")
        options.command = Command::Offset;
    else if (command == "verify")
        options.command = Command::Verify;
    else if (command == "station")
        options.command = Command::Station;
    else {
        result.error = "unknown command '" + command + "'";
        return result;
    }
    if (!optionFirst)
        ++i;

    auto takeValue = [&](const std::string& option, std::string& value) {
        if (i + 1 >= arguments.size()) {
            result.error = "option " + option + " needs a value";
            return false;
        }
        value = arguments[++i];
        return true;
    };
    // Options of a rip; the station takes those that make sense for every disc.
    auto ripOnly = [&](const std::string& option) {
        static const std::set<std::string> kNotForStation = {"--tracks", "--flat", "--overwrite", "--offset"};
        if (options.command == Command::Station && kNotForStation.count(option) == 0)
            return true;
        if (options.command != Command::Rip) {
            result.error = "option " + option + " belongs to the rip command";
            return false;
        }
        return true;
    };

    for (; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        std::string value;
        if (option == "--help" || option == "-h") {
            options.command = Command::Help;
        } else if (option == "--drive") {
            if (!takeValue(option, value))
                return result;
            options.drives.push_back(value);
        } else if (option == "--format") {
            if (!ripOnly(option) || !takeValue(option, value))
                return result;
            options.format = parseFormat(value);
            if (!options.format) {
                result.error = "unknown format '" + value + "' (use mp3, ogg, flac, wav or opus)";
                return result;
            }
        } else if (option == "--quality") {
            if (!ripOnly(option) || !takeValue(option, value))
                return result;
            auto number = parseNumber(value);
            if (!number || *number < 0 || *number > 0xFFFF) {
                result.error = "--quality wants a quality index, not '" + value + "'";
                return result;
            }
            options.quality = static_cast<uint32_t>(*number);
        } else if (option == "--tracks") {
            if (!ripOnly(option) || !takeValue(option, value))
                return result;
            if (value.empty()) {
                result.error = "--tracks needs a list such as 1,3-5";
                return result;
            }
            options.tracks = value;
        } else if (option == "--out") {
            if (!ripOnly(option) || !takeValue(option, value))
                return result;
            if (value.empty()) {
                result.error = "--out needs a folder";
                return result;
            }
            options.outputFolder = value;
        } else if (option == "--lookup") {
            options.lookup = LookupChoice::Lookup;
        } else if (option == "--no-lookup") {
            options.lookup = LookupChoice::NoLookup;
        } else if (option == "--server") {
            if (!takeValue(option, value))
                return result;
            if (!isServerAuthority(value)) {
                result.error = "--server wants HOST or HOST:PORT (port 1 to 65535), not '" + value + "'";
                return result;
            }
            options.server = value;
        } else if (option == "--cddb-user") {
            if (!takeValue(option, value))
                return result;
            if (value.find('@') == std::string::npos || value.front() == '@' || value.back() == '@') {
                result.error = "--cddb-user wants name@host, not '" + value + "'";
                return result;
            }
            options.cddbUser = value;
        } else if (option == "--metadata") {
            if (!takeValue(option, value))
                return result;
            if (value == "both")
                options.metadata = MetadataSources::Both;
            else if (value == "musicbrainz")
                options.metadata = MetadataSources::MusicBrainz;
            else if (value == "cddb")
                options.metadata = MetadataSources::Cddb;
            else {
                result.error = "--metadata wants musicbrainz, cddb or both, not '" + value + "'";
                return result;
            }
            options.metadataGiven = true;
        } else if (option == "--musicbrainz-server" || option == "--coverart-server") {
            if (!takeValue(option, value))
                return result;
            while (!value.empty() && value.back() == '/')
                value.pop_back();
            // A whole address: a scheme and a host, no spaces or control characters.
            if (!parseHttpUrl(value)) {
                result.error = option + " wants an http:// or https:// address, not '" + value + "'";
                return result;
            }
            (option == "--musicbrainz-server" ? options.musicBrainzServer : options.coverArtServer) = value;
            (option == "--musicbrainz-server" ? options.musicBrainzServerGiven : options.coverArtServerGiven) = true;
        } else if (option == "--flat") {
            if (!ripOnly(option))
                return result;
            options.flat = true;
        } else if (option == "--overwrite") {
            if (!ripOnly(option))
                return result;
            options.overwrite = true;
        } else if (option == "--no-cover") {
            if (!ripOnly(option))
                return result;
            options.cover = false;
        } else if (option == "--match") {
            if (!takeValue(option, value))
                return result;
            auto number = parseNumber(value);
            if (!number || *number < 0 || *number > 99) {
                result.error = "--match wants a match number from 0, not '" + value + "'";
                return result;
            }
            options.match = static_cast<int32_t>(*number);
        } else if (option == "--jobs") {
            if (!ripOnly(option) || !takeValue(option, value))
                return result;
            auto number = parseNumber(value);
            if (!number || *number < 1 || *number > 64) {
                result.error = "--jobs wants a number from 1 to 64, not '" + value + "'";
                return result;
            }
            options.jobs = static_cast<int32_t>(*number);
        } else if (option == "--offset") {
            if (!ripOnly(option) || !takeValue(option, value))
                return result;
            auto number = parseNumber(value.size() > 1 && value[0] == '+' ? value.substr(1) : value);
            if (!number || *number < -kMaxOffsetOption || *number > kMaxOffsetOption) {
                result.error = "--offset wants samples from -2939 to 2939, not '" + value + "'";
                return result;
            }
            options.readOffset = static_cast<int32_t>(*number);
        } else if (option == "--no-replaygain" || option == "--true-peak") {
            if (!ripOnly(option))
                return result;
            (option == "--true-peak" ? options.truePeak : options.replayGain) = option == "--true-peak";
        } else if (option == "--no-accuraterip") {
            if (options.command != Command::Window && !ripOnly(option))
                return result;
            options.accurateRip = false;
        } else if (option == "--accuraterip-server") {
            if ((options.command != Command::Offset && options.command != Command::Verify &&
                 options.command != Command::Window && !ripOnly(option)) ||
                !takeValue(option, value))
                return result;
            if (!isServerAuthority(value)) {
                result.error = "--accuraterip-server wants HOST or HOST:PORT (port 1 to 65535), not '" + value + "'";
                return result;
            }
            options.accurateRipServer = value;
        } else if (option == "--secure" || option == "--test-and-copy" || option == "--normal") {
            if (!ripOnly(option))
                return result;
            options.mode = option == "--secure" ? RipMode::Secure
                           : option == "--normal" ? RipMode::Normal
                                                  : RipMode::TestAndCopy;
            options.modeGiven = true;
        } else if (option == "--events" || option == "--again") {
            if (options.command != Command::Station) {
                result.error = "option " + option + " belongs to the station command";
                return result;
            }
            if (option == "--again") {
                options.again = true;
            } else {
                if (!takeValue(option, value))
                    return result;
                if (value.empty()) {
                    result.error = "--events needs a file, or - for standard output";
                    return result;
                }
                options.eventsFile = value;
            }
        } else if (option == "--drive-cache") {
            if (!ripOnly(option) || !takeValue(option, value))
                return result;
            auto number = parseNumber(value);
            if (!number || *number < 0 || *number > kMaxDriveCacheMiB) {
                result.error = "--drive-cache wants MiB from 0 to 1024, not '" + value + "'";
                return result;
            }
            options.cacheMiB = static_cast<uint32_t>(*number);
        } else if (option == "--verbose") {
            if (options.command != Command::Offset) {
                result.error = "option --verbose belongs to the offset command";
                return result;
            }
            options.verbose = true;
        } else if (options.command == Command::Verify && options.verifyFolder.empty() && !option.empty() &&
                   option[0] != '-') {
            options.verifyFolder = option;
        } else {
            result.error = "unknown option '" + option + "'";
            return result;
        }
    }
    if (options.command == Command::Verify && options.verifyFolder.empty()) {
        result.error = "verify needs the folder of a rip";
        return result;
    }
    result.options = options;
    return result;
}

std::optional<std::vector<int32_t>> parseTrackSelection(const std::string& text, int32_t trackCount,
                                                        std::string& error)
{
    std::vector<int32_t> tracks;
    if (text.empty()) {
        for (int32_t n = 1; n <= trackCount; ++n)
            tracks.push_back(n);
        return tracks;
    }
    std::set<int32_t> seen;
    size_t at = 0;
    while (at <= text.size()) {
        size_t comma = text.find(',', at);
        std::string part = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        size_t dash = part.find('-');
        auto first = parseNumber(part.substr(0, dash));
        auto last = dash == std::string::npos ? first : parseNumber(part.substr(dash + 1));
        if (!first || !last) {
            error = "--tracks: '" + part + "' is not a track number or range";
            return std::nullopt;
        }
        if (*first < 1 || *last < 1) {
            error = "--tracks: tracks are numbered from 1";
            return std::nullopt;
        }
        if (*last < *first) {
            error = "--tracks: the range " + part + " runs backwards";
            return std::nullopt;
        }
        if (*last > trackCount) {
            error = "--tracks: the disc has " + std::to_string(trackCount) + " audio tracks, there is no track " +
                    std::to_string(*last);
            return std::nullopt;
        }
        for (int64_t n = *first; n <= *last; ++n) {
            if (!seen.insert(static_cast<int32_t>(n)).second) {
                error = "--tracks: track " + std::to_string(n) + " is named twice";
                return std::nullopt;
            }
            tracks.push_back(static_cast<int32_t>(n));
        }
        if (comma == std::string::npos)
            break;
        at = comma + 1;
    }
    return tracks;
}

} // namespace tonvane::cli
