#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tonvane::cli {

inline constexpr int32_t kMaxRippedTracks = 99; // a CD holds no more

// One track of an earlier rip as its CUE sheet lists it.
struct RippedFile {
    int32_t number = 0; // TRACK nn
    std::string path; // the file, in the sheet's folder
    uint32_t pregap = 0; // [sectors] PREGAP: disc audio before INDEX 01 that no file holds
    uint32_t index1 = 0; // [sectors] INDEX 01 in the file; audio before it precedes the disc's first track
    uint32_t leastSectors = 0; // [sectors] the sheet's own positions in this file (INDEX 01, the next INDEX 00)
};

// The FILE and TRACK entries of a CUE sheet this program wrote: one FILE per track, in order.
// nullopt (with error set) when the sheet cannot be read, its files and tracks do not pair, it
// lists more than 99 tracks, or a FILE names anything but a file in the sheet's own folder.
std::optional<std::vector<RippedFile>> readRipCueSheet(const std::string& cuePath, std::string& error);

// A decoded WAV or FLAC file.
struct DecodedAudio {
    std::vector<uint8_t> pcm; // 16-bit stereo, as far as it decoded
    std::optional<uint64_t> declaredBytes; // [bytes] the WAV data size or the STREAMINFO samples x 4
    bool intact = true; // no decoding error, the FLAC MD5 signature matches
};

// The 16-bit stereo PCM of a WAV or FLAC file (FLAC decoded with libFLAC); nullopt with error
// set for a file that is missing, of another format or another sample layout.
std::optional<DecodedAudio> decodeRippedFile(const std::string& path, std::string& error);

struct Options;

// tonvane verify FOLDER: the files of an earlier rip (its CUE sheet in FOLDER, or FOLDER naming
// the sheet) against AccurateRip. The disc is taken to be those tracks, audio only, the first
// starting after the sheet's first-track pregap. A missing file or one that is not whole (shorter
// than its header or the sheet says) is named as such. Exit 0 when every track is accurate, 1
// otherwise, 2 for an unusable folder or sheet.
int runVerify(const Options& options, std::FILE* out, std::FILE* errors);

} // namespace tonvane::cli
