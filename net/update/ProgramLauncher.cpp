#include "net/update/ProgramLauncher.h"

#include "core/foundation/Utf.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace tonvane {

namespace {

constexpr char kShell[] = "/bin/sh";
// "$@" runs the arguments after the script name as one command, in the background, with its
// standard streams away from ours.
constexpr char kDetachScript[] = "\"$@\" </dev/null >/dev/null 2>&1 &";

bool spawnDetached(const char* program, const std::string& argument)
{
    if (argument.empty() || argument.find('\0') != std::string::npos)
        return false;
    std::string script = kDetachScript;
    std::string name = "sh";
    std::string programText = program;
    std::string argumentText = argument;
    char* argv[] = {name.data(), const_cast<char*>("-c"), script.data(), name.data(), programText.data(),
                    argumentText.data(), nullptr};
    if (programText.empty()) {
        argv[4] = argumentText.data();
        argv[5] = nullptr;
    }
    pid_t shell = 0;
    if (posix_spawn(&shell, kShell, nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    while (waitpid(shell, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

bool SystemLauncher::openWebPage(std::u16string_view url)
{
    return spawnDetached("xdg-open", utf16ToUtf8(url));
}

bool SystemLauncher::startProgram(const std::string& path)
{
    return spawnDetached("", path);
}

bool openWebPage(std::u16string_view url)
{
    SystemLauncher launcher;
    return launcher.openWebPage(url);
}

} // namespace tonvane
