#pragma once
#include "controls/entry/TextEntry.h"
#include "core/disc/ConversionJob.h"
#include "graphics/surface/IntRect.h"

#include <cstdint>
#include <functional>

namespace tonvane {

// Typing a track's title in the track list: a text entry opened over the row's title (a double
// click on it, or F2 on the list's row), holding the title selected. Return keeps the text as
// the track's typed title (file name and tag), Esc drops it, Tab keeps it and goes on to the
// next row's title (Shift+Tab the previous one), and so does a click elsewhere.
class TitleEditor {
public:
    struct Host {
        // Where row's title may be typed, in the page's coordinates; false when the row is not
        // on the page.
        std::function<bool(int32_t row, IntRect& where)> titleRoom;
        std::function<void(int32_t row)> bringIntoView;
        std::function<void(int32_t row)> titleChanged;
        // The editor closed: the focus goes back to the list.
        std::function<void()> closed;
    };

    TitleEditor(Widget& page, ConversionJob& job, Host host);

    // Opens the entry over row's title; false when the row is not there.
    bool open(int32_t row);
    void keep();
    void drop();
    bool isOpen() const { return m_row >= 0; }
    int32_t row() const { return m_row; }
    TextEntry& entry() { return m_entry; }

private:
    void moveOn(bool backwards);
    void close();

    ConversionJob& m_job;
    Host m_host;
    TextEntry m_entry;
    int32_t m_row = -1;
};

} // namespace tonvane
