#include "support/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace tonvane::test {

namespace {
long long nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}
} // namespace

RunningProcess::RunningProcess(const std::string& program, const std::vector<std::string>& arguments,
                               const std::vector<std::string>& environment)
{
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);

    std::vector<std::string> argvText = arguments;
    argvText.insert(argvText.begin(), program);
    std::vector<char*> argv;
    for (auto& text : argvText)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    // The caller's entries replace the test process's own of the same name (a child reads the
    // first of two, so appending would leave DISPLAY or XDG_CONFIG_HOME unchanged).
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> envText;
    for (char** entry = environ; *entry; ++entry) {
        std::string inherited(*entry);
        bool replaced = false;
        for (const auto& extra : environment)
            replaced = replaced || nameOf(extra) == nameOf(inherited);
        if (!replaced)
            envText.push_back(std::move(inherited));
    }
    for (const auto& extra : environment)
        envText.push_back(extra);
    std::vector<char*> envp;
    for (auto& text : envText)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    pid_t pid;
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0)
        m_pid = pid;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    m_out = out[0];
    m_err = err[0];
}

RunningProcess::~RunningProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0)
        ::close(m_out);
    if (m_err >= 0)
        ::close(m_err);
}

void RunningProcess::pump(int timeoutMs)
{
    pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) <= 0)
        return;
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP)))
            continue;
        ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0)
            (i == 0 ? m_outText : m_errText).append(buffer, static_cast<size_t>(n));
        else if (n == 0) {
            ::close(fds[i].fd);
            (i == 0 ? m_out : m_err) = -1;
        }
    }
}

const std::string& RunningProcess::outSoFar()
{
    if (m_out >= 0 || m_err >= 0)
        pump(50);
    return m_outText;
}

ProcessResult RunningProcess::wait(int timeoutMs)
{
    ProcessResult result;
    if (m_pid <= 0) {
        result.err = "could not start the program";
        return result;
    }
    long long deadline = nowMs() + timeoutMs;
    while ((m_out >= 0 || m_err >= 0) && nowMs() < deadline)
        pump(static_cast<int>(std::max(1LL, std::min(200LL, deadline - nowMs()))));
    int status = 0;
    for (;;) {
        pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid)
            break;
        if (nowMs() >= deadline) {
            result.timedOut = true;
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
            break;
        }
        ::usleep(10000);
    }
    m_pid = -1;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.out = m_outText;
    result.err = m_errText;
    return result;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment, int timeoutMs)
{
    RunningProcess process(program, arguments, environment);
    return process.wait(timeoutMs);
}

} // namespace tonvane::test
