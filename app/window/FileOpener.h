#pragma once
#include "core/foundation/Thread.h"

#include <list>
#include <string>

namespace tonvane {

// Opens a file or folder with the desktop's program for it: `program PATH` (xdg-open unless
// told otherwise, found on PATH), started with posix_spawn through a shell that puts it in the
// background and ends at once. The shell is waited for on a thread of the opener, so the
// window's thread never waits on a child; the program itself, left to the shell, is reaped by
// init. The destructor joins those threads (each waits only for its shell).
class FileOpener {
public:
    explicit FileOpener(std::string program = "xdg-open") : m_program(std::move(program)) {}
    ~FileOpener();
    FileOpener(const FileOpener&) = delete;
    FileOpener& operator=(const FileOpener&) = delete;

    // Called on one thread (the window's). False for a path that cannot be handed over (empty, a NUL, or a leading '-' that the
    // program would read as an option) or when no thread could start.
    bool open(const std::string& path);
    const std::string& program() const { return m_program; }

private:
    std::string m_program;
    std::list<Thread> m_launches; // joined on the next open once ended, the rest by the destructor
};

} // namespace tonvane
