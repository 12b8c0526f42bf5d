#include "app/window/MenuBar.h"

#include "controls/dropdown/DropDownPopup.h"
#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "controls/widget/WidgetWindow.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/TextLayout.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/window/LayeredWindow.h"

#include <algorithm>
#include <cmath>

namespace tonvane {

namespace {

constexpr uint32_t kMenuIcons = 256; // resource id
constexpr int32_t kItemHeight = 22; // [pixels] each popup row
constexpr int32_t kPopupWidth = 220; // [pixels]

MenuEntry item(TextId key, int32_t icon, bool enabled = true)
{
    return {MenuEntry::Kind::Item, key, icon, enabled, {}};
}

MenuEntry separator()
{
    return {MenuEntry::Kind::Separator, -1, -1, true, {}};
}

MenuEntry submenu(TextId key, std::vector<MenuEntry> children, int32_t icon = -1)
{
    return {MenuEntry::Kind::Submenu, key, icon, true, std::move(children)};
}

} // namespace

std::vector<MenuEntry> mainMenuTree()
{
    std::vector<MenuEntry> languages;
    for (TextId key = kTextSpanishName; key <= kTextJapaneseName; ++key)
        languages.push_back(item(key, 4 + (key - kTextSpanishName)));
    return {
        submenu(kTextFile, {item(kTextConvert, 1, false), item(kTextConsultFreeDb, 12, false), separator(),
                            item(kTextExit, 0)}),
        submenu(kTextView, {item(kTextOptions, 2, false), separator(), submenu(kTextLanguage, languages)}),
        submenu(kTextHelp, {item(kTextWeb, 3), item(kTextCheckUpdates, -1), item(kTextHelpPage, 13), separator(),
                            item(kTextAbout, -1)}),
    };
}

static MenuEntry* findIn(std::vector<MenuEntry>& entries, TextId key)
{
    for (MenuEntry& entry : entries) {
        if (entry.key == key && entry.kind != MenuEntry::Kind::Separator)
            return &entry;
        if (MenuEntry* found = findIn(entry.children, key))
            return found;
    }
    return nullptr;
}

bool setMenuItemEnabled(std::vector<MenuEntry>& tree, TextId key, bool enabled)
{
    MenuEntry* entry = findIn(tree, key);
    if (entry == nullptr)
        return false;
    entry->enabled = enabled;
    return true;
}

const MenuEntry* findMenuEntry(const std::vector<MenuEntry>& tree, TextId key)
{
    return findIn(const_cast<std::vector<MenuEntry>&>(tree), key);
}

MenuBar::MenuBar(Widget* parent) : Widget(parent), m_tree(mainMenuTree())
{
    m_icons.load(kMenuIcons);
}

int32_t MenuBar::barHeight() const
{
    ControlTheme* theme = controlTheme();
    double font = theme != nullptr && theme->font() != nullptr ? theme->font()->line_height : 13;
    return static_cast<int32_t>(std::ceil(std::max(font + 6, 16.0 + 6) + 8));
}

void MenuBar::measureTitles()
{
    m_titles.clear();
    ControlTheme* theme = controlTheme();
    Font* font = theme != nullptr ? theme->font() : nullptr;
    int32_t x = 4;
    for (const MenuEntry& entry : m_tree) {
        std::u16string_view caption = uiText(entry.key).view();
        double w = font != nullptr ? measureLine(*font, caption.data(), uint32_t(caption.size()), 1e6).width : 40;
        int32_t titleWidth = static_cast<int32_t>(std::ceil(w)) + 2 * kTitlePadding;
        m_titles.push_back({x, 3, x + titleWidth, height() - 3});
        x += titleWidth + 2;
    }
}

int32_t MenuBar::titleAt(int32_t x, int32_t y) const
{
    for (size_t i = 0; i < m_titles.size(); ++i) {
        const IntRect& r = m_titles[i];
        if (x >= r.x0 && x < r.x1 && y >= 0 && y < height())
            return static_cast<int32_t>(i);
    }
    return -1;
}

void MenuBar::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr)
        return;
    measureTitles();
    theme->drawMenuBar(surface, {0, 0, width(), height()});
    for (size_t i = 0; i < m_titles.size(); ++i) {
        uint32_t state = int32_t(i) == m_open ? style::kPressed : int32_t(i) == m_hot ? style::kHot : 0;
        std::u16string caption(uiText(m_tree[i].key).view());
        theme->drawMenuBarItem(surface, m_titles[i], state, caption.c_str());
    }
}

