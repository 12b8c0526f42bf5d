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
                  std::function<std::u16string(int32_t)> rowText,
                  std::function<std::u16string(int32_t)> rowBadge = {});

    // Opens at the rectangle (y-up screen pixels) and returns once it has closed: the final hot
    // row, -1 when it closed without one.
    int32_t run(int32_t left, int32_t bottom, int32_t right, int32_t top);

    int32_t hot() const { return m_hot; }
    // Up and Down as the keyboard moves them, stopping at the ends (public for tests).
    void moveHot(int32_t direction);
    ItemList& list() { return m_list; }

    void keyDown(uint32_t key) override;
    void layout(int32_t width, int32_t height) override;

private:
    void setHot(int32_t row);

    std::function<std::u16string(int32_t)> m_rowText;
    std::function<std::u16string(int32_t)> m_rowBadge;
    int32_t m_rows;
    int32_t m_hot;
    ItemList m_list{&root()};
};

} // namespace tonvane
