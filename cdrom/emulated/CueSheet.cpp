#include "cdrom/emulated/CueSheet.h"

#include "core/foundation/Utf.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvane {

namespace {

constexpr uint32_t kFramesPerSecond = 75; // CUE times: mm:ss:ff
constexpr uint32_t kMaxCueMinutes = 99;
constexpr uint32_t kMaxTrack = 99;
constexpr uint32_t kMaxSession = 99;
constexpr uint32_t kMaxIndex = 99;

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// Splits a line into words; "quoted text" is one word without its quotes.
bool tokenize(std::string_view line, std::vector<std::string>& words)
{
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos)
                return false;
            words.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            size_t end = line.find_first_of(" \t", i);
            if (end == std::string_view::npos)
                end = line.size();
            words.emplace_back(line.substr(i, end - i));
            i = end;
        }
    }
    return true;
}

bool parseNumber(std::string_view text, uint32_t maximum, uint32_t& value)
{
    if (text.empty() || text.size() > 3)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value <= maximum;
}

// mm:ss:ff in sectors.
bool parseTime(std::string_view text, uint32_t& sectors)
{
    size_t first = text.find(':');
    size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos)
        return false;
    uint32_t minutes, seconds, frames;
    if (!parseNumber(text.substr(0, first), kMaxCueMinutes, minutes) ||
        !parseNumber(text.substr(first + 1, second - first - 1), 59, seconds) ||
        !parseNumber(text.substr(second + 1), kFramesPerSecond - 1, frames))
        return false;
    sectors = (minutes * 60 + seconds) * kFramesPerSecond + frames;
    return true;
}

bool fail(CueError& error, uint32_t line, const std::string& message)
{
    error.line = line;
    error.message = line != 0 ? "line " + std::to_string(line) + ": " + message : message;
    return false;
}

std::string trackName(uint32_t number) { return "track " + std::to_string(number); }

// The first sector of a track's material in its file: INDEX 00 when given, else INDEX 01.
uint32_t regionStartInFile(const CueTrack& track) { return track.index0.value_or(track.index1); }

} // namespace

