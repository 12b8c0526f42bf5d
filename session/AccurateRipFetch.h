#pragma once
#include "session/AccurateRipLookup.h"
#include "core/foundation/Thread.h"

#include <string>

namespace tonvane {

// fetchAccurateRipRecord on a thread of its own, so that a rip that needs the record only for
// its report reads the disc meanwhile instead of waiting for the server first (a round trip,
// up to kAccurateRipTimeoutMs when the server does not answer). Without a thread to be had it
// fetches in the constructor. The destructor waits for the thread.
class AccurateRipFetch {
public:
    AccurateRipFetch(const AccurateRipDiscId& id, std::string server, std::string cacheFolder);
    ~AccurateRipFetch() { m_thread.join(); }
    AccurateRipFetch(const AccurateRipFetch&) = delete;
    AccurateRipFetch& operator=(const AccurateRipFetch&) = delete;

    // Waits for the fetch and hands its record over (once).
    AccurateRipRecord finish();

private:
    static void* run(void* self);

    AccurateRipDiscId m_id;
    std::string m_server;
    std::string m_cacheFolder;
    AccurateRipRecord m_record;
    Thread m_thread;
};

} // namespace tonvane
