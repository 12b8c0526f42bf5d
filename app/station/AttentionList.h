#pragma once
#include <mutex>
#include <string>

namespace tonvane::station {

// "<out>/needs-attention.txt": one line per disc that needs another look, "FOLDER<TAB>REASON"
// (the folder "-" when nothing was written). Each line goes out in one append, so a reader
// never sees half a line of one disc joined to another's.
class AttentionList {
public:
    explicit AttentionList(std::string path) : m_path(std::move(path)) {}
    // False with error set when the line could not be appended whole.
    bool add(const std::string& folder, const std::string& reason, std::string& error);
    const std::string& path() const { return m_path; }

private:
    std::mutex m_mutex;
    std::string m_path;
};

} // namespace tonvane::station
