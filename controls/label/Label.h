#pragma once
#include "controls/widget/Caption.h"
#include "controls/widget/Widget.h"

#include <functional>
#include <string>

namespace tonvane {

class Font;

// Text in a rectangle with alignment flags (1 centre, 2 right, 8 vertical centre; the text
// wraps at spaces and tabs), optional border lines on chosen sides, and as a link (0x10) the
// web address of a text row, opened with a press while the label is shown and enabled.
class Label : public Widget {
public:
    static constexpr uint32_t kLink = 0x10; // in the label's flags
    // Border sides.
    static constexpr uint32_t kBorderLeft = 0x1;
    static constexpr uint32_t kBorderBottom = 0x2;
    static constexpr uint32_t kBorderRight = 0x4;
    static constexpr uint32_t kBorderTop = 0x8;

    explicit Label(Widget* parent) : Widget(parent) {}

    void setCaption(Caption caption);
    const Caption& caption() const { return m_caption; }
    void setFlags(uint32_t flags);
    void setFont(Font* font); // not owned; null: the theme's font
    void setColour(uint32_t colour);
    void setBorder(uint32_t sides, uint32_t colour, int32_t lineWidth);
    // A link opens the text of `address` (a text row) through the address opener.
    void setLink(TextId address);
    // A link that runs a routine of the program instead of opening an address.
    void setOnClick(std::function<void()> onClick) { m_onClick = std::move(onClick); }
    bool hovered() const { return m_hovered; }

    void paint(Surface& surface) override;
    void onMouse(MouseAction action, int32_t x, int32_t y) override;
    void captureLost() override;

private:
    Caption m_caption;
    uint32_t m_flags = 0;
    Font* m_font = nullptr;
    uint32_t m_colour = 0xFF000000u;
    uint32_t m_borderSides = 0;
    uint32_t m_borderColour = 0;
    int32_t m_borderWidth = 0;
    TextId m_address = -1;
    bool m_hovered = false;
    std::function<void()> m_onClick;
};

// Opens web addresses for link labels (the application sets it: xdg-open); UTF-8.
void setAddressOpener(std::function<void(const std::string&)> opener);
// Opens an address through the opener (nothing when none is set).
void openAddress(const std::string& address);

} // namespace tonvane
