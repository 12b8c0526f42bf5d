#include "core/ProductConfig.h"
#include "core/foundation/WideString.h"
#include "core/language/Language.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "core/startup/ProcessEntry.h"

#include <cstdint>
#include <cstdio>

using namespace tonvane;

int main()
{
    processStartup();

    // The stored language wins over the locale once the user has chosen one.
    uint32_t stored;
    if (settings::readDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, stored) &&
        languageSlot(static_cast<LanguageId>(stored)))
        setCurrentLanguage(static_cast<LanguageId>(stored));

    WideString name(uiText(languageNameText(currentLanguage())).view());
    std::printf("Tonvane %s\nInterface language: %s\n", product::kVersion, name.toUtf8().c_str());

    processShutdown();
    return 0;
}
