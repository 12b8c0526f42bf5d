#pragma once
#include "graphics/raster/OutlineRasteriser.h"

#include <cstddef>
#include <cstdint>

namespace tonvane {

// Everything one band's replay reads: the commands and text (read only), the surface pixels and
// the band's rows and scratch (its own).
struct BandReplayInput {
    const uint8_t* commands = nullptr;
    size_t commandBytes = 0;
    const char16_t* text = nullptr;
    size_t textUnits = 0;
    uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t firstRow = 0; // the band's assigned rows [firstRow, endRow)
    int32_t endRow = 0;
    CoverageScratch scratch;
};

// Walks the commands up to the end command, drawing only inside the band's rows and its clip.
void replayCommands(const BandReplayInput& input);

} // namespace tonvane
