#pragma once
#include <cstddef>
#include <cstdint>

namespace tonvane {

// A file compiled into the program: its name relative to its resource folder and its bytes.
struct EmbeddedFile {
    const char* name;
    const uint8_t* bytes;
    size_t size;
};

// The PNG files of resources/skins/ (generated at build time by cmake/EmbedFiles.cmake).
extern const EmbeddedFile kSkinFiles[];
extern const size_t kSkinFilesCount;

} // namespace tonvane
