#pragma once
#include "controls/widget/Widget.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tonvane {

// A closed box showing the chosen row of a short list; a click, Down or F4 opens the whole list
// in a popup below it, run modally. Choosing another row calls onChoose.
class DropDownBox : public Widget {
public:
    static constexpr uint32_t kOpenBit = 0x2; // in the box's own flags: drawn open
    static constexpr int32_t kPopupGap = 4; // [pixels] between the box and the popup's top edge

    explicit DropDownBox(Widget* parent) : Widget(parent) {}

    void setRowCount(int32_t rows);
    int32_t rowCount() const { return m_rows; }
    void setChosen(int32_t row);
    int32_t chosen() const { return m_chosen; }
    void setListHeight(int32_t pixels) { m_listHeight = pixels; }
    void setRowText(std::function<std::u16string(int32_t)> rowText) { m_rowText = std::move(rowText); }
    // The text of a row as the list shows it; empty outside the rows.
    std::u16string rowText(int32_t row) const
    {
        return m_rowText && row >= 0 && row < m_rows ? m_rowText(row) : std::u16string();
    }
    // A short mark the theme draws in a small box before a row's text (empty: none).
    void setRowBadge(std::function<std::u16string(int32_t)> rowBadge) { m_rowBadge = std::move(rowBadge); }
    void setOnChoose(std::function<void(int32_t)> onChoose) { m_onChoose = std::move(onChoose); }
    bool isOpen() const { return (m_flags & kOpenBit) != 0; }
    bool hovered() const { return m_hovered; }
    // A row chosen as from the open list: stored and onChoose called, unless it is the chosen one.
    void choose(int32_t row);
    // Opens the popup and returns once it closed.
    void open(bool byKeyboard);
    // The open popup, while open() runs.
    class DropDownPopup* popup() const { return m_popup; }

    void paint(Surface& surface) override;
    void onMouse(MouseAction action, int32_t x, int32_t y) override;
    void captureLost() override;
    bool onKeyDown(uint32_t key) override;
    bool acceptsFocus() const override { return true; }

private:
    bool inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width() && y < height(); }

    int32_t m_rows = 0;
    int32_t m_chosen = -1;
    int32_t m_listHeight = 0;
    uint32_t m_flags = 0;
    bool m_hovered = false;
    class DropDownPopup* m_popup = nullptr;
    std::function<std::u16string(int32_t)> m_rowText;
    std::function<std::u16string(int32_t)> m_rowBadge;
    std::function<void(int32_t)> m_onChoose;
};

} // namespace tonvane
