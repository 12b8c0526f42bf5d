#include "app/window/MenuTreeBuilder.h"

#include <cstring>

namespace tonvane {

namespace {
constexpr int32_t kItemValue = -1; // what an item carries in its value field
constexpr int32_t kSubmenuValue = 0;
} // namespace

uint32_t MenuTreeBuilder::append(MenuKind kind, uint32_t size)
{
    auto offset = static_cast<uint32_t>(m_block.size());
    m_block.resize(m_block.size() + size, 0);
    m_block[offset + menulayout::kKindAt] = static_cast<uint8_t>(kind);
    put(offset + menulayout::kSizeAt, size);
    return offset;
}

void MenuTreeBuilder::put(uint32_t offset, uint32_t word)
{
    std::memcpy(m_block.data() + offset, &word, sizeof word);
}

void MenuTreeBuilder::beginSubmenu(TextId key, int32_t icon, uint8_t flags)
{
    uint32_t at = append(MenuKind::Submenu, menulayout::kSubmenuSize);
    m_block[at + menulayout::kFlagsAt] = flags;
    put(at + menulayout::kKeyAt, static_cast<uint32_t>(key));
    put(at + menulayout::kIconAt, static_cast<uint32_t>(icon));
    put(at + menulayout::kValueAt, static_cast<uint32_t>(kSubmenuValue));
    put(at + menulayout::kFirstChildAt, at + menulayout::kSubmenuSize);
    m_open.push_back(at);
}

void MenuTreeBuilder::item(TextId key, int32_t icon, uint8_t flags)
{
    uint32_t at = append(MenuKind::Item, menulayout::kItemSize);
    m_block[at + menulayout::kFlagsAt] = flags;
    put(at + menulayout::kKeyAt, static_cast<uint32_t>(key));
    put(at + menulayout::kIconAt, static_cast<uint32_t>(icon));
    put(at + menulayout::kValueAt, static_cast<uint32_t>(kItemValue));
}

void MenuTreeBuilder::separator()
{
    append(MenuKind::Separator, menulayout::kSeparatorSize);
}

void MenuTreeBuilder::end()
{
    if (m_open.empty())
        return;
    uint32_t at = m_open.back();
    m_open.pop_back();
    auto end = static_cast<uint32_t>(m_block.size());
    put(at + menulayout::kSizeAt, end - at);
    uint32_t children = 0;
    for (uint32_t child = at + menulayout::kSubmenuSize; child < end; ++children) {
        uint32_t size = 0;
        std::memcpy(&size, m_block.data() + child + menulayout::kSizeAt, sizeof size);
        child += size;
    }
    put(at + menulayout::kChildCountAt, children);
}

MenuTree MenuTreeBuilder::finish()
{
    while (!m_open.empty())
        end();
    return MenuTree(std::move(m_block));
}

} // namespace tonvane
