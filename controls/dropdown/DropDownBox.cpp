#include "controls/dropdown/DropDownBox.h"

#include "controls/dropdown/DropDownPopup.h"
#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "controls/widget/WidgetWindow.h"
#include "windowing/backend/WindowBackend.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/KeyCodes.h"

#include <algorithm>

namespace tonvane {

void DropDownBox::setRowCount(int32_t rows)
{
    m_rows = rows < 0 ? 0 : rows;
    if (m_chosen >= m_rows)
        m_chosen = -1;
    requestRepaint();
}

void DropDownBox::setChosen(int32_t row)
{
    m_chosen = row >= 0 && row < m_rows ? row : -1;
    requestRepaint();
}

void DropDownBox::choose(int32_t row)
{
    if (row < 0 || row >= m_rows || row == m_chosen)
        return;
    m_chosen = row;
    if (m_onChoose)
        m_onChoose(row);
    requestRepaint();
}

void DropDownBox::open(bool byKeyboard)
{
    WidgetWindow* host = window();
    if (m_rows == 0 || m_listHeight <= 0 || host == nullptr || host->window() == nullptr || !isInteractive())
        return;
    LayeredWindow& owner = *host->window();
    UiThread& ui = owner.ui();
    // Below the box, as wide as it, its top edge 4 pixels under the box's bottom edge; where the
    // work area (y-up pixels from 0 at its bottom edge) has no room below, above the box, and
    // where neither side has room, on the roomier side, shortened to fit.
    IntRect box = windowRect();
    int32_t left = owner.left() + box.x0;
    int32_t roomBelow = std::max(0, owner.bottom() + box.y0 - kPopupGap);
    int32_t aboveBottom = owner.bottom() + box.y1 + kPopupGap;
    int32_t roomAbove = std::max(0, ui.backend().workArea().height - aboveBottom);
    int32_t listHeight = m_listHeight;
    int32_t top = roomBelow;
    if (roomBelow < listHeight && roomAbove > roomBelow) {
        listHeight = std::min(listHeight, roomAbove);
        top = aboveBottom + listHeight;
    } else {
        listHeight = std::min(listHeight, roomBelow);
    }
    bool focused = hasFocus();
    m_flags |= kOpenBit;
    if (byKeyboard)
        ui.captureRoute().clear();
    requestRepaint();

    int32_t hot = -1;
    {
        DropDownPopup popup(ui, owner.id(), m_rows, m_chosen, m_rowText, m_rowBadge);
        m_popup = &popup;
        hot = popup.run(left, top - listHeight, left + width(), top);
        m_popup = nullptr;
    }

    m_flags &= ~kOpenBit;
    if (focused)
        takeFocus(); // the popup's list had the keyboard while open
    if (hot != -1)
        choose(hot);
    // Opened by the keyboard with the pointer over the box: it stays hot.
    ScreenPoint pointer = ui.backend().cursorPosition();
    int32_t px = host->toContentX(pointer.x) - box.x0;
    int32_t py = host->toContentY(owner.flip(pointer.y)) - box.y0;
    if (byKeyboard && inside(px, py)) {
        m_hovered = true;
        takeCapture(true, CaptureHold::Hover);
    } else {
        m_hovered = false;
        releaseCapture();
    }
    requestRepaint();
}

void DropDownBox::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr)
        return;
    uint32_t state = ((m_flags & kOpenBit) || m_hovered ? style::kHot : 0)
        | ((style() & style::kDisabled) ? style::kThemeDisabled : 0);
    std::u16string text = m_chosen >= 0 && m_rowText ? m_rowText(m_chosen) : std::u16string();
    std::u16string badge = m_chosen >= 0 && m_rowBadge ? m_rowBadge(m_chosen) : std::u16string();
    theme->drawDropDownBox(surface, {0, 0, width(), height()}, state, text.c_str(), int32_t(text.size()), badge);
}

void DropDownBox::onMouse(MouseAction action, int32_t x, int32_t y)
{
    if (!isInteractive())
        return;
    if (action == MouseAction::Move) {
        bool over = inside(x, y);
        if (over == m_hovered)
            return;
        m_hovered = over;
        if (over)
            takeCapture();
        else
            releaseCapture();
        requestRepaint();
        return;
    }
    if ((action == MouseAction::LeftDown || action == MouseAction::LeftDouble) && inside(x, y)) {
        takeFocus();
        open(false);
    }
}

void DropDownBox::captureLost()
{
    if (!m_hovered)
        return;
    m_hovered = false;
    requestRepaint();
}

bool DropDownBox::onKeyDown(uint32_t key)
{
    if (key != vk::VK_DOWN && key != vk::VK_F1 + 3) // F4
        return false;
    open(true);
    return true;
}

} // namespace tonvane
