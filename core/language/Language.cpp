#include "core/language/Language.h"

#include "core/ProductConfig.h"
#include "core/settings/SettingsStore.h"

#include <atomic>
#include <cstdlib>

namespace tonvane {

namespace {
const LanguageTable* g_slots[kLanguageSlotCount] = {};
std::atomic<LanguageId> g_current{kLanguageNone};

const UiString& badString()
{
    static const UiString fallback{u"Bad String", 10};
    return fallback;
}
} // namespace

TextId languageNameText(LanguageId id)
{
    static constexpr TextId kNameRow[kLanguageSlotCount] = {
        kTextEnglishName,  kTextEnglishName,    kTextFrenchName,  kTextGermanName,  kTextItalianName,
        kTextJapaneseName, kTextPortugueseName, kTextRussianName, kTextSpanishName,
    };
    return (id >= 0 && id < kLanguageSlotCount) ? kNameRow[id] : kTextEnglishName;
}

void fillLanguageSlots()
{
    g_slots[kEnglish] = &kEnglishTable;
    g_slots[kFrench] = &kFrenchTable;
    g_slots[kGerman] = &kGermanTable;
    g_slots[kItalian] = &kItalianTable;
    g_slots[kJapanese] = &kJapaneseTable;
    g_slots[kPortuguese] = &kPortugueseTable;
    g_slots[kRussian] = &kRussianTable;
    g_slots[kSpanish] = &kSpanishTable;
}

void clearLanguageSlots()
{
    for (auto& slot : g_slots)
        slot = nullptr;
}

const LanguageTable* languageSlot(LanguageId id)
{
    if (id < 0 || id >= kLanguageSlotCount)
        return nullptr;
    return g_slots[id];
}

LanguageId currentLanguage()
{
    return g_current.load(std::memory_order_relaxed);
}

void setCurrentLanguage(LanguageId id)
{
    g_current.store(id, std::memory_order_relaxed);
}

const UiString& uiText(TextId id)
{
    LanguageId language = currentLanguage();
    if (language == kLanguageNone)
        return badString();
    const LanguageTable* table = languageSlot(language);
    if (!table)
        table = g_slots[0];
    if (!table)
        return badString();
    return (*table)[id];
}

const char16_t* uiTextPointer(TextId id)
{
    return uiText(id).text;
}

std::u16string fillPlaceholders(std::u16string_view text, std::initializer_list<std::u16string_view> values)
{
    constexpr std::u16string_view kPlaceholder = u"%s";
    std::u16string out;
    const std::u16string_view* next = values.begin();
    for (size_t at = 0;;) {
        size_t found = text.find(kPlaceholder, at);
        out.append(text.substr(at, found == std::u16string_view::npos ? found : found - at));
        if (found == std::u16string_view::npos)
            return out;
        if (next != values.end())
            out.append(*next++);
        at = found + kPlaceholder.size();
    }
}

LanguageId languageFromLocaleName(std::string_view locale)
{
    // "es", "es_ES.UTF-8", "es_AR@euro": the language is what stands before '_', '.' or '@'.
    std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
    return language == "es" ? kSpanish : kEnglish;
}

LanguageId languageFromLocale()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return languageFromLocaleName(value);
    }
    return kEnglish;
}

void setLanguage(LanguageId id, LanguageMenu* menu)
{
    // Only the eight languages are applied and stored; 0 is the transient "none" of the first
    // run (applied so that choosing the locale's own language still counts as a change, never
    // stored: an interrupted first run must not leave every text as "Bad String").
    if (id != kLanguageNone && (id < kEnglish || id > kSpanish))
        return;
    LanguageId previous = currentLanguage();
    if (id == previous) {
        if (menu)
            menu->setLanguageEntryEnabled(id, false);
        return;
    }
    if (menu) {
        menu->setLanguageEntryEnabled(previous, true);
        menu->setLanguageEntryEnabled(id, false);
    }
    setCurrentLanguage(id);
    if (menu)
        menu->languageChanged();
    if (id != kLanguageNone)
        settings::writeDword(product::kProductKey, u"\\Main", u"Lang", static_cast<uint32_t>(id));
}

} // namespace tonvane
