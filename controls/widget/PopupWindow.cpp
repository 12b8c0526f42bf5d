#include "controls/widget/PopupWindow.h"

#include "controls/theme/ControlTheme.h"
#include "graphics/surface/Surface.h"
#include "windowing/loop/UiThread.h"

namespace tonvane {

namespace {
constexpr int32_t kCornerRadius = 3; // [pixels]
// Fully opaque: under a compositor any alpha below 255 blends the windows beneath into the face,
// and the rows a list or menu draws over it keep their own translucent colours.
constexpr uint32_t kOpaque = 0xFF000000u;
} // namespace

LayeredWindow::Config PopupWindow::popupConfig(WindowId owner, WindowKind kind, uint32_t initialState)
{
    LayeredWindow::Config config;
    config.kind = kind;
    config.title = "";
    config.owner = owner;
    config.minTrackWidth = 0;
    config.minTrackHeight = 0;
    config.initialState = initialState;
    config.frame.captionHeight = 0;
    config.frame.buttons = 0;
    config.frame.border = 0;
    config.cornerRadius = kCornerRadius;
    return config;
}

PopupWindow::PopupWindow(UiThread& ui, WindowId owner, WindowKind kind, uint32_t initialState)
    : m_ui(ui), m_window(ui, *this, popupConfig(owner, kind, initialState))
{
    attach(m_window);
}

PopupWindow::~PopupWindow()
{
    m_window.destroy();
}

bool PopupWindow::createAt(int32_t left, int32_t bottom, int32_t right, int32_t top)
{
    return m_window.create(left, bottom, right, top);
}

void PopupWindow::holdPointer(MouseTarget& target)
{
    if (m_window.id() != kNoWindow)
        m_ui.captureRoute().setOwner(&target, m_window.id());
}

void PopupWindow::runUntilClosed()
{
    m_window.repaint();
    m_ui.runModal(m_window);
}

void PopupWindow::close()
{
    if (m_closing)
        return;
    m_closing = true;
    m_ui.postMessage(Message{m_window.id(), msg::WM_CLOSE});
}

uint32_t PopupWindow::faceColour()
{
    return palette::kPanelFill | kOpaque;
}

void PopupWindow::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    IntRect clip = surface.getClip();
    surface.fillRectangle(clip.x0, clip.y0, clip.x1, clip.y1, faceColour());
    paintInside(surface);
    if (theme != nullptr)
        surface.roundedRectangleOutline(clip.x0 + 0.5, clip.y0 + 0.5, clip.x1 - 0.5, clip.y1 - 0.5, kCornerRadius, 0,
                                        1, Paint::solid(theme->frameBorder()));
}

} // namespace tonvane
