#pragma once
#include "app/window/HoverTimer.h"
#include "app/window/MenuOwner.h"
#include "app/window/MenuTree.h"
#include "controls/widget/PopupWindow.h"
#include "windowing/backend/ScreenGeometry.h"

#include <memory>
#include <optional>
#include <vector>

namespace tonvane {

class ImageStrip;

// One open menu: a popup window of its own kind showing the children of one submenu record, run
// modally by run(). A submenu child opens a further PopupMenu to its right whose loop runs inside
// this one's, so at most one chain is open. The innermost popup gets the keys (the modal loop
// redirects them) and holds the pointer; points outside it go to its owner (MenuOwner), the menu
// bar or the parent popup. Two timer threads wait 600 ms each: one opens the submenu the pointer
// rests on, the other lets the owner take over when the pointer rests on it; both are stopped
// and joined when the popup closes.
class PopupMenu final : public PopupWindow, private MenuOwner {
public:
    // run()'s results besides a command number.
    static constexpr int32_t kClosed = -1; // without a choice
    static constexpr int32_t kEscaped = -2;
    static constexpr int32_t kOwnerTookOver = -3;
    static constexpr uint32_t kHoverDelayMs = 600;
    static constexpr int32_t kMinItemHeight = 22; // [pixels]
    static constexpr int32_t kItemPadding = 10; // [pixels] added to the font height
    static constexpr int32_t kSeparatorHeight = 5; // [pixels]
    static constexpr int32_t kTextMargin = 4; // [pixels] each side of the text columns
    static constexpr int32_t kSeparatorRightInset = 2; // [pixels]
    static constexpr int32_t kIconCell = 16; // [pixels] of the menu icon strip

    // ownerWindow: the window the popup belongs to (the main window); icons: the menu icon strip.
    PopupMenu(UiThread& ui, WindowId ownerWindow, const MenuTree& tree, const MenuRecord& submenu, MenuOwner& owner,
              const ImageStrip* icons);
    ~PopupMenu() override;

    // Opens with its top-left corner at (left, top) (y-up screen pixels, kept inside the work
    // area) and returns once it has closed: the chosen item's key or one of the results above.
    // selectFirst (opened from the keyboard): the first item that can be chosen starts hot.
    int32_t run(int32_t left, int32_t top, bool selectFirst = false);

    int32_t hot() const { return m_hot; }
    PopupMenu* child() const { return m_child; }
    // One rectangle per child in content pixels (y up); hidden children have an empty one.
    const std::vector<IntRect>& itemRects() const { return m_rects; }
    int32_t itemHeight() const { return m_itemHeight; }
    // Reads the flags again and redraws, down the chain of open popups.
    void treeChanged();

    void keyDown(uint32_t key) override;
    void mouse(MouseAction action, int32_t x, int32_t y) override;

protected:
    void paintInside(Surface& surface) override;

private:
    // What this popup does with its child's result, from what the child told it meanwhile.
    enum class Relay { None, PressHere, PointerHere, PassedUp };
    // The timer threads' invoke codes.
    enum class Step : uint32_t { OpenHotSubmenu = 1, HandOverToOwner = 2 };

    void measure();
    void placeOnScreen(int32_t& left, int32_t& top) const;
    bool contains(ScreenPoint at) const;
    int32_t itemAt(ScreenPoint at) const;
    void setHot(int32_t index, bool byPointer);
    void moveHot(int32_t direction);
    void pointerMoved(ScreenPoint at);
    void press(ScreenPoint at);
    void release();
    void activateHot();
    void openChild(int32_t index, bool byKeyboard);
    void afterChild(int32_t result);
    void finish(int32_t result);
    void startTimer(HoverTimer& timer, Step step, int32_t index);
    void timerStep(Step step, int32_t index);

    // MenuOwner: what the child popup reports.
    bool pointerFromChild(int32_t x, int32_t y) override;
    void pressFromChild(int32_t x, int32_t y, bool outside) override;
    bool keyFromChild(uint32_t key) override;
    bool escapeFromChild() override { return false; }
    void dismissFromChild() override;
    void childClosed() override {}

    WindowId m_ownerWindow;
    const MenuTree& m_tree;
    MenuRecord m_submenu;
    std::vector<MenuRecord> m_children;
    MenuOwner& m_owner;
    const ImageStrip* m_icons;
    std::vector<IntRect> m_rects;
    int32_t m_itemHeight = kMinItemHeight;
    int32_t m_width = 0; // [pixels] content
    int32_t m_height = 0;
    int32_t m_hot = -1;
    int32_t m_result = kClosed;
    PopupMenu* m_child = nullptr; // on the stack of openChild while open
    int32_t m_childIndex = -1;
    Relay m_relay = Relay::None;
    ScreenPoint m_pressAt;
    std::optional<ScreenPoint> m_pointer; // the last pointer position this popup knows of
    HoverTimer m_openTimer;
    HoverTimer m_handOverTimer;
    std::shared_ptr<PopupMenu*> m_alive; // what the posted timer steps check
};

} // namespace tonvane