bool parseCueSheet(std::string_view text, CueSheet& sheet, CueError& error)
{
    sheet = CueSheet{};
    error = CueError{};
    if (text.size() > kMaxCueSheetBytes)
        return fail(error, 0, "the sheet is larger than 1 MB");
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    CueTrack* track = nullptr;
    bool sawIndex1 = false;
    uint32_t lastIndex = 0;
    uint32_t session = 1;
    uint32_t lastTrackNumber = 0;
    std::vector<std::string> words;
    uint32_t lineNumber = 0;
    size_t position = 0;

    auto finishTrack = [&]() -> bool {
        if (track != nullptr && !sawIndex1)
            return fail(error, track->line, trackName(track->number) + " has no INDEX 01");
        return true;
    };

    while (position < text.size()) {
        size_t end = text.find('\n', position);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(position, end - position);
        position = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > kMaxCueLineBytes)
            return fail(error, lineNumber, "line longer than 4096 bytes");
        if (!isValidUtf8(line))
            return fail(error, lineNumber, "text is not valid UTF-8");
        if (line.find('\0') != std::string_view::npos)
            return fail(error, lineNumber, "line holds a NUL byte");
        if (!tokenize(line, words))
            return fail(error, lineNumber, "unterminated quoted text");
        if (words.empty())
            continue;
        std::string command = upper(words[0]);

        if (command == "REM") {
            if (words.size() >= 3 && upper(words[1]) == "SESSION") {
                uint32_t number;
                if (!parseNumber(words[2], kMaxSession, number) || number == 0)
                    return fail(error, lineNumber, "bad session number \"" + words[2] + "\"");
                if (number != session && number != session + 1)
                    return fail(error, lineNumber, "sessions must follow each other");
                if (number != session && lastTrackNumber == 0)
                    return fail(error, lineNumber, "a new session before any track");
                if (number != session && !finishTrack())
                    return false;
                if (number != session)
                    track = nullptr;
                session = number;
            } else if (words.size() >= 3 && upper(words[1]) == "TONVANE" && upper(words[2]) == "OFFSET") {
                // The read offset the emulated drive shows, in samples.
                std::string_view value = words.size() > 3 ? std::string_view(words[3]) : std::string_view();
                if (!value.empty() && value[0] == '+')
                    value.remove_prefix(1);
                int32_t offset = 0;
                auto [end, problem] = std::from_chars(value.data(), value.data() + value.size(), offset);
                if (value.empty() || problem != std::errc() || end != value.data() + value.size() ||
                    offset < -kMaxEmulatedReadOffset || offset > kMaxEmulatedReadOffset)
                    return fail(error, lineNumber, "bad read offset \"" + std::string(value) + "\" (-2939 to 2939 samples)");
                sheet.driveOffset = offset;
            } else if (words.size() >= 3 && upper(words[1]) == "TONVANE" && upper(words[2]) == "SPEED") {
                // The emulated drive's read speed in sectors a second (75 = 1x, 600 = 8x).
                std::string_view value = words.size() > 3 ? std::string_view(words[3]) : std::string_view();
                uint32_t speed = 0;
                auto [end, problem] = std::from_chars(value.data(), value.data() + value.size(), speed);
                if (value.empty() || problem != std::errc() || end != value.data() + value.size() || speed == 0 ||
                    speed > kMaxEmulatedSpeed)
                    return fail(error, lineNumber, "bad read speed \"" + std::string(value) + "\" (1 to 75000 sectors a second)");
                sheet.driveSpeed = speed;
            } else if (words.size() >= 3 && upper(words[1]) == "TONVANE" && upper(words[2]) == "UNREADABLE") {
                // A sector (LBA) the emulated drive never reads: a scratch through the data.
                std::string_view value = words.size() > 3 ? std::string_view(words[3]) : std::string_view();
                uint32_t lba = 0;
                auto [end, problem] = std::from_chars(value.data(), value.data() + value.size(), lba);
                if (value.empty() || problem != std::errc() || end != value.data() + value.size() ||
                    lba >= kMaxEmulatedLba || sheet.unreadableSectors.size() >= kMaxUnreadableSectors)
                    return fail(error, lineNumber, "bad unreadable sector \"" + std::string(value) + "\"");
                sheet.unreadableSectors.push_back(lba);
            }
            continue;
        }
        if (command == "TITLE" || command == "PERFORMER" || command == "SONGWRITER" || command == "CATALOG" ||
            command == "CDTEXTFILE" || command == "FLAGS" || command == "ISRC" || command == "POSTGAP")
            continue;

        if (command == "FILE") {
            if (words.size() != 3)
                return fail(error, lineNumber, "FILE needs a name and a type");
            std::string type = upper(words[2]);
            if (type != "BINARY" && type != "WAVE")
                return fail(error, lineNumber, "file type " + words[2] + " is not supported (BINARY or WAVE)");
            if (words[1].empty())
                return fail(error, lineNumber, "empty file name");
            if (!sheet.files.empty() && sheet.files.back().tracks.empty())
                return fail(error, sheet.files.back().line, "FILE without tracks");
            if (!finishTrack())
                return false;
            track = nullptr;
            CueFile file;
            file.name = words[1];
            file.wave = type == "WAVE";
            file.line = lineNumber;
            sheet.files.push_back(std::move(file));
            continue;
        }

        if (command == "TRACK") {
            if (sheet.files.empty())
                return fail(error, lineNumber, "TRACK before any FILE");
            if (words.size() != 3)
                return fail(error, lineNumber, "TRACK needs a number and a type");
            uint32_t number;
            if (!parseNumber(words[1], kMaxTrack, number) || number == 0)
                return fail(error, lineNumber, "bad track number \"" + words[1] + "\"");
            if (lastTrackNumber != 0 && number != lastTrackNumber + 1)
                return fail(error, lineNumber, trackName(number) + " does not follow " + trackName(lastTrackNumber));
            std::string type = upper(words[2]);
            TrackKind kind;
            if (type == "AUDIO")
                kind = TrackKind::Audio;
            else if (type == "MODE1/2352")
                kind = TrackKind::Data;
            else
                return fail(error, lineNumber, "track type " + words[2] + " is not supported (AUDIO or MODE1/2352)");
            if (kind == TrackKind::Data && sheet.files.back().wave)
                return fail(error, lineNumber, "a data track cannot come from a WAVE file");
            if (!finishTrack())
                return false;
            sheet.files.back().tracks.push_back(CueTrack{number, kind, session, 0, std::nullopt, 0, lineNumber});
            track = &sheet.files.back().tracks.back();
            sawIndex1 = false;
            lastIndex = 0;
            lastTrackNumber = number;
            continue;
        }

        if (command == "PREGAP") {
            if (track == nullptr)
                return fail(error, lineNumber, "PREGAP outside a track");
            if (words.size() != 2 || !parseTime(words[1], track->pregap))
                return fail(error, lineNumber, "bad PREGAP time");
            if (track->index0 || sawIndex1)
                return fail(error, lineNumber, "PREGAP must come before the track's indexes");
            continue;
        }

        if (command == "INDEX") {
            if (track == nullptr)
                return fail(error, lineNumber, "INDEX outside a track");
            uint32_t number;
            uint32_t time;
            if (words.size() != 3 || !parseNumber(words[1], kMaxIndex, number))
                return fail(error, lineNumber, "bad INDEX number");
            if (!parseTime(words[2], time))
                return fail(error, lineNumber, "bad INDEX time \"" + words[2] + "\" (mm:ss:ff)");
            bool first = !track->index0 && !sawIndex1;
            if (!first && number <= lastIndex)
                return fail(error, lineNumber, "INDEX numbers must rise within a track");
            if (number >= 2 && !sawIndex1)
                return fail(error, lineNumber, "INDEX " + words[1] + " before INDEX 01");
            if (number == 0)
                track->index0 = time;
            if (number == 1) {
                if (track->index0 && time < *track->index0)
                    return fail(error, lineNumber, "INDEX 01 lies before INDEX 00");
                track->index1 = time;
                sawIndex1 = true;
            }
            if (number >= 2 && time < track->index1)
                return fail(error, lineNumber, "INDEX " + words[1] + " lies before INDEX 01");
            // Within one file every track's material must follow the previous track's start.
            const CueFile& file = sheet.files.back();
            if (file.tracks.size() >= 2 && (number == 0 || (number == 1 && !track->index0))) {
                const CueTrack& previous = file.tracks[file.tracks.size() - 2];
                if (time <= previous.index1)
                    return fail(error, lineNumber, trackName(track->number) + " overlaps " + trackName(previous.number));
            }
            lastIndex = number;
            continue;
        }

        return fail(error, lineNumber, "unknown command \"" + words[0].substr(0, 32) + "\"");
    }
    if (!finishTrack())
        return false;
    if (sheet.files.empty() || lastTrackNumber == 0)
        return fail(error, 0, "the sheet holds no track");
    if (sheet.files.back().tracks.empty())
        return fail(error, sheet.files.back().line, "FILE without tracks");
    return true;
}

