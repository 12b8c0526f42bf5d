#include "app/station/DesktopNotice.h"

#include "core/foundation/Clock.h"

#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tonvane::station {

namespace {

constexpr uint32_t kFinishWaitMs = 2000; // [ms] notices still running at the end get this long
constexpr uint32_t kFinishPollMs = 20; // [ms]

std::string findOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string rest = path != nullptr ? path : "";
    while (!rest.empty()) {
        size_t colon = rest.find(':');
        std::string folder = rest.substr(0, colon);
        rest = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
        std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        struct stat info{};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

} // namespace

DesktopNotice::DesktopNotice() : m_program(findOnPath("notify-send")) {}

void DesktopNotice::reap()
{
    std::erase_if(m_children, [](pid_t child) {
        int status = 0;
        return ::waitpid(child, &status, WNOHANG) != 0;
    });
}

void DesktopNotice::send(const std::string& summary, const std::string& body)
{
    std::lock_guard lock(m_mutex);
    reap();
    if (m_program.empty())
        return;
    std::string appName = "--app-name=Tonvane";
    char* arguments[] = {m_program.data(), appName.data(), const_cast<char*>(summary.c_str()),
                         const_cast<char*>(body.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    if (::posix_spawn(&child, m_program.c_str(), &actions, nullptr, arguments, environ) == 0)
        m_children.push_back(child);
    posix_spawn_file_actions_destroy(&actions);
}

void DesktopNotice::finish()
{
    std::lock_guard lock(m_mutex);
    for (uint32_t waited = 0; !m_children.empty() && waited < kFinishWaitMs; waited += kFinishPollMs) {
        reap();
        if (!m_children.empty())
            sleepMs(kFinishPollMs);
    }
    for (pid_t child : m_children) {
        ::kill(child, SIGTERM);
        int status = 0;
        ::waitpid(child, &status, 0);
    }
    m_children.clear();
}

} // namespace tonvane::station
