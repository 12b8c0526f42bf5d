#include "session/RipReport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tonvane {

namespace {

constexpr uint32_t kFramesPerSecond = 75; // CUE times are mm:ss:ff with 75 frames a second
constexpr size_t kMaxBaseNameBytes = 200; // [bytes] leaves room for the extension in 255

std::string cueTime(uint32_t sectors)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", sectors / (60 * kFramesPerSecond),
                  sectors / kFramesPerSecond % 60, sectors % kFramesPerSecond);
    return text;
}

std::string hex8(uint32_t value)
{
    char text[12];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

// Text inside a CUE sheet's double quotes cannot hold one.
std::string cueQuoted(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text)
        quoted.push_back(c == '"' ? '\'' : (static_cast<unsigned char>(c) < 0x20 ? ' ' : c));
    return quoted + "\"";
}

// A track's gap is audio at the end of the previous track's file when that track was ripped
// too and its file is long enough; otherwise no file holds it.
bool gapInPreviousFile(const ReportTrack* previous, const ReportTrack& track)
{
    return track.gap > 0 && previous && previous->number + 1 == track.number && previous->length >= track.gap;
}

} // namespace

std::string logText(std::string_view text)
{
    std::string escaped;
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        char code[8];
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(code, sizeof code, "\\x%02X", c);
            escaped += code;
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080-U+009F: C1 controls, escape sequences to an 8-bit terminal
            std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned char>(text[++i]));
            escaped += code;
        } else {
            escaped.push_back(static_cast<char>(c));
        }
    }
    return escaped;
}

std::string reportBaseName(const RipReport& report)
{
    std::string name;
    for (char c : report.album) {
        if (std::strchr("<>:/\\|?*", c) || static_cast<unsigned char>(c) < 0x20)
            continue;
        name.push_back(c == '"' ? '\'' : c);
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '.'))
        name.pop_back();
    if (name.size() > kMaxBaseNameBytes) {
        // Cut at a character boundary: drop a last character the cut left incomplete.
        name.resize(kMaxBaseNameBytes);
        size_t lead = name.size();
        while (lead > 0 && (static_cast<unsigned char>(name[lead - 1]) & 0xC0) == 0x80)
            --lead;
        if (lead > 0) {
            auto first = static_cast<unsigned char>(name[lead - 1]);
            size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
            if (name.size() - (lead - 1) < length)
                name.resize(lead - 1);
        }
    }
    return name.empty() ? report.discId : name;
}

std::string buildCueSheet(const RipReport& report)
{
    std::string cue;
    cue += "REM DISCID " + report.discId + "\n";
    cue += "REM COMMENT \"" + report.version + "\"\n";
    if (!report.artist.empty())
        cue += "PERFORMER " + cueQuoted(report.artist) + "\n";
    if (!report.album.empty())
        cue += "TITLE " + cueQuoted(report.album) + "\n";
    const ReportTrack* previous = nullptr;
    for (const ReportTrack& track : report.tracks) {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", track.number);
        if (gapInPreviousFile(previous, track)) {
            cue += "  TRACK " + std::string(number) + " AUDIO\n";
            cue += "    INDEX 00 " + cueTime(previous->length - track.gap) + "\n";
            cue += "FILE " + cueQuoted(track.fileName) + " WAVE\n";
        } else {
            cue += "FILE " + cueQuoted(track.fileName) + " WAVE\n";
            cue += "  TRACK " + std::string(number) + " AUDIO\n";
            // Not in any file (before the disc's first track, or after a track not ripped):
            // the sheet still keeps its place on the disc.
            if (track.gap > 0)
                cue += "    PREGAP " + cueTime(track.gap) + "\n";
        }
        cue += "    INDEX 01 00:00:00\n";
        previous = &track;
    }
    return cue;
}

std::string accurateRipIdsLine(const AccurateRipDiscId& id)
{
    char line[96];
    std::snprintf(line, sizeof line, "AccurateRip ids: %08x-%08x-%08x\n", id.id1, id.id2, id.id3);
    return line;
}

