#pragma once

namespace tonvane {

// On a fatal signal (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT) or std::terminate, writes
// "Error: Exception" to standard error and lets the default action end the process.
void installLastResortHandler();

} // namespace tonvane
