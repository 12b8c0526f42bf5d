#pragma once
#include <cstdint>
#include <string>

namespace tonvane {

class Surface;

enum class PngChannels { Rgb, Rgba };

// PNG writing for the tools (skins, scenes, galleries). Files are 8-bit, rows top-down and
// deterministic: fixed compression level, filters and strategy, no time or text chunks. Each
// answers false (and leaves no file) when the file cannot be written whole.

// Straight-alpha ARGB words, rows bottom-up, `rowLength` words apart. Rgb drops the alpha.
bool writeArgbPng(const uint32_t* pixels, int32_t width, int32_t height, int32_t rowLength, PngChannels channels,
                  const std::string& path);
// Premultiplied BGRA words as the surfaces hold them, turned back into straight alpha (rounded).
bool writePremultipliedPng(const uint32_t* pixels, int32_t width, int32_t height, int32_t rowLength,
                           const std::string& path);
// The bottom-left width x height pixels of a rendered surface, as RGBA.
bool writeSurfacePng(const Surface& surface, int32_t width, int32_t height, const std::string& path);

} // namespace tonvane
