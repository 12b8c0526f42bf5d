#pragma once
#include "app/station/AttentionList.h"
#include "app/station/DesktopNotice.h"
#include "app/station/StationEvents.h"
#include "app/station/StationView.h"
#include "session/MatchList.h"
#include "session/RipSession.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace tonvane::station {

// How the discs went, for the tally at the end.
struct StationTally {
    int32_t discs = 0; // arrived
    int32_t whole = 0; // every track whole and the log and CUE sheet written
    int32_t attention = 0; // listed in needs-attention.txt
    int32_t skipped = 0; // ripped before (a log under --out names them)
    int32_t failed = 0; // could not be read, or nothing of them could be written
};

// The choices every disc is ripped with.
struct StationSetup {
    std::string baseFolder; // --out, the stored folder or the music folder
    std::optional<int32_t> format; // EncoderFormat; none: the stored format
    std::optional<uint32_t> quality;
    SessionSettings session; // drive and folder are filled per disc
    bool lookup = true;
    LookupOptions lookupOptions;
    bool again = false; // rip discs a log already names
};

// What the drives of one station share. Every member is safe to use from their threads.
struct StationContext {
    StationSetup setup;
    StationEvents& events;
    StationView& view;
    AttentionList attention;
    DesktopNotice notice;
    std::atomic<bool> stopping{false};

    std::mutex mutex; // guards the members below
    StationTally tally;
    std::set<std::string> discsInProgress; // AccurateRip ids lines of the discs being ripped

    StationContext(StationSetup chosen, StationEvents& eventsOut, StationView& viewOut)
        : setup(std::move(chosen)), events(eventsOut), view(viewOut),
          attention(setup.baseFolder + "/needs-attention.txt")
    {
    }
};

} // namespace tonvane::station
