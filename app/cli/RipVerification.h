#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tonvane::cli {

// One track of an earlier rip as its CUE sheet lists it.
struct RippedFile {
    int32_t number = 0; // TRACK nn
    std::string path; // the file, in the sheet's folder
};

// The FILE and TRACK entries of a CUE sheet this program wrote: one FILE per track, in order.
// nullopt (with error set) when the sheet cannot be read or its files and tracks do not pair.
std::optional<std::vector<RippedFile>> readRipCueSheet(const std::string& cuePath, std::string& error);

// The 16-bit stereo PCM of a WAV or FLAC file (FLAC decoded with libFLAC); nullopt with error
// set for other formats, other sample layouts or damaged files.
std::optional<std::vector<uint8_t>> decodeRippedFile(const std::string& path, std::string& error);

struct Options;

// tonvane verify FOLDER: the files of an earlier rip (its CUE sheet in FOLDER, or FOLDER naming
// the sheet) against AccurateRip. The disc is taken to be those tracks, from LBA 0, audio only.
// Exit 0 when every track is accurate, 1 otherwise, 2 for an unusable folder or file.
int runVerify(const Options& options, std::FILE* out, std::FILE* errors);

} // namespace tonvane::cli
