#include "controls/list/ItemList.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "controls/widget/WidgetWindow.h"
#include "graphics/surface/Surface.h"
#include "windowing/backend/WindowBackend.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/window/LayeredWindow.h"

#include <algorithm>
#include <cmath>

namespace tonvane {

namespace {

constexpr int32_t kWheelNotch = 120;
constexpr int32_t kMinimumThumb = 12; // [pixels]
constexpr int32_t kHitHorizontalScroll = 6;
constexpr int32_t kHitVerticalScroll = 7;
constexpr uint32_t kHorizontalHot = 0x1;
constexpr uint32_t kVerticalHot = 0x2;

double clamp01(double v)
{
    return std::clamp(v, 0.0, 1.0);
}

} // namespace

ItemList::ItemList(Widget* parent) : Widget(parent), m_alive(std::make_shared<ItemList*>(this)) {}

ItemList::~ItemList()
{
    endPanning();
    m_alive.reset();
}

int32_t ItemList::cellsPerRow() const
{
    if (!(m_listFlags & kGrid) || m_cellWidth <= 0)
        return 1;
    return std::max(1, (m_viewport.x1 - m_viewport.x0) / m_cellWidth);
}

int32_t ItemList::rows() const
{
    int32_t perRow = cellsPerRow();
    return (m_count + perRow - 1) / perRow;
}

double ItemList::scrollRange(bool vertical) const
{
    double content = vertical ? contentHeight() : m_contentWidth;
    double view = vertical ? m_viewport.y1 - m_viewport.y0 : m_viewport.x1 - m_viewport.x0;
    return std::max(0.0, content - view);
}

void ItemList::setItemCount(int32_t count)
{
    m_count = std::max(0, count);
    m_itemFlags.assign(static_cast<size_t>(m_count), 0);
    if (m_hot >= m_count)
        m_hot = -1;
    updateScrollBars();
    requestRepaint();
}

void ItemList::setContentWidth(int32_t width)
{
    m_contentWidth = std::max(0, width);
    updateScrollBars();
}

void ItemList::setCellSize(int32_t width, int32_t height)
{
    m_cellWidth = std::max(0, width);
    m_cellHeight = std::max(1, height);
    updateScrollBars();
}

void ItemList::setPositions(double horizontal, double vertical)
{
    m_horizontal = clamp01(horizontal);
    m_vertical = clamp01(vertical);
    requestRepaint();
}

void ItemList::layout()
{
    updateScrollBars();
}

// Shows a bar when the content outgrows the viewport and hides it when the content fits again
// (the vertical bar first, then the horizontal one against the viewport that leaves); a bar
// takes 16 pixels of the viewport. Any change lays the list out again and redraws it.
void ItemList::updateScrollBars()
{
    ControlTheme* theme = controlTheme();
    uint32_t bars = style() & (style::kVerticalScrollBar | style::kHorizontalScrollBar);
    auto viewFor = [&](uint32_t withBars) {
        uint32_t s = (style() & ~(style::kVerticalScrollBar | style::kHorizontalScrollBar)) | withBars;
        return theme != nullptr ? theme->contentRect(width(), height(), s) : IntRect{0, 0, width(), height()};
    };
    IntRect view = viewFor(bars);
    if (contentHeight() > view.y1 - view.y0 && !(bars & style::kVerticalScrollBar)) {
        bars |= style::kVerticalScrollBar;
    } else if (contentHeight() <= view.y1 - view.y0 && (bars & style::kVerticalScrollBar)) {
        bars &= ~style::kVerticalScrollBar;
        m_vertical = 1;
    }
    view = viewFor(bars);
    if (m_contentWidth > view.x1 - view.x0 && !(bars & style::kHorizontalScrollBar)) {
        bars |= style::kHorizontalScrollBar;
    } else if (m_contentWidth <= view.x1 - view.x0 && (bars & style::kHorizontalScrollBar)) {
        bars &= ~style::kHorizontalScrollBar;
        m_horizontal = 0;
    }
    m_viewport = viewFor(bars);
    setStyle(style::kVerticalScrollBar | style::kHorizontalScrollBar, bars); // repaints when it changed
}

IntRect ItemList::itemRect(int32_t index) const
{
    if (index < 0 || index >= m_count)
        return {};
    int32_t perRow = cellsPerRow();
    int32_t row = index / perRow, column = index % perRow;
    // One cell per row spans the viewport (which a vertical bar narrows), or the content when
    // that is wider.
    int32_t cellWidth = (m_listFlags & kGrid) ? m_cellWidth : std::max(m_viewport.x1 - m_viewport.x0, m_contentWidth);
    double shiftX = m_horizontal * scrollRange(false);
    double shiftY = (1 - m_vertical) * scrollRange(true);
    int32_t x0 = m_viewport.x0 + column * cellWidth - static_cast<int32_t>(std::lround(shiftX));
    int32_t top = m_viewport.y1 - row * m_cellHeight + static_cast<int32_t>(std::lround(shiftY));
    return {x0, top - m_cellHeight, x0 + cellWidth, top};
}

int32_t ItemList::itemAt(int32_t x, int32_t y) const
{
    if (m_count == 0 || x < m_viewport.x0 || x >= m_viewport.x1 || y < m_viewport.y0 || y >= m_viewport.y1)
        return -1;
    double shiftX = m_horizontal * scrollRange(false);
    double shiftY = (1 - m_vertical) * scrollRange(true);
    double fromTop = m_viewport.y1 - y + std::lround(shiftY) - 1;
    double fromLeft = x - m_viewport.x0 + std::lround(shiftX);
    int32_t row = static_cast<int32_t>(std::floor(fromTop / m_cellHeight));
    int32_t perRow = cellsPerRow();
    int32_t column = (m_listFlags & kGrid) && m_cellWidth > 0 ? static_cast<int32_t>(fromLeft) / m_cellWidth : 0;
    if (row < 0 || column < 0 || column >= perRow)
        return -1;
    int32_t index = row * perRow + column;
    return index < m_count ? index : -1;
}

void ItemList::scrollToLine(int32_t line)
{
    double range = scrollRange(true);
    if (range <= 0)
        return;
    double position = clamp01(double(m_lineStep) * line / range);
    if (position != m_vertical) {
        m_vertical = position;
        requestRepaint();
    }
}

void ItemList::redrawItem(int32_t index)
{
    if (index < 0 || index >= m_count)
        return;
    requestRepaint(itemRect(index));
}

bool ItemList::selected(int32_t index) const
{
    return index >= 0 && index < m_count && (m_itemFlags[static_cast<size_t>(index)] & kSelectedBit);
}

void ItemList::toggleSelection(int32_t index)
{
    if (index < 0 || index >= m_count || (m_listFlags & kNoSelection))
        return;
    auto notify = [this](int32_t i, bool state) {
        if (m_routines.onSelection)
            m_routines.onSelection(i, state);
    };
    bool single = (m_listFlags & kSingleSelection) != 0;
    WidgetWindow* host = window();
    bool ctrl = host != nullptr && host->ctrlHeld();
    if (single || !ctrl) {
        // Every change quietly, then the whole list once.
        setStyle(0, style::kNoRepaint);
        for (int32_t i = 0; i < m_count; ++i) {
            uint32_t& flags = m_itemFlags[static_cast<size_t>(i)];
            if (i == index) {
                flags ^= kSelectedBit;
                notify(i, flags & kSelectedBit);
            } else if (flags & kSelectedBit) {
                flags &= ~kSelectedBit;
                notify(i, false);
            }
        }
        setStyle(style::kNoRepaint, 0);
        requestRepaint();
    } else {
        uint32_t& flags = m_itemFlags[static_cast<size_t>(index)];
        flags ^= kSelectedBit;
        notify(index, flags & kSelectedBit);
        redrawItem(index);
    }
    notify(-1, false);
}

bool ItemList::scrollBy(bool vertical, double pixels)
{
    double range = scrollRange(vertical);
    if (range <= 0)
        return false;
    double& position = vertical ? m_vertical : m_horizontal;
    double moved = clamp01(position + pixels / range);
    if (moved == position)
        return false;
    position = moved;
    requestRepaint();
    return true;
}

uint32_t ItemList::keyState() const
{
    WidgetWindow* host = window();
    return host != nullptr && host->window() != nullptr ? host->window()->ui().backend().modifierState() : 0;
}

void ItemList::onWheel(int32_t x, int32_t y, int32_t delta, uint32_t)
{
    if (m_drag == Drag::Panning)
        return;
    int32_t notches = delta / kWheelNotch;
    if (notches == 0)
        return;
    bool moved = false;
    if (style() & style::kVerticalScrollBar) {
        double range = scrollRange(true);
        double step = m_lineStep * std::abs(notches) / range;
        double before = m_vertical;
        m_vertical = notches > 0 ? m_vertical + std::min(1 - m_vertical, step) : m_vertical - std::min(m_vertical, step);
        moved = m_vertical != before;
    } else if (style() & style::kHorizontalScrollBar) {
        double range = scrollRange(false);
        double step = m_lineStep * std::abs(notches) / range;
        double before = m_horizontal;
        // Up the wheel moves towards the start, as the vertical position does.
        m_horizontal
            = notches > 0 ? m_horizontal - std::min(m_horizontal, step) : m_horizontal + std::min(1 - m_horizontal, step);
        moved = m_horizontal != before;
    }
    if (!moved)
        return;
    requestRepaint();
    hover(x, y);
}

IntRect ItemList::trackRect(bool vertical) const
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr)
        return {};
    IntRect strip
        = theme->scrollBarRect(vertical ? Orientation::Vertical : Orientation::Horizontal, {0, 0, width(), height()}, style());
    if (vertical)
        return {strip.x0, strip.y0 + kArrow, strip.x1, strip.y1 - kArrow};
    return {strip.x0 + kArrow, strip.y0, strip.x1 - kArrow, strip.y1};
}

