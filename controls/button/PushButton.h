#pragma once
#include "controls/widget/Caption.h"
#include "controls/widget/Widget.h"

#include <cstdint>
#include <functional>

namespace tonvane {

class ImageStrip;

// A push button: caption, an optional icon from an icon strip, a face colour. Clicks by the
// mouse (press and release inside) and by Space (down, then up; Esc cancels).
class PushButton : public Widget {
public:
    // Interaction bits.
    static constexpr uint8_t kHotBit = 0x1; // pointer inside
    static constexpr uint8_t kMousePressed = 0x2;
    static constexpr uint8_t kSpacePressed = 0x4;

    explicit PushButton(Widget* parent) : Widget(parent) {}

    void setCaption(Caption caption);
    const Caption& caption() const { return m_caption; }
    void setIcon(const ImageStrip* strip, int32_t index);
    void setFace(uint32_t face);
    void setOnClick(std::function<void()> onClick) { m_onClick = std::move(onClick); }
    uint8_t interaction() const { return m_interaction; }
    // The state word the theme draws with.
    uint32_t themeState() const;

    void paint(Surface& surface) override;
    void onMouse(MouseAction action, int32_t x, int32_t y) override;
    void captureLost() override;
    bool onKeyDown(uint32_t key) override;
    bool onKeyUp(uint32_t key) override;
    bool acceptsFocus() const override { return true; }

private:
    bool inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width() && y < height(); }
    void click();

    Caption m_caption;
    const ImageStrip* m_icons = nullptr;
    int32_t m_iconIndex = -1;
    uint32_t m_face = 0;
    uint8_t m_interaction = 0;
    std::function<void()> m_onClick;
};

} // namespace tonvane
