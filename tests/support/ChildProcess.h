#pragma once
#include <string>
#include <vector>

namespace tonvane::test {

struct ProcessResult {
    int exitCode = -1; // -1 when killed by a signal
    int signal = 0;
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Runs program with arguments (argv[0] is program), extra environment entries "NAME=value"
// added to ours, standard input from /dev/null, and waits at most timeoutMs (then SIGKILL).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment = {}, int timeoutMs = 120000);

// A started child whose output is collected later (for signals sent mid-run).
class RunningProcess {
public:
    RunningProcess(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment = {});
    ~RunningProcess();
    int pid() const { return m_pid; }
    // Reads output until the child ends or timeoutMs pass.
    ProcessResult wait(int timeoutMs = 120000);
    // Output read so far (call repeatedly while waiting for something to show).
    const std::string& outSoFar();

private:
    void pump(int timeoutMs);
    int m_pid = -1;
    int m_out = -1, m_err = -1;
    std::string m_outText, m_errText;
};

} // namespace tonvane::test
