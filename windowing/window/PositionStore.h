#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace tonvane {

// The main window's position listener: writes the content rectangle as "x", "y", "x2", "y2"
// under keyPath's "\Main".
std::function<void(int32_t, int32_t, int32_t, int32_t)> storeMainWindowPosition(std::u16string keyPath);

} // namespace tonvane
