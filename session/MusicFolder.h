#pragma once
#include <string>

namespace tonvane {

// The user's music folder: XDG_MUSIC_DIR from the environment or from
// $XDG_CONFIG_HOME/user-dirs.dirs ("$HOME/..." expanded), else ~/Music.
std::string musicFolder();

// Creates folder and its parents as needed. False with error set when it cannot be created or
// written to.
bool prepareOutputFolder(const std::string& folder, std::string& error);

} // namespace tonvane
