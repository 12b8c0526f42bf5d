#pragma once
#include "core/language/Language.h"

#include <bit>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

// Record kinds of a menu tree; a kind of 0 or above 3 ends every walk.
enum class MenuKind : uint8_t { End = 0, Submenu = 1, Item = 2, Separator = 3 };

// Flag bits of items and submenus.
namespace menuflag {
constexpr uint8_t kEnabled = 0x1;
constexpr uint8_t kHidden = 0x2; // not laid out, not drawn
constexpr uint8_t kIconOnly = 0x4; // no caption
} // namespace menuflag

// Byte layout of the records (little-endian fields, natural alignment inside a record).
namespace menulayout {
constexpr uint32_t kKindAt = 0; // 1 byte
constexpr uint32_t kSizeAt = 4; // distance to the next sibling [bytes]
constexpr uint32_t kFlagsAt = 8; // 1 byte
constexpr uint32_t kKeyAt = 12;
constexpr uint32_t kIconAt = 16;
constexpr uint32_t kValueAt = 20;
constexpr uint32_t kUserValueAt = 24;
constexpr uint32_t kChildCountAt = 28; // submenus
constexpr uint32_t kFirstChildAt = 32; // submenus: the first child's offset from the block's start
constexpr uint32_t kSeparatorSize = 12; // [bytes]
constexpr uint32_t kItemSize = 28;
constexpr uint32_t kSubmenuSize = 36; // the header; its children follow it
} // namespace menulayout
static_assert(std::endian::native == std::endian::little, "menu records are read with memcpy as little-endian");

// One record as read from the block: a copy, changing it changes nothing.
struct MenuRecord {
    uint32_t offset = 0; // of the record in the block [bytes]
    MenuKind kind = MenuKind::End;
    uint32_t size = 0; // [bytes] the record with all its descendants
    uint8_t flags = 0;
    TextId key = -1; // caption row and, for items, the command number
    int32_t icon = -1; // menu icon strip index; -1: none
    int32_t value = 0;
    int32_t userValue = 0;
    uint32_t childCount = 0;
    uint32_t firstChild = 0;

    bool enabled() const { return (flags & menuflag::kEnabled) != 0; }
    bool hidden() const { return (flags & menuflag::kHidden) != 0; }
    bool iconOnly() const { return (flags & menuflag::kIconOnly) != 0; }
    bool isSubmenu() const { return kind == MenuKind::Submenu; }
    bool isSeparator() const { return kind == MenuKind::Separator; }
    // Neither a separator nor disabled nor hidden: what keys and clicks may choose.
    bool choosable() const { return !isSeparator() && enabled() && !hidden(); }
};

// A menu tree: one block of variable-size records (submenu 36 bytes plus its children, item 28,
// separator 12), built once and never reallocated. Records are found by their offset in the
// block, so the block may move as a whole; every read and write is checked against its end.
class MenuTree {
public:
    MenuTree() = default;
    // Adopts the block as it is (MenuTreeBuilder makes well-formed ones).
    explicit MenuTree(std::vector<uint8_t> block) : m_block(std::move(block)) {}
    MenuTree(const MenuTree&) = delete;
    MenuTree& operator=(const MenuTree&) = delete;
    MenuTree(MenuTree&&) = default;
    MenuTree& operator=(MenuTree&&) = default;

    // The record at offset; none when no whole record of a known kind starts there.
    std::optional<MenuRecord> record(uint32_t offset) const;
    std::optional<MenuRecord> root() const { return record(0); }
    // Sets or clears flag bits of the item or submenu at offset; false when there is none.
    bool setFlags(uint32_t offset, uint8_t bits, bool on);
    const std::vector<uint8_t>& bytes() const { return m_block; }

    // Called after setItemEnabled changed a record: the open popup menus redraw.
    void setChangeListener(std::function<void()> listener) { m_changed = std::move(listener); }
    void notifyChanged() const
    {
        if (m_changed)
            m_changed();
    }

private:
    std::optional<uint32_t> readWord(uint64_t offset) const;

    std::vector<uint8_t> m_block;
    std::function<void()> m_changed;
};

// The children of a submenu in order, walking sizes from its first child; the walk ends early at
// a record of an unknown kind or one reaching beyond the submenu.
std::vector<MenuRecord> childrenOf(const MenuTree& tree, const MenuRecord& submenu);
// The index-th child of a submenu (0-based), or none.
std::optional<MenuRecord> findItem(const MenuTree& tree, const MenuRecord& submenu, int32_t index);
// Depth-first search of the submenus (the root too) by key.
std::optional<MenuRecord> findEntry(const MenuTree& tree, TextId key);
// Sets or clears the enabled bit of the first item or submenu with the key (depth-first) and
// tells the open popup menus to redraw; false, and nothing changed, when none has the key.
bool setItemEnabled(MenuTree& tree, TextId key, bool on);
// The enabled bit of the first item or submenu with the key; none when none has it.
std::optional<bool> isItemEnabled(const MenuTree& tree, TextId key);
// The child's caption in the current language; none for a missing, separator or icon-only child.
std::optional<std::u16string> captionOf(const MenuTree& tree, const MenuRecord& submenu, int32_t index);

// The main window's tree (root key 128): File, View with the Language submenu, Help.
MenuTree mainMenuTree();
constexpr TextId kMainMenuRootKey = 128;

} // namespace tonvane