std::string buildRipLog(const RipReport& report)
{
    std::string log;
    log += report.version + " rip log\n\n";
    log += "Drive: " + logText(report.drive) + (report.driveModel.empty() ? "" : " (" + logText(report.driveModel) + ")") + "\n";
    log += "Read offset: " + std::to_string(report.readOffset) + " samples\n";
    log += "Mode: " + logText(report.mode) + "\n";
    if (!report.driveCache.empty())
        log += "Drive cache: " + logText(report.driveCache) + "\n";
    log += "Disc ID: " + logText(report.discId) + "\n";
    if (!report.album.empty())
        log += "Album: " + logText(report.artist) + " / " + logText(report.album) + "\n";
    for (const std::string& note : report.notes)
        log += "Note: " + logText(note) + "\n";
    if (report.toc) {
        const TocSnapshot& toc = *report.toc;
        log += "\nTable of contents\n  Track  Start    Length   Type\n";
        for (size_t i = 0; i < toc.tracks.size(); ++i) {
            uint32_t end = i + 1 < toc.tracks.size() ? toc.tracks[i + 1].start : toc.leadOut;
            char line[96];
            std::snprintf(line, sizeof line, "  %5u  %7u  %7u  %s\n", toc.numbers[i], toc.tracks[i].start,
                          end - toc.tracks[i].start, toc.tracks[i].audio ? "audio" : "data");
            log += line;
        }
        log += "  Lead-out " + std::to_string(toc.leadOut) + "\n";
        log += accurateRipIdsLine(toc.id);
    }
    log += "AccurateRip: " + logText(report.accurateRipNote) + "\n";
    if (!report.albumLoudness.empty())
        log += "ReplayGain album: " + logText(report.albumLoudness) + "\n";
    const ReportTrack* previous = nullptr;
    for (const ReportTrack& track : report.tracks) {
        log += "\nTrack " + std::to_string(track.number) + "\n";
        log += "  File: " + logText(track.fileName) + "\n";
        log += "  Start: " + std::to_string(track.start) + ", length " + std::to_string(track.length) + " sectors\n";
        log += "  Gap: " + cueTime(track.gap) +
               (track.gap > 0 && !gapInPreviousFile(previous, track) ? " (in no file: PREGAP in the CUE sheet)" : "") +
               "\n";
        previous = &track;
        if (track.testCrc)
            log += "  Test CRC32: " + hex8(*track.testCrc) + "\n";
        log += "  Copy CRC32: " + hex8(track.copyCrc) + "\n";
        log += "  AccurateRip: " + logText(track.accurateRip) + "\n";
        if (!track.loudness.empty())
            log += "  ReplayGain: " + logText(track.loudness) + "\n";
        for (const std::string& note : track.notes)
            log += "  " + logText(note) + "\n";
        if (track.unreadable > 0)
            log += "  Unreadable sectors (silence in the file): " + std::to_string(track.unreadable) + "\n";
        if (!track.suspicious.empty()) {
            log += "  Suspicious positions:";
            for (int32_t lba : track.suspicious) {
                uint32_t into = static_cast<uint32_t>(lba) - track.start;
                log += " " + cueTime(into) + " (LBA " + std::to_string(lba) + ")";
            }
            log += "\n";
        }
        log += "  Status: " + logText(track.status) + "\n";
    }
    if (report.interrupted)
        log += "\nInterrupted: the rip was stopped; only the tracks whose status is done are whole\n";
    log += "\n" + logText(report.summary) + "\n";
    return log;
}

bool writeFileAtomically(const std::string& path, const std::string& text, std::string& error)
{
    std::string temporary = path + ".tmp" + std::to_string(::getpid());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n <= 0)
            break;
        written += static_cast<size_t>(n);
    }
    int saved = errno;
    bool ok = written == text.size() && ::fsync(fd) == 0;
    if (written != text.size() || !ok)
        saved = saved != 0 ? saved : errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(saved != 0 ? saved : errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace tonvane
