#pragma once
#include "controls/widget/Caption.h"
#include "controls/widget/Widget.h"

#include <functional>

namespace tonvane {

// A link in a page that does something of the program's own (open the rip's folder, its log):
// its caption in the theme's font and link colour, underlined while the pointer is over it, a
// press runs the action. Right-aligned with kTextRight in its flags.
class PageLink : public Widget {
public:
    explicit PageLink(Widget* parent) : Widget(parent) {}

    void setCaption(Caption caption);
    const Caption& caption() const { return m_caption; }
    void setAlignment(uint32_t flags) { m_alignment = flags; }
    void setOnClick(std::function<void()> action) { m_onClick = std::move(action); }
    bool hovered() const { return m_hovered; }
    // The caption's width in the theme's font [pixels] (the page sizes the link to it).
    int32_t captionWidth() const;

    void paint(Surface& surface) override;
    void onMouse(MouseAction action, int32_t x, int32_t y) override;
    void captureLost() override;

private:
    Caption m_caption;
    uint32_t m_alignment = 0;
    std::function<void()> m_onClick;
    bool m_hovered = false;
};

} // namespace tonvane
