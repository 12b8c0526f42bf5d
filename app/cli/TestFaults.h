#pragma once

namespace tonvane::cli {

// Test aid: TONVANE_TEST_FAULTS="read:LBA[,LBA...];speed:SECTORS_PER_SECOND" gives the built-in
// demo drive permanent read errors at those sectors and a read-speed limit (600 = an 8x drive),
// so scripts and tests can see how the ripper handles a damaged disc or a slow drive;
// "remove:N" takes the disc out once N sectors were read (a drive that loses its disc).
void applyTestFaults();

} // namespace tonvane::cli
