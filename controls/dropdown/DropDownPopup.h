#pragma once
#include "controls/list/ItemList.h"
#include "controls/widget/PopupWindow.h"

#include <functional>
#include <string>

namespace tonvane {

class UiThread;

// The open list of a drop-down box: its own popup window holding an item list with one row per
// choice, run modally until a row is clicked (chosen), the pointer is pressed outside, or Esc.
// The hot row starts at the chosen one and follows the pointer (and Up and Down).
class DropDownPopup final : public PopupWindow {
public:
    DropDownPopup(UiThread& ui, WindowId owner, int32_t rows, int32_t chosen,
                  std::function<std::u16string(int32_t)> rowText);

    // Opens at the rectangle (y-up screen pixels) and returns once it has closed: the final hot
    // row, -1 when it closed without one.
    int32_t run(int32_t left, int32_t bottom, int32_t right, int32_t top);

    // Rows drawn by the caller instead of as list rows (menus), and rows that cannot be chosen.
    void setRowPainter(std::function<void(Surface&, int32_t row, const IntRect& rect, bool hot)> painter)
    {
        m_rowPainter = std::move(painter);
    }
    void setRowEnabled(std::function<bool(int32_t row)> enabled) { m_rowEnabled = std::move(enabled); }

    int32_t hot() const { return m_hot; }
    // Up and Down as the keyboard moves them (public for tests).
    void moveHot(int32_t direction);
    // VK_LEFT or VK_RIGHT when a menu was left sideways, else 0.
    uint32_t exitKey() const { return m_exitKey; }
    bool chosen() const { return m_chosen; }
    ItemList& list() { return m_list; }

    void keyDown(uint32_t key) override;
    void layout(int32_t width, int32_t height) override;

private:
    void setHot(int32_t row);

    std::function<std::u16string(int32_t)> m_rowText;
    std::function<void(Surface&, int32_t, const IntRect&, bool)> m_rowPainter;
    std::function<bool(int32_t)> m_rowEnabled;
    int32_t m_rows;
    int32_t m_hot;
    bool m_chosen = false;
    uint32_t m_exitKey = 0;
    ItemList m_list{&root()};
};

} // namespace tonvane
