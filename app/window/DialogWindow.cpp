#include "app/window/DialogWindow.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "graphics/surface/Surface.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/KeyCodes.h"

namespace tonvane {

namespace {
constexpr uint32_t kDialogBackground = 0xF0F4F6F8;
}

LayeredWindow::Config DialogWindow::dialogConfig(LayeredWindow& owner)
{
    LayeredWindow::Config config = owner.config();
    config.kind = WindowKind::Dialog;
    config.title = "";
    config.owner = owner.id();
    config.minTrackWidth = 0;
    config.minTrackHeight = 0;
    config.quitOnDestroy = false;
    return config;
}

DialogWindow::DialogWindow(LayeredWindow& owner, std::u16string caption, int32_t height, int32_t width)
    : m_owner(owner), m_caption(std::move(caption)), m_height(height), m_width(width), m_window(owner.ui(), *this, dialogConfig(owner))
{
    attach(m_window);
    m_panel.create(0, 0, 0, 0, style::kVisible);
}

DialogWindow::~DialogWindow()
{
    m_window.destroy();
}

bool DialogWindow::open()
{
    // Centred on the middle of the main window's content.
    int32_t cx = m_owner.left() + m_owner.width() / 2, cy = m_owner.bottom() + m_owner.height() / 2;
    int32_t left = cx - m_width / 2, bottom = cy - m_height / 2;
    if (!m_window.create(left, bottom, left + m_width, bottom + m_height))
        return false;
    layout(m_width, m_height);
    m_window.repaint();
    return true;
}

void DialogWindow::run()
{
    if (open())
        m_window.ui().runModal(m_window);
}

void DialogWindow::keyDown(uint32_t key)
{
    if (key == vk::VK_ESCAPE)
        dismiss();
    else if (key == vk::VK_RETURN)
        accept();
    else
        WidgetWindow::keyDown(key);
}

void DialogWindow::close()
{
    m_window.ui().postMessage(Message{m_window.id(), msg::WM_CLOSE});
}

IntRect DialogWindow::inner() const
{
    ControlTheme* theme = controlTheme();
    return theme != nullptr ? theme->contentRect(m_width, m_height, kFrameStyle) : IntRect{0, 0, m_width, m_height};
}

int32_t DialogWindow::hitTest(int32_t x, int32_t y)
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr)
        return 0;
    return theme->frameHitTest(toContentX(x), toContentY(y), m_window.width(), m_window.height(), kFrameStyle);
}

void DialogWindow::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    if (theme != nullptr) {
        uint32_t hot = static_cast<uint32_t>(m_window.hotButton());
        theme->drawFrame(surface, m_window.width(), m_window.height(), kFrameStyle, true, hot, nullptr,
                         m_caption.c_str());
        IntRect r = theme->contentRect(m_window.width(), m_window.height(), kFrameStyle);
        surface.fillRectangle(r.x0, r.y0, r.x1, r.y1, kDialogBackground);
    }
    WidgetWindow::paint(surface);
}

void DialogWindow::layout(int32_t width, int32_t height)
{
    WidgetWindow::layout(width, height);
    ControlTheme* theme = controlTheme();
    IntRect r = theme != nullptr ? theme->contentRect(width, height, kFrameStyle) : IntRect{0, 0, width, height};
    m_panel.setRect(r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0);
    placeWidgets(r.x1 - r.x0, r.y1 - r.y0);
}

} // namespace tonvane
