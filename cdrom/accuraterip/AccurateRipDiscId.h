#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tonvane {

inline constexpr uint32_t kAccurateRipLeadInSectors = 150; // [sectors] MSF 00:02:00 is LBA 0
inline constexpr uint32_t kAccurateRipSectorsPerSecond = 75;

// One track of the table of contents as the disc ids want it.
struct DiscIdTrack {
    uint32_t start = 0; // [LBA] from the start of the disc, without the 150-sector lead-in
    bool audio = true;
};

// The three numbers that name a disc in the AccurateRip database.
struct AccurateRipDiscId {
    uint32_t audioTracks = 0; // n
    uint32_t id1 = 0; // sum of the audio tracks' starts, plus the lead-out
    uint32_t id2 = 0; // sum of max(start, 1) x number (1-based among the audio tracks), plus lead-out x (n + 1)
    uint32_t id3 = 0; // the CDDB disc id of every track, data included
    bool dataTrackFirst = false; // the database then lists the data track as its first entry

    bool operator==(const AccurateRipDiscId&) const = default;
};

// The ids of a disc: tracks in disc order (data tracks included), leadOut the disc's last
// lead-out [LBA]. nullopt without an audio track or with starts that do not rise.
std::optional<AccurateRipDiscId> accurateRipDiscId(std::span<const DiscIdTrack> tracks, uint32_t leadOut);

// The freedb disc id over every track: digit sums of the start seconds (lead-in counted), the
// playing time in seconds and the track count.
uint32_t cddbDiscIdOf(std::span<const DiscIdTrack> tracks, uint32_t leadOut);

// "/accuraterip/a/b/c/dBAR-nnn-xxxxxxxx-xxxxxxxx-xxxxxxxx.bin": a, b, c the last, second-last
// and third-last hex digits of id1.
std::string accurateRipPath(const AccurateRipDiscId& id);
// "dBAR-nnn-xxxxxxxx-xxxxxxxx-xxxxxxxx.bin", the file name of the record (and of its cache).
std::string accurateRipFileName(const AccurateRipDiscId& id);

} // namespace tonvane