IntRect ItemList::thumbRect(bool vertical) const
{
    if (!(style() & (vertical ? style::kVerticalScrollBar : style::kHorizontalScrollBar)))
        return {};
    IntRect track = trackRect(vertical);
    double trackLength = vertical ? track.y1 - track.y0 : track.x1 - track.x0;
    double content = vertical ? contentHeight() : m_contentWidth;
    double view = vertical ? m_viewport.y1 - m_viewport.y0 : m_viewport.x1 - m_viewport.x0;
    if (trackLength <= 0 || content <= 0)
        return {};
    double thumb = std::clamp(trackLength * view / content, double(kMinimumThumb), trackLength);
    double free = trackLength - thumb;
    if (vertical) {
        int32_t y0 = track.y0 + static_cast<int32_t>(std::lround(free * m_vertical));
        return {track.x0, y0, track.x1, y0 + static_cast<int32_t>(std::lround(thumb))};
    }
    int32_t x0 = track.x0 + static_cast<int32_t>(std::lround(free * m_horizontal));
    return {x0, track.y0, x0 + static_cast<int32_t>(std::lround(thumb)), track.y1};
}

void ItemList::hover(int32_t x, int32_t y)
{
    int32_t item = itemAt(x, y);
    m_hot = item;
    if (m_routines.onItemHover)
        m_routines.onItemHover(item, keyState(), x, y);
}

