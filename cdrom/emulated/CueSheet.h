#pragma once
#include "cdrom/emulated/EmulatedDisc.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonvane {

inline constexpr size_t kMaxCueSheetBytes = 1 << 20; // [bytes] larger sheets are refused
inline constexpr size_t kMaxCueLineBytes = 4096; // [bytes]

// A parsed sheet, before any file is looked at. Times are in sectors (mm:ss:ff, 75 per second).
struct CueIndex {
    uint32_t number = 0; // 0 or 1 (higher indexes are accepted and ignored)
    uint32_t position = 0; // [sectors] from the start of the file
};
struct CueTrack {
    uint32_t number = 0;
    TrackKind kind = TrackKind::Audio;
    uint32_t session = 1;
    uint32_t pregap = 0; // [sectors] PREGAP: silence not in the file
    std::optional<uint32_t> index0; // [sectors] in the file
    uint32_t index1 = 0; // [sectors] in the file
    uint32_t line = 0; // of the TRACK line, for messages
};
struct CueFile {
    std::string name; // as written
    bool wave = false; // WAVE, else BINARY
    uint32_t line = 0;
    std::vector<CueTrack> tracks;
};
inline constexpr int32_t kMaxEmulatedReadOffset = 2939; // [samples]
inline constexpr uint32_t kMaxEmulatedSpeed = 75 * 1000; // [sectors/s] 1000x, far beyond any drive
inline constexpr uint32_t kMaxEmulatedLba = 100 * 60 * 75; // [sectors] 100 minutes
inline constexpr size_t kMaxUnreadableSectors = 64; // REM TONVANE UNREADABLE lines a sheet may hold

struct CueSheet {
    std::vector<CueFile> files;
    int32_t driveOffset = 0; // [samples] REM TONVANE OFFSET n: the emulated drive's read offset
    uint32_t driveSpeed = 0; // [sectors/s] REM TONVANE SPEED n: its read-speed limit; 0 = memory speed
    std::vector<uint32_t> unreadableSectors; // [LBA] REM TONVANE UNREADABLE n: never read by the drive
};

struct CueError {
    uint32_t line = 0; // 1-based; 0 when the whole sheet is at fault
    std::string message; // "line 12: ..."
};

// Parses the text of a sheet: FILE (BINARY, WAVE), TRACK nn AUDIO | MODE1/2352, INDEX 00/01,
// PREGAP, REM SESSION nn; other REM, TITLE, PERFORMER, CATALOG, FLAGS, ISRC, POSTGAP and
// SONGWRITER lines are accepted and ignored. Rejects non-UTF-8 text, over-long lines, unknown
// commands, tracks out of order, missing or unordered indexes, absurd times.
bool parseCueSheet(std::string_view text, CueSheet& sheet, CueError& error);

// Byte size of the audio/data of every file, in file order, for laying out the disc.
struct CueFileExtent {
    uint64_t dataOffset = 0; // [bytes] where sector 0 begins (WAV: the data chunk)
    uint64_t dataBytes = 0; // [bytes]
};
// Places the tracks on the disc: files one after another, PREGAP silence inserted, later
// sessions after kSessionGapSectors. Fills disc's tracks, segments (file index = file order) and
// lead-outs; does not add the files themselves. False with error for indexes beyond their file,
// overlapping tracks or a disc over 100 minutes.
bool layoutCueSheet(const CueSheet& sheet, const std::vector<CueFileExtent>& extents, EmulatedDisc& disc,
    CueError& error);

struct CueLoadResult {
    std::shared_ptr<const EmulatedDisc> disc; // null on failure
    CueError error;
    int32_t driveOffset = 0; // [samples] for the drive that serves this disc
    uint32_t driveSpeed = 0; // [sectors/s] its read-speed limit; 0 = memory speed
    std::vector<uint32_t> unreadableSectors; // [LBA] the drive fails every read of these
    bool ok() const { return disc != nullptr; }
};
// Reads the sheet at path, opens its files (relative to the sheet's folder; WAV files must be
// 44100 Hz 16-bit stereo PCM) and lays out the disc.
CueLoadResult loadCueSheet(const std::string& path);

} // namespace tonvane
