#pragma once
#include <cstdint>
#include <string>

namespace tonvane::x11 {

// The virtual-key code of an X key symbol; 0 for keys the program does not know.
uint32_t virtualKey(unsigned long keysym);

} // namespace tonvane::x11

namespace tonvane::x11 {

// The character a key symbol stands for (UTF-8) when no input method looks keys up: Latin-1
// symbols are their code, 0x01000000 + c is U+c; empty for keys that type nothing (functions,
// controls).
std::string keysymText(unsigned long keysym);

} // namespace tonvane::x11