bool layoutCueSheet(const CueSheet& sheet, const std::vector<CueFileExtent>& extents, EmulatedDisc& disc,
    CueError& error)
{
    if (extents.size() != sheet.files.size())
        return fail(error, 0, "file sizes missing");
    uint64_t lba = 0;
    uint32_t session = 1;
    std::vector<EmulatedTrack> tracks;
    for (size_t f = 0; f < sheet.files.size(); ++f) {
        const CueFile& file = sheet.files[f];
        uint64_t fileSectors = extents[f].dataBytes / kEmulatedSectorBytes;
        for (size_t t = 0; t < file.tracks.size(); ++t) {
            const CueTrack& cue = file.tracks[t];
            EmulatedTrack track;
            track.number = static_cast<uint8_t>(cue.number);
            track.kind = cue.kind;
            if (cue.session != session) {
                disc.addSessionLeadOut(static_cast<uint32_t>(lba));
                lba += kSessionGapSectors;
                session = cue.session;
            } else if (cue.pregap != 0) {
                disc.addSegment({static_cast<uint32_t>(lba), cue.pregap, SectorSegment::Source::Silence, 0, 0});
                lba += cue.pregap;
                track.pregap = cue.pregap;
            }
            // Material before a file's first index belongs to that file's first track.
            uint64_t regionStart = t == 0 ? 0 : regionStartInFile(cue);
            uint64_t regionEnd = t + 1 < file.tracks.size() ? regionStartInFile(file.tracks[t + 1]) : fileSectors;
            if (cue.index1 >= fileSectors)
                return fail(error, cue.line,
                    trackName(cue.number) + " starts beyond the end of \"" + file.name + "\"");
            if (regionEnd <= cue.index1)
                return fail(error, cue.line, trackName(cue.number) + " is empty or overlaps the next track");
            track.session = static_cast<uint8_t>(session);
            track.start = static_cast<uint32_t>(lba + (cue.index1 - regionStart));
            track.pregap += static_cast<uint32_t>(cue.index1 - regionStart);
            uint64_t sectors = regionEnd - regionStart;
            if (lba + sectors > kMaxDiscSectors + uint64_t{kSessionGapSectors} * (session - 1))
                return fail(error, cue.line, "the disc would be longer than 100 minutes");
            disc.addSegment({static_cast<uint32_t>(lba), static_cast<uint32_t>(sectors), SectorSegment::Source::File,
                static_cast<uint32_t>(f), extents[f].dataOffset + regionStart * kEmulatedSectorBytes});
            lba += sectors;
            tracks.push_back(track);
        }
    }
    disc.addSessionLeadOut(static_cast<uint32_t>(lba));
    const std::vector<uint32_t>& leadOuts = disc.sessionLeadOuts();
    for (size_t i = 0; i < tracks.size(); ++i) {
        bool lastOfSession = i + 1 == tracks.size() || tracks[i + 1].session != tracks[i].session;
        uint32_t end = lastOfSession ? leadOuts[tracks[i].session - 1] : tracks[i + 1].start;
        tracks[i].length = end - tracks[i].start;
        disc.addTrack(tracks[i]);
    }
    return true;
}

