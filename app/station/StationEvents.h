#pragma once
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace tonvane::station {

// The station's JSON lines: one object a line, each with "seq" (from 1, in the order written),
// "time" (UTC, ISO 8601 to the second) and "event"; written whole and flushed under one lock, so
// lines of several drives never mix and a follower sees each as soon as it happened.
class StationEvents {
public:
    StationEvents() = default;
    ~StationEvents();
    StationEvents(const StationEvents&) = delete;
    StationEvents& operator=(const StationEvents&) = delete;

    // target: a file (appended to), "-" for standard output, empty for none. False with error set
    // when the file cannot be opened.
    bool open(const std::string& target, std::FILE* standardOutput, std::string& error);
    // Adds seq and time to event (an object) and writes it as one line.
    void write(nlohmann::json event);
    // False once a line could not be written whole (a full disk): the station says so once.
    bool healthy() const;

private:
    mutable std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    bool m_owned = false;
    bool m_failed = false;
    uint64_t m_sequence = 0;
};

} // namespace tonvane::station
