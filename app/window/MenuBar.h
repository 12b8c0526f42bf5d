#pragma once
#include "controls/widget/Widget.h"
#include "core/language/Language.h"
#include "graphics/image/ImageStrip.h"

#include <functional>
#include <vector>

namespace tonvane {

// One entry of the main window's menus: an item (its caption row is its command number), a
// separator, or a submenu. Icons index the menu icon strip (-1: none).
struct MenuEntry {
    enum class Kind { Item, Separator, Submenu };
    Kind kind = Kind::Item;
    TextId key = -1;
    int32_t icon = -1;
    bool enabled = true;
    std::vector<MenuEntry> children;
};

// The main window's menu tree: File, View (with the Language submenu), Help.
std::vector<MenuEntry> mainMenuTree();
// Sets the enabled flag of the first entry with that key; false when there is none.
bool setMenuItemEnabled(std::vector<MenuEntry>& tree, TextId key, bool enabled);
const MenuEntry* findMenuEntry(const std::vector<MenuEntry>& tree, TextId key);

// The menu bar: the top-level titles; a click (or hover while a menu is open) opens the menu
// below its title as a popup run modally. A submenu opens as a further popup beside its row.
class MenuBar : public Widget {
public:
    static constexpr int32_t kTitlePadding = 12; // [pixels] around each title's text

    explicit MenuBar(Widget* parent);

    void setCommandRoutine(std::function<void(int32_t command)> onCommand) { m_onCommand = std::move(onCommand); }
    std::vector<MenuEntry>& tree() { return m_tree; }
    const ImageStrip& icons() const { return m_icons; }
    int32_t barHeight() const;
    int32_t openIndex() const { return m_open; }
    // Opens top-level menu i and runs the command chosen in it (none when closed without one).
    void openMenu(int32_t index);

    void paint(Surface& surface) override;
    void onMouse(MouseAction action, int32_t x, int32_t y) override;

private:
    int32_t titleAt(int32_t x, int32_t y) const;
    // Runs a popup listing entries at the given top-left (y-up screen pixels); the chosen
    // command, or -1.
    int32_t runPopup(const std::vector<MenuEntry>& entries, int32_t left, int32_t top, uint32_t& exitKey);
    void measureTitles();

    std::vector<MenuEntry> m_tree;
    std::vector<IntRect> m_titles;
    ImageStrip m_icons;
    std::function<void(int32_t)> m_onCommand;
    int32_t m_hot = -1;
    int32_t m_open = -1;
};

} // namespace tonvane