void MenuBar::onMouse(MouseAction action, int32_t x, int32_t y)
{
    if (!isInteractive())
        return;
    int32_t title = titleAt(x, y);
    if (action == MouseAction::Move) {
        bool inside = x >= 0 && y >= 0 && x < width() && y < height();
        if (inside && !hasCapture())
            takeCapture();
        else if (!inside)
            releaseCapture();
        if (title != m_hot) {
            m_hot = title;
            requestRepaint();
        }
        return;
    }
    if (action == MouseAction::LeftDown && title >= 0)
        openMenu(title);
}

void MenuBar::openMenu(int32_t index)
{
    WidgetWindow* host = window();
    if (index < 0 || index >= int32_t(m_tree.size()) || host == nullptr || host->window() == nullptr)
        return;
    releaseCapture();
    measureTitles();
    IntRect own = windowRect();
    LayeredWindow& w = *host->window();
    int32_t command = -1;
    int32_t count = static_cast<int32_t>(m_tree.size());
    // Left and Right leave a menu for its neighbour (the last after the first, and back).
    for (;;) {
        m_open = index;
        requestRepaint();
        uint32_t exitKey = 0;
        command = runPopup(m_tree[size_t(index)].children, w.left() + own.x0 + m_titles[size_t(index)].x0,
                           w.bottom() + own.y0 - metrics::kMenuGap, exitKey);
        if (exitKey == vk::VK_LEFT)
            index = (index + count - 1) % count;
        else if (exitKey == vk::VK_RIGHT)
            index = (index + 1) % count;
        else
            break;
    }
    m_open = -1;
    m_hot = -1;
    requestRepaint();
    if (command >= 0 && m_onCommand)
        m_onCommand(command);
}

int32_t MenuBar::runPopup(const std::vector<MenuEntry>& entries, int32_t left, int32_t top, uint32_t& exitKey)
{
    WidgetWindow* host = window();
    LayeredWindow& w = *host->window();
    int32_t rows = static_cast<int32_t>(entries.size());
    auto caption = [&entries](int32_t row) {
        const MenuEntry& e = entries[size_t(row)];
        return e.kind == MenuEntry::Kind::Separator ? std::u16string() : std::u16string(uiText(e.key).view());
    };
    DropDownPopup popup(w.ui(), w.id(), rows, -1, caption);
    popup.setRowEnabled([&entries](int32_t row) {
        const MenuEntry& e = entries[size_t(row)];
        return e.kind != MenuEntry::Kind::Separator && e.enabled;
    });
    popup.setRowPainter([this, &entries, caption](Surface& s, int32_t row, const IntRect& rect, bool hot) {
        ControlTheme* theme = controlTheme();
        if (theme == nullptr)
            return;
        const MenuEntry& e = entries[size_t(row)];
        theme->setIconImage(&m_icons, 16);
        uint32_t state = (e.kind == MenuEntry::Kind::Separator ? style::kSeparator : 0)
            | (hot ? style::kHot : 0) | (e.enabled ? 0 : style::kThemeDisabled)
            | (e.kind == MenuEntry::Kind::Submenu ? style::kSubmenu : 0);
        std::u16string text = caption(row);
        theme->drawMenuItem(s, rect, state, text.c_str(), int32_t(text.size()), e.icon);
    });
    popup.run(left, top - rows * kItemHeight, left + kPopupWidth, top);
    exitKey = popup.exitKey();
    if (!popup.chosen() || popup.hot() < 0)
        return -1;
    const MenuEntry& picked = entries[size_t(popup.hot())];
    if (picked.kind == MenuEntry::Kind::Submenu) {
        // The submenu opens beside the row it hangs from.
        int32_t rowTop = top - popup.hot() * kItemHeight;
        uint32_t ignored = 0;
        return runPopup(picked.children, left + kPopupWidth - 4, rowTop, ignored);
    }
    return picked.key;
}

} // namespace tonvane
