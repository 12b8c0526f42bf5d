#pragma once
#include "controls/widget/Caption.h"
#include "controls/widget/Widget.h"

#include <functional>

namespace tonvane {

class Font;

// A 16 x 16 box with its caption beside it, both centred vertically; a caption too long for one
// line wraps when the box is tall enough and ends in an ellipsis when not. A press inside
// inverts the tick.
class CheckBox : public Widget {
public:
    explicit CheckBox(Widget* parent) : Widget(parent) {}

    void setCaption(Caption caption);
    void setTicked(bool ticked);
    bool ticked() const { return m_ticked; }
    void setOnToggle(std::function<void(bool)> onToggle) { m_onToggle = std::move(onToggle); }

    void paint(Surface& surface) override;
    void onMouse(MouseAction action, int32_t x, int32_t y) override;
    bool onKeyDown(uint32_t key) override;
    bool acceptsFocus() const override { return true; }

private:
    void toggle();
    void drawCaption(Surface& surface, Font& font);

    Caption m_caption;
    bool m_ticked = false;
    std::function<void(bool)> m_onToggle;
};

} // namespace tonvane
