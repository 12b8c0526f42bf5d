#pragma once
#include "controls/dropdown/DropDownBox.h"
#include "session/MatchList.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tonvane {

// The album box's matches: every entry of a lookup's list (MusicBrainz releases first, then the
// CDDB matches), each labelled so that two similar releases can be told apart and marked with
// its source by the theme. The box is offered from one MusicBrainz match on; CDDB matches alone
// need two, as the design has it.
class MatchBox {
public:
    explicit MatchBox(DropDownBox& box);

    // Fills the box with list's entries, the first chosen; null empties it.
    void show(std::shared_ptr<const MatchList> list);
    const MatchList* list() const { return m_list.get(); }
    std::shared_ptr<const MatchList> shared() const { return m_list; }
    int32_t count() const { return m_list ? static_cast<int32_t>(m_list->entries.size()) : 0; }
    // Whether the person may choose among the entries.
    bool choosable() const;
    bool isMusicBrainz(int32_t entry) const;

    // "Artist / Album (year, country or format, disc n/m)"; a CDDB entry "Artist / Album (year)".
    static std::u16string label(const MatchList& list, size_t entry);
    // The source's mark: "MB" or "CDDB".
    static std::u16string badge(const MatchList& list, size_t entry);

private:
    DropDownBox& m_box;
    std::shared_ptr<const MatchList> m_list;
};

} // namespace tonvane
