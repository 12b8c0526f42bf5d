#pragma once
#include "core/disc/ConversionJob.h"

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
// fsync of fd; true also for a descriptor that cannot be synced (a pipe, a character device),
// since its bytes are gone to their reader already.
bool syncOutputFile(int fd);
// Closes fd; false when the close reported an error (the data may not have reached the disk).
bool closeOutputFile(int fd);

// What became of a whole track's temporary file.
enum class CommitResult : uint8_t {
    Committed, // it carries the final name (and the folder was synced, where it can be)
    NameTaken, // Refuse, and a file of the final name exists: neither file was touched
    Failed, // the file system refused (permissions, a vanished folder, an invalid name)
};

// Gives the whole file at partPath its final name in the same folder, then syncs the folder so
// the new name survives a power loss. Refuse never replaces a file that exists by then
// (renameat2 RENAME_NOREPLACE; on a file system without it, commitWithoutReplacing); Replace
// renames over it. partPath is left as it was unless the result is Committed.
CommitResult commitOutputFile(std::u16string_view partPath, std::u16string_view finalPath, ExistingFiles existing);
// The fallback of Refuse for file systems that cannot rename without replacing: a hard link
// (atomic: it fails with EEXIST when the name exists) and an unlink of the temporary name; where
// hard links are not supported either (FAT), the final name is claimed empty with O_EXCL and the
// temporary file renamed over that claim, which only this call made.
CommitResult commitWithoutReplacing(std::u16string_view partPath, std::u16string_view finalPath);
// Removes the file at path; true when it is gone (also when it never existed).
bool removeOutputFile(std::u16string_view path);

} // namespace tonvane
