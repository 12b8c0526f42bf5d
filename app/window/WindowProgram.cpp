#include "app/window/WindowProgram.h"

#include "app/window/MainContent.h"
#include "cdrom/device/DevicePath.h"
#include "controls/label/Label.h"
#include "controls/theme/ControlTheme.h"
#include "core/ProductConfig.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "graphics/image/Image.h"
#include "graphics/text/FontList.h"
#include "net/update/ProgramLauncher.h"
#include "resources/skins/SkinResources.h"
#include "windowing/backend/WindowBackend.h"
#include "windowing/headless/HeadlessBackend.h"
#include "windowing/loop/UiThread.h"
#include "windowing/window/LayeredWindow.h"
#include "windowing/window/PositionStore.h"
#include "windowing/window/ShadowObject.h"

#include <algorithm>

namespace tonvane {

namespace {

constexpr int32_t kDefaultWidth = 650; // [pixels] content, centred when nothing is stored
constexpr int32_t kDefaultHeight = 450;
constexpr int32_t kShadowSize = 8; // [pixels]
constexpr int32_t kIconSizes[] = {256, 128, 48, 32, 16}; // largest first

struct ContentRect {
    int32_t left, bottom, right, top; // y-up screen pixels
};

// The stored rectangle when it lies on the work area, else 650 x 450 centred on it.
ContentRect initialRect(WindowBackend& backend)
{
    ScreenRect area = backend.workArea();
    auto read = [](const char16_t* name, int32_t& out) {
        uint32_t value = 0;
        if (!settings::readDword(product::kProductKey, settings::kMainKey, name, value))
            return false;
        out = static_cast<int32_t>(value);
        return true;
    };
    ContentRect stored{};
    if (read(u"x", stored.left) && read(u"y", stored.bottom) && read(u"x2", stored.right) && read(u"y2", stored.top)) {
        int32_t width = stored.right - stored.left, height = stored.top - stored.bottom;
        bool sane = width >= 200 && height >= 150 && width <= 16384 && height <= 16384;
        // On screen: the caption strip overlaps the work area (y up from its bottom).
        bool visible = stored.right > area.x + 40 && stored.left < area.right() - 40 && stored.top > 40
            && stored.top <= area.height + 40;
        if (sane && visible)
            return stored;
    }
    int32_t left = area.x + std::max(0, (area.width - kDefaultWidth) / 2);
    int32_t top = area.height - std::max(0, (area.height - kDefaultHeight) / 2);
    return {left, top - kDefaultHeight, left + kDefaultWidth, top};
}

std::vector<IconImage> windowIcons()
{
    std::vector<IconImage> icons;
    for (int32_t size : kIconSizes) {
        ImagePtr image = loadImageFromMemory(windowIconPng(size));
        if (!image)
            continue;
        IconImage icon;
        icon.width = image->width;
        icon.height = image->height;
        // Images are bottom-up; icons top-down.
        for (int32_t row = image->height - 1; row >= 0; --row)
            icon.pixels.insert(icon.pixels.end(), image->pixels + size_t(row) * image->width,
                               image->pixels + size_t(row + 1) * image->width);
        icons.push_back(std::move(icon));
    }
    return icons;
}

} // namespace

int runWindowProgram(const WindowProgramOptions& options)
{
    std::unique_ptr<WindowBackend> backend = createBackend(false);
    if (!backend || dynamic_cast<HeadlessBackend*>(backend.get()) != nullptr)
        return kNoDisplay;
    setTextResolution(backend->dotsPerInch());
    startTextEngine();
    int code = 0;
    {
        ControlTheme theme;
        setControlTheme(&theme);
        setAddressOpener([](const std::string& address) { openWebPage(WideString::fromUtf8(address).view()); });
        UiThread ui(*backend);
        ShadowObject shadow(kShadowSize);

        MainContent::Options contentOptions;
        for (const std::string& drive : options.drives)
            if (isEmulatedDrivePath(drive))
                contentOptions.drives.imageDrives.push_back(drive);
        contentOptions.server = options.server;
        contentOptions.run = options.run;
        contentOptions.outputFolder = options.outputFolder;
        if (!options.updateServer.empty())
            contentOptions.update.host = options.updateServer;
        MainContent content(contentOptions);

        LayeredWindow::Config config;
        config.shadow = &shadow;
        config.quitOnDestroy = true;
        LayeredWindow window(ui, content, config);
        window.addPositionListener(storeMainWindowPosition(std::u16string(product::kProductKey)));
        ContentRect rect = initialRect(*backend);
        if (window.create(rect.left, rect.bottom, rect.right, rect.top)) {
            window.setIcons(windowIcons());
            content.start(window);
            window.repaint();
            code = static_cast<int>(ui.runMainLoop(&window));
        }
        content.stopWorkers();
        setAddressOpener(nullptr);
        setControlTheme(nullptr);
    }
    stopTextEngine();
    return code;
}

} // namespace tonvane