void ItemList::beginThumbDrag(bool vertical, int32_t x, int32_t y)
{
    m_drag = vertical ? Drag::VerticalThumb : Drag::HorizontalThumb;
    m_anchorX = x;
    m_anchorY = y;
    m_startPosition = vertical ? m_vertical : m_horizontal;
    takeCapture(true, CaptureHold::Grab); // held button: the release may come anywhere
}

void ItemList::pressOnBar(bool vertical, int32_t x, int32_t y)
{
    IntRect thumb = thumbRect(vertical);
    if (x >= thumb.x0 && x < thumb.x1 && y >= thumb.y0 && y < thumb.y1) {
        beginThumbDrag(vertical, x, y);
        return;
    }
    IntRect track = trackRect(vertical);
    bool inTrack = x >= track.x0 && x < track.x1 && y >= track.y0 && y < track.y1;
    double page = vertical ? m_viewport.y1 - m_viewport.y0 : m_viewport.x1 - m_viewport.x0;
    double amount = inTrack ? page : m_lineStep;
    // Above/right of the thumb scrolls up/right.
    bool forward = vertical ? y >= thumb.y1 : x >= thumb.x1;
    scrollBy(vertical, forward ? amount : -amount);
}

void ItemList::beginPanning(int32_t x, int32_t y)
{
    if (m_drag != Drag::None || !(style() & (style::kVerticalScrollBar | style::kHorizontalScrollBar)))
        return;
    WidgetWindow* host = window();
    if (host == nullptr || host->ui() == nullptr || host->window() == nullptr)
        return;
    m_drag = Drag::Panning;
    m_anchorX = x;
    m_anchorY = y;
    m_velocityX = 0;
    m_velocityY = 0;
    takeCapture(true, CaptureHold::Grab); // held button: the release may come anywhere
    m_panStop.reset();
    UiThread* ui = host->ui();
    WindowId id = host->window()->id();
    std::weak_ptr<ItemList*> alive = m_alive;
    // The thread only ticks; each step runs on the window's thread, where the list lives.
    m_panThread = std::thread([this, ui, id, alive] {
        while (!m_panStop.waitFor(std::chrono::milliseconds(kPanTickMs)))
            ui->post(id, [alive] {
                if (auto self = alive.lock())
                    (*self)->panTick();
            });
    });
}

