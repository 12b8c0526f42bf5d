#pragma once
#include "app/window/MenuOwner.h"
#include "app/window/MenuTree.h"
#include "controls/widget/Widget.h"
#include "graphics/image/ImageStrip.h"

#include <functional>
#include <vector>

namespace tonvane {

class PopupMenu;

// The menu bar: the root's children as titles from the left; a press on a title opens its menu
// below it as a popup run modally, and the chosen item's key goes to the command routine. While
// a menu is open Left and Right move to the neighbouring menu and Esc asks to close. Keyboard
// navigation: Alt pressed and released alone makes the first title hot; Left and Right move it,
// Down, Enter or Space open it, Esc or Alt again leave.
class MenuBar final : public Widget, private MenuOwner {
public:
    // State bits.
    enum State : uint32_t {
        kKeyboardNavigation = 0x8, // a title is hot for the keys
        kCloseRequested = 0x10, // no further menu opens in this round
        kAltArmed = 0x20, // Alt is down, with no other key or press since
    };
    static constexpr int32_t kFirstItemX = 4; // [pixels]
    static constexpr int32_t kItemPadding = 12; // [pixels] added to a caption's width
    static constexpr int32_t kIconGap = 6; // [pixels] added to an icon's width
    static constexpr int32_t kItemExtraHeight = 6; // [pixels] above the font (or icon) height
    static constexpr int32_t kBarExtraHeight = 8; // [pixels] above the item height
    static constexpr int32_t kIconCell = 16; // [pixels] of the menu icon strip

    explicit MenuBar(Widget* parent);

    void setCommandRoutine(std::function<void(int32_t command)> onCommand) { m_onCommand = std::move(onCommand); }
    MenuTree& tree() { return m_tree; }
    const ImageStrip& icons() const { return m_icons; }
    int32_t itemHeight() const;
    int32_t barHeight() const { return itemHeight() + kBarExtraHeight; }
    // One rectangle per top-level child in the bar's pixels (y up); empty for hidden children.
    const std::vector<IntRect>& itemRects() const { return m_rects; }
    int32_t hovered() const { return m_hover; }
    int32_t openIndex() const { return m_open; }
    uint32_t state() const { return m_state; }
    // The open top-level popup, while a menu runs.
    PopupMenu* popup() const { return m_popup; }

    // Opens top-level menu `index` and runs the command chosen in it (none when closed without
    // one); Left, Right and presses on other titles move to other menus meanwhile. byKeyboard:
    // the first item that can be chosen starts hot.
    void openMenu(int32_t index, bool byKeyboard = false);
    // A key of the main window before its focused widget sees it; true when the bar used it.
    bool windowKeyDown(uint32_t key);
    bool windowKeyUp(uint32_t key);
    // A press somewhere, or the keyboard taken away: Alt released now means nothing.
    void cancelAlt() { m_state &= ~kAltArmed; }
    void leaveKeyboardNavigation();

    void layout() override;
    void paint(Surface& surface) override;
    void onMouse(MouseAction action, int32_t x, int32_t y) override;
    void captureLost() override;

private:
    void readTitles();
    int32_t titleAt(int32_t x, int32_t y) const;
    int32_t titleAtScreen(int32_t x, int32_t y) const;
    bool canOpen(int32_t index) const;
    // The next title that can be opened in direction +1 or -1, around the ends; -1 when none.
    int32_t neighbour(int32_t from, int32_t direction) const;
    void setHover(int32_t index);

    // MenuOwner: what the open popup reports.
    bool pointerFromChild(int32_t x, int32_t y) override;
    void pressFromChild(int32_t x, int32_t y, bool outside) override;
    bool keyFromChild(uint32_t key) override;
    bool escapeFromChild() override;
    void dismissFromChild() override;
    void childClosed() override {}

    MenuTree m_tree;
    std::vector<MenuRecord> m_titles;
    std::vector<IntRect> m_rects;
    ImageStrip m_icons;
    std::function<void(int32_t)> m_onCommand;
    int32_t m_hover = -1;
    int32_t m_open = -1;
    int32_t m_next = -1; // the menu to open once the open one has closed
    uint32_t m_state = 0;
    PopupMenu* m_popup = nullptr;
};

} // namespace tonvane
