#pragma once
#include "cdrom/accuraterip/AccurateRipDiscId.h"
#include "session/RipReport.h"

#include <string>

namespace tonvane::station {

inline constexpr int kHistoryDepth = 4; // [folder levels] below --out: "Artist/Album" and a little more
inline constexpr size_t kMaxLogBytes = 1 << 20; // [bytes] a larger ".log" is not one of ours

// The first rip log below folder (at most kHistoryDepth levels down, in name order) that names
// these AccurateRip ids and was not interrupted; empty when there is none. Logs of interrupted
// rips say so and do not count: that disc still wants ripping.
std::string findRipLog(const std::string& folder, const AccurateRipDiscId& id);

} // namespace tonvane::station
