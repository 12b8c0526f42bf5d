#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tonvane::skins {

enum class PngChannels { Rgb, Rgba };

// Writes straight-alpha ARGB words (rows bottom-up) as an 8-bit PNG, top row first. The bytes
// depend only on the pixels: fixed compression level, filters and strategy, no time chunk.
// Rgb drops the alpha channel. False when the file cannot be written.
bool writePng(const std::string& path, int32_t width, int32_t height, const std::vector<uint32_t>& pixels,
              PngChannels channels);

} // namespace tonvane::skins
