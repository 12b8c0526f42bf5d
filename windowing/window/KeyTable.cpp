#include "windowing/window/KeyTable.h"

#include "windowing/message/KeyCodes.h"

#include <cwctype>

namespace tonvane {

namespace {

uint32_t upper(uint32_t key)
{
    return static_cast<uint32_t>(std::towupper(static_cast<wint_t>(key)));
}

} // namespace

bool keyMatches(const KeyTableEntry& entry, uint32_t key, uint32_t liveModifiers)
{
    bool caseless = (entry.modifiers & mod::kCaseless) != 0;
    bool sided = (entry.modifiers & (mod::kLeftShift | mod::kRightShift)) != 0;
    uint32_t compared = mod::kCtrl | mod::kAlt | (sided ? mod::kLeftShift | mod::kRightShift : mod::kShift);
    uint32_t live = (liveModifiers & compared) | (caseless ? mod::kCaseless : 0);
    if (live != entry.modifiers)
        return false;
    return caseless ? upper(entry.key) == upper(key) : entry.key == key;
}

const KeyTableEntry* findKey(std::span<const KeyTableEntry> table, uint32_t key, uint32_t liveModifiers)
{
    for (const KeyTableEntry& entry : table)
        if (keyMatches(entry, key, liveModifiers))
            return &entry;
    return nullptr;
}

} // namespace tonvane
