#include "session/AccurateRipFetch.h"

#include <utility>

namespace tonvane {

AccurateRipFetch::AccurateRipFetch(const AccurateRipDiscId& id, std::string server, std::string cacheFolder)
    : m_id(id), m_server(std::move(server)), m_cacheFolder(std::move(cacheFolder))
{
    if (startThread(m_thread, run, this) != kSuccess)
        run(this);
}

void* AccurateRipFetch::run(void* self)
{
    auto* fetch = static_cast<AccurateRipFetch*>(self);
    fetch->m_record = fetchAccurateRipRecord(fetch->m_id, fetch->m_server, fetch->m_cacheFolder);
    return nullptr;
}

AccurateRipRecord AccurateRipFetch::finish()
{
    m_thread.join();
    return std::move(m_record);
}

} // namespace tonvane