void ItemList::endPanning()
{
    if (m_panThread.joinable()) {
        m_panStop.set();
        m_panThread.join();
    }
    if (m_drag == Drag::Panning) {
        m_drag = Drag::None;
        releaseCapture();
    }
}

void ItemList::panTick()
{
    if (m_drag != Drag::Panning)
        return;
    bool changed = false;
    auto step = [&](bool vertical, double velocity) {
        double range = scrollRange(vertical);
        if (range <= 0 || velocity == 0)
            return;
        double content = vertical ? contentHeight() : m_contentWidth;
        double view = vertical ? m_viewport.y1 - m_viewport.y0 : m_viewport.x1 - m_viewport.x0;
        double& position = vertical ? m_vertical : m_horizontal;
        double moved = clamp01(position + (1 - view / content) / range * 10 * velocity);
        if (moved != position) {
            position = moved;
            changed = true;
        }
    };
    if (style() & style::kHorizontalScrollBar)
        step(false, m_velocityX);
    if (style() & style::kVerticalScrollBar)
        step(true, m_velocityY);
    if (changed)
        requestRepaint();
}

void ItemList::onMouse(MouseAction action, int32_t x, int32_t y)
{
    switch (action) {
    case MouseAction::Move: {
        if (m_drag == Drag::Panning) {
            m_velocityX = (x - m_anchorX) / kPanDivisor;
            m_velocityY = (y - m_anchorY) / kPanDivisor;
            return;
        }
        if (m_drag == Drag::HorizontalThumb || m_drag == Drag::VerticalThumb) {
            bool vertical = m_drag == Drag::VerticalThumb;
            IntRect track = trackRect(vertical);
            IntRect thumb = thumbRect(vertical);
            double free = vertical ? (track.y1 - track.y0) - (thumb.y1 - thumb.y0)
                                   : (track.x1 - track.x0) - (thumb.x1 - thumb.x0);
            if (free <= 0)
                return;
            double movement = vertical ? y - m_anchorY : x - m_anchorX;
            double position = clamp01(m_startPosition + movement / free);
            double& current = vertical ? m_vertical : m_horizontal;
            if (position != current) {
                current = position;
                requestRepaint();
            }
            return;
        }
        hover(x, y);
        ControlTheme* theme = controlTheme();
        int32_t code = theme != nullptr ? theme->frameHitTest(x, y, width(), height(), style()) : 1;
        uint32_t bars = code == kHitHorizontalScroll ? kHorizontalHot : code == kHitVerticalScroll ? kVerticalHot : 0;
        if (bars != m_hotBars) {
            m_hotBars = bars;
            requestRepaint();
        }
        return;
    }
    case MouseAction::LeftDown:
    case MouseAction::LeftDouble: {
        if (!isInteractive())
            return;
        takeFocus();
        ControlTheme* theme = controlTheme();
        int32_t code = theme != nullptr ? theme->frameHitTest(x, y, width(), height(), style()) : 1;
        if (code == kHitVerticalScroll || code == kHitHorizontalScroll) {
            pressOnBar(code == kHitVerticalScroll, x, y);
            return;
        }
        int32_t item = itemAt(x, y);
        if (action == MouseAction::LeftDouble && m_routines.onItemDoubleClick)
            m_routines.onItemDoubleClick(item);
        else if (m_routines.onItemClick)
            m_routines.onItemClick(item, keyState(), x, y);
        return;
    }
    case MouseAction::LeftUp:
        if (m_drag == Drag::HorizontalThumb || m_drag == Drag::VerticalThumb) {
            m_drag = Drag::None;
            releaseCapture();
        }
        return;
    case MouseAction::MiddleDown:
        beginPanning(x, y);
        return;
    case MouseAction::MiddleUp:
        endPanning();
        return;
    default:
        return;
    }
}

