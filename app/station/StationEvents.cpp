#include "app/station/StationEvents.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace tonvane::station {

namespace {

std::string utcNow()
{
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

} // namespace

StationEvents::~StationEvents()
{
    if (m_owned && m_file != nullptr)
        std::fclose(m_file);
}

bool StationEvents::open(const std::string& target, std::FILE* standardOutput, std::string& error)
{
    if (target.empty())
        return true;
    if (target == "-") {
        m_file = standardOutput;
        return true;
    }
    m_file = std::fopen(target.c_str(), "ae");
    if (m_file == nullptr) {
        error = "cannot write the events to " + target + ": " + std::strerror(errno);
        return false;
    }
    m_owned = true;
    return true;
}

void StationEvents::write(nlohmann::json event)
{
    std::lock_guard lock(m_mutex);
    if (m_file == nullptr)
        return;
    event["seq"] = ++m_sequence;
    event["time"] = utcNow();
    // Outside text (titles, paths) may hold bytes that are not UTF-8: replaced, never thrown over.
    std::string line = event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    if (std::fwrite(line.data(), 1, line.size(), m_file) != line.size() || std::fflush(m_file) != 0)
        m_failed = true;
}

bool StationEvents::healthy() const
{
    std::lock_guard lock(m_mutex);
    return !m_failed;
}

} // namespace tonvane::station
