#pragma once
#include "core/foundation/WideString.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tonvane::settings {

// The program's persistent values, addressed like registry values: (key path, subkey suffix,
// value name). Every call opens the settings file, does one operation and closes it again;
// nothing is cached. Writes replace the file atomically under an exclusive lock, so writers in
// other threads or processes never lose each other's values. A corrupt file reads as "missing",
// is moved aside as settings.reg.bad, and the next write starts a fresh file.

// Full key path: keyPath, a backslash unless suffix starts with one, then suffix. A trailing
// backslash (empty suffix) names keyPath itself.
std::u16string fullKeyPath(std::u16string_view keyPath, std::u16string_view suffix);

bool readDword(std::u16string_view keyPath, std::u16string_view suffix, std::u16string_view name, uint32_t& value);
bool writeDword(std::u16string_view keyPath, std::u16string_view suffix, std::u16string_view name, uint32_t value);
bool readString(std::u16string_view keyPath, std::u16string_view suffix, std::u16string_view name, WideString& value);
bool writeString(std::u16string_view keyPath, std::u16string_view suffix, std::u16string_view name,
                 std::u16string_view value);
// "DeleteUpdateFile" directly under the product key.
bool deleteUpdateFileValue(std::u16string_view keyPath);
bool writeUpdateFileValue(std::u16string_view keyPath, std::u16string_view path);

// The main window's content rectangle in y-up screen pixels: "x", "y", "x2", "y2" under "\Main".
struct WindowRect {
    int32_t left = 0;
    int32_t bottom = 0;
    int32_t right = 0;
    int32_t top = 0;
};
// Reads the four values in order and stops at the first missing one.
bool readWindowRect(std::u16string_view keyPath, WindowRect& rect);
// Writes x, y, x2 = left + width, y2 = bottom + height in one rewrite of the file.
bool writeWindowRect(std::u16string_view keyPath, int32_t left, int32_t bottom, int32_t width, int32_t height);

// $XDG_CONFIG_HOME/tonvane (else ~/.config/tonvane) and the file inside it.
std::string settingsDirectory();
std::string settingsFilePath();

} // namespace tonvane::settings
