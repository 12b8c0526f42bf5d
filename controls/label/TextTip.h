#pragma once
#include "controls/widget/Widget.h"

#include <string>
#include <vector>

namespace tonvane {

// A tip that shows a text whole over the widgets below it: an opaque pale panel with a border
// and the text wrapped onto the lines it needs (at most kMaxLines, the last one cut with an
// ellipsis). Created disabled, so it takes no pointer events: the widget under it keeps the
// hover that asked for the tip.
class TextTip : public Widget {
public:
    static constexpr int32_t kPadding = 4; // [pixels] between the border and the text
    static constexpr uint32_t kMaxLines = 6;

    explicit TextTip(Widget* parent);

    // Shows `text` with the tip's top-left corner at (left, top) of the parent (y up), at most
    // maxWidth wide; a tip that would leave the parent at the bottom goes above `above` instead.
    void showText(std::u16string text, int32_t left, int32_t top, int32_t maxWidth, int32_t above);
    void hideText();
    const std::u16string& text() const { return m_text; }
    const std::vector<std::u16string>& lines() const { return m_lines; }

    void paint(Surface& surface) override;

private:
    std::u16string m_text;
    std::vector<std::u16string> m_lines;
};

} // namespace tonvane
