#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace tonvane {

inline constexpr uint32_t kSheetSettleMs = 1000; // [ms] a sheet and its files unchanged this long are whole
inline constexpr uint32_t kBrokenSheetGraceMs = 3000; // [ms] a sheet that does not load may still be arriving
inline constexpr uint32_t kWatchRescanMs = 250; // [ms] between looks while a sheet settles

// One CUE sheet found in a watched folder: a disc for its own image drive ("image:" + sheet), or
// a sheet that did not load (problem names why: a missing or short BIN, a bad line).
struct WatchedSheet {
    std::string sheet; // full path
    std::string problem; // empty when the sheet loads
};

// A folder fed with CUE sheets (and their BIN or WAV files), each one disc. inotify wakes the
// watcher when something there changes. A sheet is handed out once it and every file it names
// have kept their sizes and times for kSheetSettleMs (a copy still running changes them) and the
// sheet loads; one that still does not load after kBrokenSheetGraceMs of standing still is handed
// out with its problem. Sheets are handed out in name order, each once (while it keeps its name).
// Names ending in ".cue.done" are through and are never handed out. One thread uses an instance;
// stop() may come from any thread.
class WatchFolder {
public:
    explicit WatchFolder(std::string folder, uint32_t settleMs = kSheetSettleMs,
                         uint32_t brokenGraceMs = kBrokenSheetGraceMs);
    ~WatchFolder();
    WatchFolder(const WatchFolder&) = delete;
    WatchFolder& operator=(const WatchFolder&) = delete;

    // Starts watching. False with error set when the folder cannot be watched.
    bool open(std::string& error);
    // Waits at most timeoutMs for the next settled sheet. False on time-out or stop.
    bool next(WatchedSheet& sheet, uint32_t timeoutMs);
    // Makes a waiting next() return false at once, and every later one.
    void stop();
    const std::string& folder() const { return m_folder; }

private:
    struct Candidate {
        std::string signature; // sizes and times of the sheet and its files
        uint64_t stableSinceMs = 0;
    };
    bool findSettled(WatchedSheet& sheet);
    void drainEvents();

    std::string m_folder;
    uint32_t m_settleMs;
    uint32_t m_brokenGraceMs;
    int m_inotify = -1;
    int m_wake = -1; // eventfd written by stop()
    std::map<std::string, Candidate> m_candidates; // by full path
    std::map<std::string, std::string> m_handedOut; // full path -> signature when handed out
};

} // namespace tonvane
