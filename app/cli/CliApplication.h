#pragma once
#include "app/cli/CommandLine.h"

#include <cstdio>

namespace tonvane::cli {

// The command-line front end over the same disc model, rip thread, encoders, settings and CDDB
// client as the window program. Answers the process exit code.
int runCommandLine(const Options& options, std::FILE* out, std::FILE* errors);

} // namespace tonvane::cli
