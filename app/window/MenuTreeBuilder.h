#pragma once
#include "app/window/MenuTree.h"

namespace tonvane {

// Writes the records of a menu tree in order: a submenu's children follow its beginSubmenu
// until its end(), which writes its size and child count.
class MenuTreeBuilder {
public:
    void beginSubmenu(TextId key, int32_t icon = -1, uint8_t flags = menuflag::kEnabled);
    void item(TextId key, int32_t icon = -1, uint8_t flags = menuflag::kEnabled);
    void separator();
    void end();
    // The finished block (submenus still open are ended first).
    MenuTree finish();

private:
    uint32_t append(MenuKind kind, uint32_t size);
    void put(uint32_t offset, uint32_t word);

    std::vector<uint8_t> m_block;
    std::vector<uint32_t> m_open; // submenus begun and not yet ended
};

} // namespace tonvane
