#include "app/window/MenuTree.h"

#include "app/window/MenuTreeBuilder.h"

#include <cstring>

namespace tonvane {

namespace {

// The icon strip's cells of the menus.
constexpr int32_t kIconExit = 0;
constexpr int32_t kIconConvert = 1;
constexpr int32_t kIconOptions = 2;
constexpr int32_t kIconWebPage = 3;
constexpr int32_t kIconFirstFlag = 4; // 4 to 11: the flags in the order of the language names
constexpr int32_t kIconFreeDb = 12;
constexpr int32_t kIconHelp = 13;
constexpr uint8_t kDisabled = 0;

uint32_t minimumSize(MenuKind kind)
{
    switch (kind) {
    case MenuKind::Submenu:
        return menulayout::kSubmenuSize;
    case MenuKind::Item:
        return menulayout::kItemSize;
    case MenuKind::Separator:
        return menulayout::kSeparatorSize;
    default:
        return 0;
    }
}

template <typename Match>
std::optional<MenuRecord> depthFirst(const MenuTree& tree, const MenuRecord& from, const Match& match)
{
    if (match(from))
        return from;
    if (!from.isSubmenu())
        return std::nullopt;
    for (const MenuRecord& child : childrenOf(tree, from))
        if (std::optional<MenuRecord> found = depthFirst(tree, child, match))
            return found;
    return std::nullopt;
}

std::optional<MenuRecord> findKeyed(const MenuTree& tree, TextId key)
{
    std::optional<MenuRecord> root = tree.root();
    if (!root)
        return std::nullopt;
    return depthFirst(tree, *root, [key](const MenuRecord& r) { return !r.isSeparator() && r.key == key; });
}

} // namespace

std::optional<uint32_t> MenuTree::readWord(uint64_t offset) const
{
    if (offset + sizeof(uint32_t) > m_block.size())
        return std::nullopt;
    uint32_t word = 0;
    std::memcpy(&word, m_block.data() + offset, sizeof word);
    return word;
}

std::optional<MenuRecord> MenuTree::record(uint32_t offset) const
{
    uint64_t at = offset;
    if (at + menulayout::kSeparatorSize > m_block.size())
        return std::nullopt;
    MenuRecord r;
    r.offset = offset;
    r.kind = static_cast<MenuKind>(m_block[at + menulayout::kKindAt]);
    uint32_t least = minimumSize(r.kind);
    r.size = readWord(at + menulayout::kSizeAt).value_or(0);
    if (least == 0 || r.size < least || at + r.size > m_block.size())
        return std::nullopt;
    if (r.isSeparator())
        return r;
    r.flags = m_block[at + menulayout::kFlagsAt];
    r.key = static_cast<TextId>(readWord(at + menulayout::kKeyAt).value_or(0));
    r.icon = static_cast<int32_t>(readWord(at + menulayout::kIconAt).value_or(0));
    r.value = static_cast<int32_t>(readWord(at + menulayout::kValueAt).value_or(0));
    r.userValue = static_cast<int32_t>(readWord(at + menulayout::kUserValueAt).value_or(0));
    if (!r.isSubmenu())
        return r;
    r.childCount = readWord(at + menulayout::kChildCountAt).value_or(0);
    r.firstChild = readWord(at + menulayout::kFirstChildAt).value_or(0);
    // The children lie after the header and inside the submenu: every walk moves forward.
    if (r.firstChild < at + menulayout::kSubmenuSize || r.firstChild > at + r.size)
        return std::nullopt;
    return r;
}

bool MenuTree::setFlags(uint32_t offset, uint8_t bits, bool on)
{
    std::optional<MenuRecord> r = record(offset);
    if (!r || r->isSeparator())
        return false;
    uint8_t& flags = m_block[size_t(offset) + menulayout::kFlagsAt];
    flags = on ? uint8_t(flags | bits) : uint8_t(flags & ~bits);
    return true;
}

std::vector<MenuRecord> childrenOf(const MenuTree& tree, const MenuRecord& submenu)
{
    std::vector<MenuRecord> children;
    if (!submenu.isSubmenu())
        return children;
    uint64_t end = uint64_t(submenu.offset) + submenu.size;
    uint64_t at = submenu.firstChild;
    for (uint32_t i = 0; i < submenu.childCount && at < end; ++i) {
        std::optional<MenuRecord> child = tree.record(static_cast<uint32_t>(at));
        if (!child || at + child->size > end)
            break;
        children.push_back(*child);
        at += child->size;
    }
    return children;
}

std::optional<MenuRecord> findItem(const MenuTree& tree, const MenuRecord& submenu, int32_t index)
{
    if (index < 0)
        return std::nullopt;
    std::vector<MenuRecord> children = childrenOf(tree, submenu);
    if (size_t(index) >= children.size())
        return std::nullopt;
    return children[size_t(index)];
}

std::optional<MenuRecord> findEntry(const MenuTree& tree, TextId key)
{
    std::optional<MenuRecord> root = tree.root();
    if (!root)
        return std::nullopt;
    return depthFirst(tree, *root, [key](const MenuRecord& r) { return r.isSubmenu() && r.key == key; });
}

bool setItemEnabled(MenuTree& tree, TextId key, bool on)
{
    std::optional<MenuRecord> found = findKeyed(tree, key);
    if (!found || !tree.setFlags(found->offset, menuflag::kEnabled, on))
        return false;
    tree.notifyChanged();
    return true;
}

std::optional<bool> isItemEnabled(const MenuTree& tree, TextId key)
{
    std::optional<MenuRecord> found = findKeyed(tree, key);
    if (!found)
        return std::nullopt;
    return found->enabled();
}

std::optional<std::u16string> captionOf(const MenuTree& tree, const MenuRecord& submenu, int32_t index)
{
    std::optional<MenuRecord> child = findItem(tree, submenu, index);
    if (!child || child->isSeparator() || child->iconOnly() || child->key < 0 || child->key >= kTextCount)
        return std::nullopt;
    return std::u16string(uiText(child->key).view());
}

MenuTree mainMenuTree()
{
    MenuTreeBuilder b;
    b.beginSubmenu(kMainMenuRootKey);
    b.beginSubmenu(kTextFile);
    b.item(kTextConvert, kIconConvert, kDisabled);
    b.item(kTextConsultFreeDb, kIconFreeDb, kDisabled);
    b.separator();
    b.item(kTextExit, kIconExit);
    b.end();
    b.beginSubmenu(kTextView);
    b.item(kTextOptions, kIconOptions);
    b.separator();
    b.beginSubmenu(kTextLanguage);
    for (TextId key = kTextSpanishName; key <= kTextJapaneseName; ++key)
        b.item(key, kIconFirstFlag + (key - kTextSpanishName));
    b.end();
    b.end();
    b.beginSubmenu(kTextHelp);
    b.item(kTextWeb, kIconWebPage);
    b.item(kTextCheckUpdates);
    b.item(kTextHelpPage, kIconHelp);
    b.separator();
    b.item(kTextAbout);
    b.end();
    return b.finish();
}

} // namespace tonvane
