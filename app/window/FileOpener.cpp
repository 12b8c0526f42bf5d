#include "app/window/FileOpener.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace tonvane {

namespace {

constexpr char kShell[] = "/bin/sh";
// "$@" runs the arguments after the script's name in the background with its standard streams
// away from ours; the shell ends as soon as it has started it.
constexpr char kDetachScript[] = "\"$@\" </dev/null >/dev/null 2>&1 &";

void runDetached(std::string program, std::string path)
{
    std::string name = "sh", flag = "-c", script = kDetachScript;
    char* argv[] = {name.data(), flag.data(), script.data(), name.data(), program.data(), path.data(), nullptr};
    pid_t shell = 0;
    if (posix_spawn(&shell, kShell, nullptr, nullptr, argv, environ) != 0)
        return;
    int status = 0;
    while (waitpid(shell, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

FileOpener::~FileOpener()
{
    m_launches.clear(); // each Thread joins as it goes
}

bool FileOpener::open(const std::string& path)
{
    if (path.empty() || path.front() == '-' || path.find('\0') != std::string::npos || m_program.empty())
        return false;
    m_launches.remove_if([](Thread& launch) { return launch.tryJoin(); });
    struct Order {
        std::string program, path;
    };
    m_launches.emplace_back();
    auto run = [](Order order) { runDetached(std::move(order.program), std::move(order.path)); };
    if (startThreadWithCopy(m_launches.back(), +run, Order{m_program, path}) != kSuccess) {
        m_launches.pop_back();
        return false;
    }
    return true;
}

} // namespace tonvane
