#include "core/startup/LastResortHandler.h"

#include <csignal>
#include <cstdlib>
#include <exception>
#include <unistd.h>

namespace tonvane {

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

void reportException()
{
    static const char message[] = "Error: Exception\n"; // caption, then text of the box
    ssize_t ignored = ::write(2, message, sizeof message - 1);
    (void)ignored;
}

void onFatalSignal(int signal)
{
    reportException();
    // SA_RESETHAND restored the default action: raising again ends the process as the system
    // would have without us.
    ::raise(signal);
}

[[noreturn]] void onTerminate()
{
    reportException();
    std::signal(SIGABRT, SIG_DFL); // the abort below must not report a second time
    std::abort();
}

} // namespace

void installLastResortHandler()
{
    struct sigaction action{};
    action.sa_handler = onFatalSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    for (int signal : kFatalSignals)
        ::sigaction(signal, &action, nullptr);
    std::set_terminate(onTerminate);
}

} // namespace tonvane
