#include "windowing/window/PositionStore.h"

#include "core/settings/SettingsStore.h"

namespace tonvane {

std::function<void(int32_t, int32_t, int32_t, int32_t)> storeMainWindowPosition(std::u16string keyPath)
{
    return [keyPath = std::move(keyPath)](int32_t left, int32_t bottom, int32_t width, int32_t height) {
        settings::writeWindowRect(keyPath, left, bottom, width, height);
    };
}

} // namespace tonvane
