#pragma once
#include "session/AccurateRipLookup.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonvane {

// One ripped track as the log and the CUE sheet describe it.
struct ReportTrack {
    int32_t number = 0; // on the disc, 1-based
    std::string fileName; // without folder
    uint32_t start = 0; // [LBA] INDEX 01
    uint32_t length = 0; // [sectors] in its file (its successor's gap included)
    uint32_t gap = 0; // [sectors] INDEX 00 before start: at the end of the previous file, else a PREGAP
    std::optional<uint32_t> testCrc; // CRC-32 of the test read, when there was one
    uint32_t copyCrc = 0; // CRC-32 of the PCM written
    std::string accurateRip; // the verdict, "not checked" without one
    std::vector<int32_t> suspicious; // [LBA] sectors whose reads never agreed (or never read)
    size_t unreadable = 0; // sectors no read delivered: silence in the file
    std::vector<std::string> notes; // re-reads and the like, one line each
    std::string status; // "Done", "Failed", ...
    std::string loudness; // "gain -7.03 dB, peak 0.988525"; empty when not measured
};

struct RipReport {
    std::string version;
    std::string drive; // path
    std::string driveModel; // INQUIRY vendor and product
    int32_t readOffset = 0; // [samples]
    std::string mode; // "normal", "secure", "test and copy"
    std::string driveCache; // "8 MiB (measured)"; empty when each track was read once
    std::string discId; // CDDB, 8 hex digits
    std::string artist, album; // empty when unknown
    std::vector<std::string> notes; // about the disc as a whole: "Note: ..." lines after the album
    std::optional<TocSnapshot> toc;
    std::string accurateRipNote;
    std::string albumLoudness; // "gain -6.50 dB, peak 1.000000" or why none; empty: not measured
    std::vector<ReportTrack> tracks; // ripped ones, in disc order
    std::string summary;
    bool interrupted = false; // stopped by a signal or the person before its end
};

// Outside text (titles, paths, server notes) for the log: control characters become "\\xNN",
// C1 controls "\\u00NN", a backslash "\\\\", so a hostile title cannot rewrite a terminal that
// shows the log.
std::string logText(std::string_view text);

// "AccurateRip ids: id1-id2-id3\n", the log's line that names the disc (the station finds earlier
// rips of a disc by it).
std::string accurateRipIdsLine(const AccurateRipDiscId& id);
// The rip log (UTF-8 text).
std::string buildRipLog(const RipReport& report);
// The CUE sheet: one FILE per track, a track's gap as its INDEX 00 at the end of the previous
// file when that file was ripped too, else as its PREGAP (the first track's gap always).
std::string buildCueSheet(const RipReport& report);
// "Album" with the characters file names cannot hold dropped, else the disc id.
std::string reportBaseName(const RipReport& report);
// Temp file, fsync, rename: never half written. False with error set on failure.
bool writeFileAtomically(const std::string& path, const std::string& text, std::string& error);

} // namespace tonvane
