#pragma once
#include "cdrom/accuraterip/AccurateRipDiscId.h"
#include "cdrom/accuraterip/AccurateRipResponse.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

class HttpClient;

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

// What the database said about a disc. NoRecord is only its HTTP 404 ("not in the database");
// an answer that is damaged or names another disc is Unusable; no answer at all (refused
// connection, another HTTP status, a redirect to https, an answer over 1 MiB) is NotChecked.
struct AccurateRipRecord {
    enum class State : uint8_t { NotChecked, NoRecord, Unusable, Found };
    State state = State::NotChecked;
    std::vector<AccurateRipBlock> blocks; // when Found
    std::string note; // one line for the log: where the answer came from, or why there is none

    // Tracks can be judged: against a record, or as not in the database.
    bool judges() const { return state == State::Found || state == State::NoRecord; }
    // Every track's verdict when the record does not judge.
    const char* unjudgedVerdict() const { return state == State::Unusable ? "record unusable" : "not checked"; }
};

// Lets another thread end a fetch early: cancel() cuts its request short (the record is then
// NotChecked) and makes a later fetch give up before connecting.
class FetchCancel {
public:
    void cancel();
    bool cancelled();

private:
    friend class FetchCancelScope;
    std::mutex m_mutex;
    HttpClient* m_client = nullptr; // the request under way
    bool m_cancelled = false;
};

// The record of id from the cache folder ($XDG_CACHE_HOME/tonvane) or, when not cached, from
// server ("host" or "host:port"; empty = www.accuraterip.com). A record that parses is cached
// (written atomically); the note names the reason of every other outcome.
AccurateRipRecord fetchAccurateRipRecord(const AccurateRipDiscId& id, const std::string& server,
                                         const std::string& cacheFolder, FetchCancel* cancel = nullptr);
// Why bytes are no record of id: "N byte(s), not whole blocks", "the record of another disc
// (...)" and the like; empty when they parse.
std::string accurateRipRecordProblem(const std::string& bytes, const AccurateRipDiscId& id);

} // namespace tonvane
