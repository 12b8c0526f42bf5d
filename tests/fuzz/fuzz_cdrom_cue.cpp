// CUE sheet parser and disc layout on arbitrary text. File sizes come from the input's last bytes.
#include "cdrom/emulated/CueSheet.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tonvane;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    CueSheet sheet;
    CueError error;
    if (!parseCueSheet(text, sheet, error))
        return 0;
    std::vector<CueFileExtent> extents;
    uint64_t seed = size;
    for (size_t i = 0; i < sheet.files.size(); ++i) {
        seed = seed * 6364136223846793005ull + (i < size ? data[size - 1 - i] : 0);
        extents.push_back({seed % 64, (seed >> 16) % (uint64_t{400000} * kEmulatedSectorBytes)});
    }
    EmulatedDisc disc;
    if (!layoutCueSheet(sheet, extents, disc, error))
        return 0;
    // Every track lies inside the disc and the lead-outs rise.
    uint32_t previous = 0;
    for (uint32_t leadOut : disc.sessionLeadOuts()) {
        if (leadOut < previous)
            __builtin_trap();
        previous = leadOut;
    }
    for (const EmulatedTrack& track : disc.tracks()) {
        if (uint64_t{track.start} + track.length > disc.leadOut() || track.length == 0)
            __builtin_trap();
        (void)disc.trackAt(track.start);
    }
    return 0;
}
