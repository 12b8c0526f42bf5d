#pragma once
#include <mutex>
#include <string>
#include <vector>
#include <sys/types.h>

namespace tonvane::station {

// Desktop notifications through `notify-send` when it is on PATH (nothing otherwise). Each is a
// child process of its own that the station never waits on while a disc goes on: ended ones are
// reaped at the next notice and by finish(), which gives the rest a moment and then ends them.
class DesktopNotice {
public:
    DesktopNotice();
    ~DesktopNotice() { finish(); }
    DesktopNotice(const DesktopNotice&) = delete;
    DesktopNotice& operator=(const DesktopNotice&) = delete;

    void send(const std::string& summary, const std::string& body);
    void finish();
    bool available() const { return !m_program.empty(); }

private:
    void reap();
    std::mutex m_mutex;
    std::string m_program; // full path of notify-send, empty when there is none
    std::vector<pid_t> m_children;
};

} // namespace tonvane::station