bool ItemList::onKeyDown(uint32_t key)
{
    if (m_routines.onKey && m_routines.onKey(key))
        return true;
    double view = m_viewport.y1 - m_viewport.y0;
    switch (key) {
    case vk::VK_RETURN:
        if (m_routines.onActivate)
            m_routines.onActivate();
        return true;
    case vk::VK_HOME:
        if (m_vertical != 1) {
            m_vertical = 1;
            requestRepaint();
        }
        return true;
    case vk::VK_END:
        if (m_vertical != 0) {
            m_vertical = 0;
            requestRepaint();
        }
        return true;
    case vk::VK_UP:
        scrollBy(true, m_lineStep);
        return true;
    case vk::VK_DOWN:
        scrollBy(true, -m_lineStep);
        return true;
    case vk::VK_LEFT:
        scrollBy(false, -m_lineStep);
        return true;
    case vk::VK_RIGHT:
        scrollBy(false, m_lineStep);
        return true;
    case vk::VK_PRIOR:
        scrollBy(true, view);
        return true;
    case vk::VK_NEXT:
        scrollBy(true, -view);
        return true;
    default:
        return false;
    }
}

void ItemList::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    if (theme != nullptr) {
        for (bool vertical : {false, true}) {
            if (!(style() & (vertical ? style::kVerticalScrollBar : style::kHorizontalScrollBar)))
                continue;
            IntRect strip = theme->scrollBarRect(vertical ? Orientation::Vertical : Orientation::Horizontal,
                                                 {0, 0, width(), height()}, style());
            uint32_t hot = (m_hotBars & (vertical ? kVerticalHot : kHorizontalHot)) ? style::kHot : 0;
            theme->drawFace(surface, strip, 1, theme->lightFace(), 0, 0.6);
            theme->drawFace(surface, thumbRect(vertical), 0, palette::kButtonFace, hot, 1.0);
        }
    }
    if (!m_routines.drawItem || m_count == 0)
        return;
    IntRect clip = surface.getClip();
    IntRect view = intersect(clip, m_viewport);
    if (view.empty() || !surface.setClip(view.x0, view.y0, view.x1, view.y1))
        return;
    // Only the rows that show.
    int32_t perRow = cellsPerRow();
    double shiftY = (1 - m_vertical) * scrollRange(true);
    int32_t firstRow = std::max(0, static_cast<int32_t>(std::floor((std::lround(shiftY)) / double(m_cellHeight))));
    int32_t lastRow = static_cast<int32_t>(
        std::ceil((std::lround(shiftY) + (m_viewport.y1 - m_viewport.y0)) / double(m_cellHeight)));
    for (int32_t row = firstRow; row <= lastRow && row < rows(); ++row)
        for (int32_t column = 0; column < perRow; ++column) {
            int32_t index = row * perRow + column;
            if (index >= m_count)
                break;
            m_routines.drawItem(surface, index, itemRect(index));
        }
    surface.setClip(clip.x0, clip.y0, clip.x1, clip.y1);
}

} // namespace tonvane
