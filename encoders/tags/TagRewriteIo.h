#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace tonvane {

// The file operations of a tag rewrite, each one a numbered step. A test makes step k fail (as
// if the system refused it) for every k in turn and checks that the file is exactly as before.
class TagRewriteIo {
public:
    TagRewriteIo() = default;
    // Step failAt (1-based) fails; 0 = none.
    explicit TagRewriteIo(int failAt) : m_failAt(failAt) {}
    TagRewriteIo(const TagRewriteIo&) = delete;
    TagRewriteIo& operator=(const TagRewriteIo&) = delete;
    ~TagRewriteIo();

    int steps() const { return m_steps; }
    const std::string& problem() const { return m_problem; }

    bool openForUpdate(const std::string& path); // read and write, the file must exist
    bool openForReading(const std::string& path);
    // Creates the temporary file beside target (".name.tags", replacing a stale one) with
    // target's permission bits.
    bool createTemporary(const std::string& target);
    bool readAt(uint64_t offset, void* into, size_t bytes); // all bytes or false
    bool writeAt(uint64_t offset, const void* from, size_t bytes);
    bool append(const void* from, size_t bytes); // to the temporary file
    // Copies the source from offset to its end onto the temporary file.
    bool copyRest(uint64_t offset);
    uint64_t size() const { return m_size; } // of the opened file
    bool syncSource();
    // fsync of the temporary file, rename over the source, then the folder synced (its failure
    // no longer matters: the new file is in place).
    bool commitTemporary();
    // Removes an uncommitted temporary file and closes everything.
    void close();

    void setProblem(std::string problem);

private:
    bool pass(const char* what);

    int m_failAt = 0;
    int m_steps = 0;
    int m_source = -1;
    int m_temporary = -1;
    uint64_t m_size = 0;
    uint64_t m_appendAt = 0;
    std::string m_path, m_temporaryPath;
    std::string m_problem;
};

} // namespace tonvane
