#pragma once
#include <cstdint>

namespace tonvane::x11 {

// The virtual-key code of an X key symbol; 0 for keys the program does not know.
uint32_t virtualKey(unsigned long keysym);

} // namespace tonvane::x11
