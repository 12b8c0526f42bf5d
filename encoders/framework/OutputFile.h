#pragma once
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <string_view>

namespace tonvane {

// Creates (or replaces) an output file for writing, as the Windows build did with create-always:
// the path arrives as UTF-16 and goes to the file system as UTF-8. Answers the descriptor or -1.
int createOutputFile(std::u16string_view path);
// The same as a buffered stdio stream (64 KiB buffer), for writers that go through stdio or
// hand the stream to an encoder library. A path that holds U+0000 names no file.
std::FILE* createOutputStream(std::u16string_view path);
// Writes every byte, retrying short writes and EINTR; false on any error (a full disk, a file
// size limit).
// written (optional) receives how many bytes did reach the file.
bool writeAllBytes(int fd, const void* bytes, size_t count, size_t* written = nullptr);
// Closes fd; false when the close reported an error (the data may not have reached the disk).
bool closeOutputFile(int fd);

} // namespace tonvane
