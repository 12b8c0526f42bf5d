#pragma once

namespace tonvane {

// What exists of the process entry before the windows: foundation start-up, the language slots
// and the start-up language from the locale, the last-resort handler. Run once on the first
// thread before anything else.
void processStartup();
// Runs the exit callbacks in registration order, then the fixed clean-up tables.
void processShutdown();

} // namespace tonvane