namespace {

struct WaveInfo {
    uint64_t dataOffset = 0;
    uint64_t dataBytes = 0;
};

uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// RIFF/WAVE with a PCM fmt chunk of 44100 Hz, 2 channels, 16 bits, and a data chunk.
bool readWaveInfo(int fd, uint64_t fileSize, WaveInfo& info)
{
    constexpr uint16_t kFormatPcm = 1;
    constexpr uint32_t kRate = 44100;
    constexpr uint16_t kChannels = 2;
    constexpr uint16_t kBits = 16;
    uint8_t header[12];
    if (::pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        return false;
    bool formatOk = false;
    uint64_t offset = 12;
    while (offset + 8 <= fileSize) {
        uint8_t chunk[8];
        if (::pread(fd, chunk, sizeof chunk, static_cast<off_t>(offset)) != static_cast<ssize_t>(sizeof chunk))
            return false;
        uint64_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t format[16];
            if (size < sizeof format ||
                ::pread(fd, format, sizeof format, static_cast<off_t>(offset + 8)) != static_cast<ssize_t>(sizeof format))
                return false;
            formatOk = le16(format) == kFormatPcm && le16(format + 2) == kChannels && le32(format + 4) == kRate &&
                le16(format + 14) == kBits;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!formatOk)
                return false;
            info.dataOffset = offset + 8;
            info.dataBytes = std::min(size, fileSize - info.dataOffset);
            return true;
        }
        offset += 8 + size + (size & 1);
    }
    return false;
}

std::string folderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

} // namespace

CueLoadResult loadCueSheet(const std::string& path)
{
    CueLoadResult result;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fail(result.error, 0, "cannot open \"" + path + "\": " + std::strerror(errno));
        return result;
    }
    std::string text(kMaxCueSheetBytes + 1, '\0');
    size_t got = 0;
    while (got < text.size()) {
        ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    text.resize(got);

    CueSheet sheet;
    if (!parseCueSheet(text, sheet, result.error))
        return result;

    auto disc = std::make_shared<EmulatedDisc>();
    std::vector<CueFileExtent> extents;
    std::string folder = folderOf(path);
    for (const CueFile& file : sheet.files) {
        std::string filePath = !file.name.empty() && file.name[0] == '/' ? file.name : folder + "/" + file.name;
        int fileFd = ::open(filePath.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (fileFd < 0 || ::fstat(fileFd, &info) != 0 || !S_ISREG(info.st_mode)) {
            int saved = fileFd < 0 ? errno : EINVAL;
            if (fileFd >= 0)
                ::close(fileFd);
            fail(result.error, file.line, "cannot open \"" + file.name + "\": " + std::strerror(saved));
            return result;
        }
        disc->addFile(fileFd); // the disc closes it from now on
        CueFileExtent extent{0, static_cast<uint64_t>(info.st_size)};
        if (file.wave) {
            WaveInfo wave;
            if (!readWaveInfo(fileFd, static_cast<uint64_t>(info.st_size), wave)) {
                fail(result.error, file.line, "\"" + file.name + "\" is not a 44100 Hz 16-bit stereo PCM WAV file");
                return result;
            }
            extent = {wave.dataOffset, wave.dataBytes};
        }
        extents.push_back(extent);
    }
    if (!layoutCueSheet(sheet, extents, *disc, result.error))
        return result;
    result.disc = std::move(disc);
    result.driveOffset = sheet.driveOffset;
    result.driveSpeed = sheet.driveSpeed;
    result.unreadableSectors = sheet.unreadableSectors;
    return result;
}

} // namespace tonvane
