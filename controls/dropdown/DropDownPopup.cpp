#include "controls/dropdown/DropDownPopup.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "graphics/surface/Surface.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/KeyCodes.h"

#include <algorithm>

namespace tonvane {

namespace {
constexpr uint32_t kRowState = 0x1; // how the theme is asked for an ordinary row
constexpr uint32_t kHotRowState = 0x9; // and for the hot one (selected)
} // namespace

DropDownPopup::DropDownPopup(UiThread& ui, WindowId owner, int32_t rows, int32_t chosen,
                             std::function<std::u16string(int32_t)> rowText,
                             std::function<std::u16string(int32_t)> rowBadge)
    : PopupWindow(ui, owner, WindowKind::Popup), m_rowText(std::move(rowText)), m_rowBadge(std::move(rowBadge)),
      m_rows(rows), m_hot(chosen)
{
    ItemList::Routines routines;
    routines.drawItem = [this](Surface& surface, int32_t row, const IntRect& rect) {
        ControlTheme* theme = controlTheme();
        if (theme == nullptr)
            return;
        std::u16string text = m_rowText ? m_rowText(row) : std::u16string();
        std::u16string badge = m_rowBadge ? m_rowBadge(row) : std::u16string();
        theme->drawDropListRow(surface, rect, row == m_hot ? kHotRowState : kRowState, text.c_str(),
                               int32_t(text.size()), badge);
    };
    routines.onItemHover = [this](int32_t row, uint32_t, int32_t, int32_t) { setHot(row); };
    routines.onItemClick = [this](int32_t row, uint32_t, int32_t x, int32_t y) {
        bool insideList = x >= 0 && y >= 0 && x < m_list.width() && y < m_list.height();
        if (row >= 0)
            setHot(row);
        else if (!insideList)
            setHot(-1); // a press outside the popup closes it without a change
        else
            return; // between rows or on a bar: stays open
        close();
    };
    m_list.setRoutines(routines);
    m_list.setListFlags(ItemList::kSingleSelection | ItemList::kNoSelection);
    m_list.create(0, 0, 0, 0, style::kVisible);
}

int32_t DropDownPopup::run(int32_t left, int32_t bottom, int32_t right, int32_t top)
{
    if (!createAt(left, bottom, right, top))
        return -1;
    m_list.setCellSize(right - left, metrics::kControlHeight);
    m_list.setLineStep(metrics::kControlHeight);
    m_list.setItemCount(m_rows);
    // The chosen row in view, and the popup sees every press (outside ones too) while open.
    if (m_hot >= 0)
        m_list.scrollToLine(m_hot);
    m_list.takeFocus();
    m_list.takeCapture(true, CaptureHold::Grab);
    runUntilClosed();
    m_list.releaseCapture();
    return m_hot;
}

void DropDownPopup::layout(int32_t width, int32_t height)
{
    PopupWindow::layout(width, height);
    m_list.setRect(0, 0, width, height);
}

void DropDownPopup::keyDown(uint32_t key)
{
    switch (key) {
    case vk::VK_ESCAPE:
        setHot(-1);
        close();
        return;
    case vk::VK_RETURN:
        close();
        return;
    case vk::VK_UP:
    case vk::VK_DOWN:
        moveHot(key == vk::VK_DOWN ? 1 : -1);
        return;
    default:
        PopupWindow::keyDown(key);
        return;
    }
}

void DropDownPopup::moveHot(int32_t direction)
{
    if (m_rows <= 0)
        return;
    int32_t row = m_hot < 0 ? (direction > 0 ? 0 : m_rows - 1) : m_hot + direction;
    setHot(std::clamp(row, 0, m_rows - 1));
    m_list.scrollToLine(m_hot);
}

void DropDownPopup::setHot(int32_t row)
{
    if (row == m_hot)
        return;
    int32_t old = m_hot;
    m_hot = row;
    m_list.redrawItem(old);
    m_list.redrawItem(row);
}

} // namespace tonvane
