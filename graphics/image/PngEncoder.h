#pragma once
#include <cstdint>
#include <string>

namespace tonvane {

class Surface;

// Writes the bottom-left width x height pixels of a rendered surface as an 8-bit RGBA PNG (rows
// top-down, straight alpha, rounded). Deterministic: fixed compression settings, no time or text
// chunks. False when the file cannot be written whole.
bool writeSurfacePng(const Surface& surface, int32_t width, int32_t height, const std::string& path);

// The same from premultiplied BGRA words, rows bottom-up, `rowLength` words apart.
bool writePremultipliedPng(const uint32_t* pixels, int32_t width, int32_t height, int32_t rowLength,
                           const std::string& path);

} // namespace tonvane
