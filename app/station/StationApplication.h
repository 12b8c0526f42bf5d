#pragma once
#include "app/cli/CommandLine.h"

#include <cstdio>

namespace tonvane::station {

// `tonvane station`: every drive watched on a thread of its own until SIGINT, SIGTERM or SIGHUP,
// then the drives are stopped in order and the tally printed. Exit 128 + the signal after a
// stop; 2 for bad usage; 3 when there is no drive to watch.
int runStation(const cli::Options& options, std::FILE* out, std::FILE* errors);

} // namespace tonvane::station
