#pragma once
#include "controls/widget/Widget.h"
#include "core/foundation/Event.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace tonvane {

// A scrolling view of equal item cells that the owner draws: geometry, scroll bars and
// positions, wheel, thumb drags, middle-button panning, hover, hit testing and selection.
// Scroll positions are fractions: horizontal 0 = left end, vertical 1 = top (y grows upwards).
class ItemList : public Widget {
public:
    // The list's own flags.
    static constexpr uint32_t kSingleSelection = 0x20;
    static constexpr uint32_t kGrid = 0x1; // several cells per row
    static constexpr uint32_t kNoSelection = 0x2;
    static constexpr uint32_t kSelectedBit = 0x1; // in an item's flag word
    static constexpr int32_t kArrow = 16; // [pixels] arrow at each end of a scroll bar
    static constexpr int32_t kPanTickMs = 50; // [milliseconds]
    static constexpr double kPanDivisor = 20; // pointer offset [pixels] per unit of velocity

    enum class Drag { None, HorizontalThumb, VerticalThumb, Panning };

    struct Routines {
        std::function<void(Surface&, int32_t index, const IntRect& rect)> drawItem;
        std::function<void(int32_t index, uint32_t keys, int32_t x, int32_t y)> onItemClick;
        // The second press of a double click; empty: it is one more click.
        std::function<void(int32_t index)> onItemDoubleClick;
        std::function<void(int32_t index, uint32_t keys, int32_t x, int32_t y)> onItemHover;
        std::function<void(int32_t index, bool selected)> onSelection; // then (-1, false)
        std::function<void()> onActivate; // Enter
        // A key before the list's own handling; true: the owner took it.
        std::function<bool(uint32_t key)> onKey;
    };

    explicit ItemList(Widget* parent);
    ~ItemList() override;

    void setRoutines(Routines routines) { m_routines = std::move(routines); }
    void setListFlags(uint32_t flags) { m_listFlags = flags; }
    void setItemCount(int32_t count);
    void setContentWidth(int32_t width);
    void setCellSize(int32_t width, int32_t height);
    void setLineStep(int32_t pixels) { m_lineStep = pixels; }
    // Brings line k into view: vertical = clamp(step x k / (content - viewport)).
    void scrollToLine(int32_t line);
    void redrawItem(int32_t index);
    // The item at a point in the list's own coordinates, or -1.
    int32_t itemAt(int32_t x, int32_t y) const;
    void toggleSelection(int32_t index);
    bool selected(int32_t index) const;
    // The item's rectangle in the list's own coordinates (rows from the top of the content).
    IntRect itemRect(int32_t index) const;

    int32_t itemCount() const { return m_count; }
    int32_t cellsPerRow() const;
    int32_t rows() const;
    int32_t contentWidth() const { return m_contentWidth; }
    int32_t contentHeight() const { return rows() * m_cellHeight; }
    IntRect viewport() const { return m_viewport; }
    double horizontalPosition() const { return m_horizontal; }
    double verticalPosition() const { return m_vertical; }
    void setPositions(double horizontal, double vertical);
    Drag drag() const { return m_drag; }
    uint32_t hotBars() const { return m_hotBars; } // 1 horizontal, 2 vertical
    // The thumb of a bar in the list's coordinates (empty when the bar is hidden).
    IntRect thumbRect(bool vertical) const;

    void layout() override;
    void paint(Surface& surface) override;
    void onMouse(MouseAction action, int32_t x, int32_t y) override;
    void onWheel(int32_t x, int32_t y, int32_t delta, uint32_t keys) override;
    bool onKeyDown(uint32_t key) override;
    bool acceptsFocus() const override { return true; }

private:
    void updateScrollBars();
    // Scrolls by pixels along an axis (positive: up or right), clamped; true when it moved.
    bool scrollBy(bool vertical, double pixels);
    double scrollRange(bool vertical) const; // content - viewport [pixels], 0 when it fits
    IntRect trackRect(bool vertical) const;
    uint32_t keyState() const;
    void hover(int32_t x, int32_t y);
    void beginThumbDrag(bool vertical, int32_t x, int32_t y);
    void pressOnBar(bool vertical, int32_t x, int32_t y);
    void beginPanning(int32_t x, int32_t y);
    void endPanning();
    void panTick();

    Routines m_routines;
    uint32_t m_listFlags = 0;
    int32_t m_count = 0;
    std::vector<uint32_t> m_itemFlags;
    int32_t m_cellWidth = 0;
    int32_t m_cellHeight = 1;
    int32_t m_contentWidth = 0;
    int32_t m_lineStep = 16;
    IntRect m_viewport;
    double m_horizontal = 0;
    double m_vertical = 1;
    int32_t m_hot = -1;
    uint32_t m_hotBars = 0;
    Drag m_drag = Drag::None;
    int32_t m_anchorX = 0;
    int32_t m_anchorY = 0;
    double m_startPosition = 0;
    double m_velocityX = 0;
    double m_velocityY = 0;
    Event m_panStop;
    std::thread m_panThread;
    // Routines posted by the pan thread check it before touching the list.
    std::shared_ptr<ItemList*> m_alive;
};

} // namespace tonvane
