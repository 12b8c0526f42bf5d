#pragma once
#include "cdrom/accuraterip/AccurateRipDiscId.h"
#include "cdrom/accuraterip/AccurateRipResponse.h"

#include <optional>
#include <string>
#include <vector>

namespace tonvane {

inline constexpr char kAccurateRipHost[] = "www.accuraterip.com";
inline constexpr uint32_t kAccurateRipTimeoutMs = 20000; // [ms] for the whole record

// The disc as its table of contents gives it: every track (data included) and the lead-out.
struct TocSnapshot {
    std::vector<DiscIdTrack> tracks;
    std::vector<uint32_t> numbers; // track numbers, parallel to tracks
    uint32_t leadOut = 0; // [LBA] the disc's last lead-out
    AccurateRipDiscId id;
};
std::optional<TocSnapshot> readTocSnapshot(const std::string& drive);

// What the database said about a disc.
struct AccurateRipRecord {
    enum class State : uint8_t { NotChecked, NoRecord, Found };
    State state = State::NotChecked;
    std::vector<AccurateRipBlock> blocks; // when Found
    std::string note; // one line for the log: where the answer came from, or why there is none
};

// The record of id from the cache folder ($XDG_CACHE_HOME/tonvane) or, when not cached, from
// server ("host" or "host:port"; empty = www.accuraterip.com). A record that parses is cached
// (written atomically); a missing or refused one is "NoRecord", an unreachable server
// "NotChecked".
AccurateRipRecord fetchAccurateRipRecord(const AccurateRipDiscId& id, const std::string& server,
                                         const std::string& cacheFolder);

} // namespace tonvane
