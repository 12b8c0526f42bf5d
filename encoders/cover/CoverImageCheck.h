#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tonvane {

inline constexpr uint32_t kMaxCoverSide = 4096; // [pixels] the larger side a cover may have

// Whether bytes from outside (a cover archive, a file the person chose) may go into a file's
// tags as its front cover: only when they decode completely, to the last scan line, as a JPEG
// (libjpeg) or a PNG (libpng) with both sides at most kMaxCoverSide pixels. Otherwise false with
// reason saying why: "not a JPEG or PNG image", "4800 x 300 pixels is over 4096",
// "damaged JPEG data", "damaged PNG data". Never throws; the decoders' longjmp stays inside
// frames that hold no C++ objects.
bool acceptCoverImage(const uint8_t* data, size_t size, std::string& reason);
bool acceptCoverImage(const std::vector<uint8_t>& bytes, std::string& reason);

} // namespace tonvane
