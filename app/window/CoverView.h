#pragma once
#include "controls/widget/Widget.h"
#include "graphics/image/Image.h"

#include <cstdint>
#include <memory>
#include <span>

namespace tonvane {

// The chosen match's front cover on the disc page: the picture scaled (away from the window's
// thread) to fit a 96 x 96 box, drawn centred in the box on the theme's pale panel with the
// frame's border.
class CoverView : public Widget {
public:
    static constexpr int32_t kSide = 96; // [pixels] the box the picture is fitted into
    static constexpr int32_t kFrame = 2; // [pixels] panel around the picture

    explicit CoverView(Widget* parent) : Widget(parent) {}

    // The picture as it is shown: the file's bytes decoded (JPEG or PNG) and scaled to fit the
    // box. Null for bytes that do not decode. Safe on any thread.
    static std::shared_ptr<const Image> prepare(std::span<const uint8_t> bytes);

    // Shows the picture (null: nothing, and the view hides).
    void setPicture(std::shared_ptr<const Image> picture);
    const Image* picture() const { return m_picture.get(); }
    bool showing() const { return m_picture != nullptr; }

    void paint(Surface& surface) override;

private:
    std::shared_ptr<const Image> m_picture;
};

} // namespace tonvane
