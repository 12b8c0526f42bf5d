#include "app/window/TutorialsBalloon.h"

#include "controls/label/Label.h"
#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "core/foundation/Utf.h"
#include "core/language/Language.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/TextLayout.h"
#include "resources/skins/SkinResources.h"

#include <algorithm>
#include <cmath>

namespace tonvane {

namespace {
constexpr double kOpacityStep = 0.04;
constexpr int kHoldSteps = TutorialsBalloon::kHoldMs / TutorialsBalloon::kStepMs;

uint32_t withOpacity(uint32_t colour, double opacity)
{
    uint32_t alpha = static_cast<uint32_t>(std::lround((colour >> 24) * std::clamp(opacity, 0.0, 1.0)));
    return (colour & 0x00FFFFFFu) | alpha << 24;
}
} // namespace

TutorialsBalloon::TutorialsBalloon(Widget* parent)
    : Widget(parent), m_cap(loadImageFromMemory(graduationCapPng()))
{
}

void TutorialsBalloon::start(UiThread& ui, WindowId window)
{
    m_phase = Phase::Rising;
    m_steps = 0;
    m_opacity = 0;
    m_y = -kHeight;
    place();
    show();
    m_ticker.start(ui, window, kStepMs, [this] { step(); });
}

// Up from y = -h to 16 in 25 steps, the opacity rising by 0.04 a step; 20 s held; the same way
// down, then hidden.
void TutorialsBalloon::step()
{
    ++m_steps;
    double rise = (kHeight + kEdgeGap) / double(kSlideSteps);
    switch (m_phase) {
    case Phase::Rising:
        m_opacity = std::min(1.0, m_opacity + kOpacityStep);
        m_y = static_cast<int32_t>(std::lround(-kHeight + rise * m_steps));
        if (m_steps >= kSlideSteps) {
            m_phase = Phase::Holding;
            m_steps = 0;
        }
        break;
    case Phase::Holding:
        if (m_steps >= kHoldSteps) {
            m_phase = Phase::Sinking;
            m_steps = 0;
        }
        return;
    case Phase::Sinking:
        m_opacity = std::max(0.0, m_opacity - kOpacityStep);
        m_y = static_cast<int32_t>(std::lround(kEdgeGap - rise * m_steps));
        if (m_steps >= kSlideSteps) {
            m_phase = Phase::Hidden;
            hide();
            m_ticker.stop();
            return;
        }
        break;
    case Phase::Hidden:
        return;
    }
    place();
}

void TutorialsBalloon::place()
{
    Widget* area = parent();
    if (area == nullptr)
        return;
    moveTo(area->width() - kWidth - kEdgeGap, m_y);
    if (width() != kWidth)
        setRect(left(), bottom(), kWidth, kHeight);
}

void TutorialsBalloon::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr)
        return;
    surface.roundedRectangle(0, 0, kWidth, kHeight, 3, 0, Paint::solid(withOpacity(palette::kAccent | 0xFF000000u, m_opacity)));
    surface.roundedRectangleOutline(0.5, 0.5, kWidth - 0.5, kHeight - 0.5, 3, 0, 1,
                                    Paint::solid(withOpacity(theme->frameBorder(), m_opacity)));
    int32_t pictureWidth = 40;
    if (m_cap) {
        int32_t c = (kHeight - m_cap->height) / 2;
        surface.drawImage(c, c, m_cap->view(), m_opacity);
        pictureWidth = m_cap->width + 2 * c;
    }
    surface.font = theme->font();
    surface.text_colour = withOpacity(palette::kText, m_opacity);
    drawText(surface, uiTextPointer(kTextTutorials), -1, kTextVerticalCentre, pictureWidth, 0, kWidth, kHeight);
}

void TutorialsBalloon::onMouse(MouseAction action, int32_t x, int32_t y)
{
    if (action == MouseAction::LeftDown && x >= 0 && y >= 0 && x < width() && y < height())
        openAddress(utf16ToUtf8(uiText(kTextWebAddress).view())); // row 44: the product's web address
}

} // namespace tonvane
