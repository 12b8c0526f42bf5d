#include "app/window/InsertDiscPage.h"

#include "controls/theme/ControlTheme.h"
#include "core/language/Language.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/TextLayout.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tonvane {

namespace {

constexpr uint32_t kDiscPicture = 129; // resource id
constexpr double kRingRadius = 95; // [pixels]
constexpr double kDotRadius = 20; // [pixels]
constexpr double kDotFading = 0.075; // opacity lost by each following dot
constexpr double kPhaseStep = 2.0 / 30; // per tick: the text fades out over 1.8 s
constexpr double kPhaseRestart = 1.2;
constexpr int32_t kTitleStrip = 40; // [pixels] at the top of the page
constexpr double kDiscInRing = 118; // [pixels] the picture's side inside the ring

} // namespace

InsertDiscPage::InsertDiscPage(Widget* parent)
    : Widget(parent), m_font(getFont(u"Arial", 28, false, false)), m_disc(loadImageFromResource(kDiscPicture))
{
}

void InsertDiscPage::startAnimation(UiThread& ui, WindowId window)
{
    m_ui = &ui;
    m_window = window;
    m_wanted = true;
    if (m_onScreen)
        m_ticker.start(ui, window, kTickMs, [this] { step(); });
}

void InsertDiscPage::stopAnimation()
{
    m_wanted = false;
    m_ticker.stop();
}

// Frames nobody sees cost a wake-up and a repaint every tick: the ticker only runs while the
// window is on the screen, and picks up where it was when it comes back.
void InsertDiscPage::setOnScreen(bool onScreen)
{
    m_onScreen = onScreen;
    if (!onScreen)
        m_ticker.stop();
    else if (m_wanted && m_ui != nullptr)
        m_ticker.start(*m_ui, m_window, kTickMs, [this] { step(); });
}

void InsertDiscPage::step()
{
    m_frame = (m_frame + 1) % kDots;
    m_phase -= kPhaseStep;
    if (m_phase < 0)
        m_phase = kPhaseRestart;
    requestRepaint();
}

void InsertDiscPage::paint(Surface& surface)
{
    int32_t w = width(), h = height();
    // The title, fading with the phase.
    if (m_font) {
        double opacity = std::min(m_phase, 1.0);
        surface.font = m_font.get();
        surface.text_colour = static_cast<uint32_t>(std::lround(opacity * 255)) << 24;
        drawText(surface, uiTextPointer(kTextInsertCd), -1, kTextCentre | kTextVerticalCentre, 0, h - kTitleStrip, w, h);
    }
    double cx = w / 2, cy = h / 2;
    if (m_disc) {
        double half = kDiscInRing / 2;
        surface.drawImageScaled(cx - half, cy - half, cx + half, cy + half, m_disc->view(), 1);
    }
    uint32_t dot = palette::kAccent & 0x00FFFFFFu;
    for (int n = 0; n < kDots; ++n) {
        double angle = -m_frame * std::numbers::pi / 6 + n * std::numbers::pi / 6;
        double opacity = 1 - kDotFading * n;
        uint32_t colour = dot | static_cast<uint32_t>(std::lround(opacity * 255)) << 24;
        surface.disc(cx + kRingRadius * std::cos(angle), cy + kRingRadius * std::sin(angle), kDotRadius,
                     Paint::solid(colour));
    }
}

} // namespace tonvane
