#include "app/window/MainContent.h"

#include "session/MusicFolder.h"
#include "app/window/DriveProblemText.h"
#include "session/RipPreferences.h"
#include "app/window/AboutBox.h"
#include "app/window/EncoderPropertiesDialog.h"
#include "app/window/FolderDialog.h"
#include "app/window/OptionsDialog.h"

#include "cdrom/device/DevicePath.h"
#include "cdrom/drives/DiscCheck.h"
#include "session/DiscLookup.h"
#include "controls/label/Label.h"
#include "controls/theme/ControlTheme.h"
#include "core/foundation/Utf.h"
#include "controls/theme/StyleBits.h"
#include "core/ProductConfig.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "graphics/surface/Surface.h"
#include "resources/skins/SkinResources.h"
#include "windowing/backend/WindowBackend.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/window/LayeredWindow.h"

#include <algorithm>
#include <sys/stat.h>

#include <utility>

namespace tonvane {

namespace {

constexpr uint32_t kHidden = 10;
constexpr uint32_t kShown = 14;
constexpr int32_t kCommandConvert = 3;
constexpr int32_t kCommandLookup = 4;
constexpr int32_t kCommandExit = 5;
constexpr int32_t kInitialPageSide = 200; // [pixels] until the first layout
constexpr uint32_t kContentBackground = 0xF0F4F6F8;

// An image drive holds its disc while its CUE sheet exists (so a sheet that appears is an
// arrival and one that is deleted a removal); other drives are asked as usual.
DriveMediaStatus probeWithImages(const std::string& path)
{
    if (isImageDrivePath(path)) {
        struct stat info{};
        std::string sheet(path.substr(kImageDrivePrefix.size()));
        return ::stat(sheet.c_str(), &info) == 0 ? DriveMediaStatus::DiscPresent : DriveMediaStatus::NoDisc;
    }
    return probeDriveMedia(path);
}

} // namespace

MainContent::MainContent(Options options)
    : m_options(std::move(options)), m_logo(loadImageFromMemory(productLogoPng())),
      m_alive(std::make_shared<MainContent*>(this))
{
}

uint32_t MainContent::frameStyle() const
{
    bool maximised = window() != nullptr && (window()->state() & LayeredWindow::kMaximised) != 0;
    return kFrameStyle | (maximised ? style::kMaximised : 0);
}

// The frame answers where no widget does: caption, caption buttons, sizing borders.
int32_t MainContent::hitTest(int32_t x, int32_t y)
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr || window() == nullptr)
        return 0;
    return theme->frameHitTest(toContentX(x), toContentY(y), window()->width(), window()->height(), frameStyle());
}

MainContent::~MainContent()
{
    stopWorkers();
}

void MainContent::start(LayeredWindow& window)
{
    attach(window);
    m_menu.setCommandRoutine([this](int32_t command) { onCommand(command); });
    m_menu.create(0, 0, 0, 0, kShown);
    m_status.create(0, 0, 0, StatusBar::kHeight, kShown);
    m_pages.create(0, 0, 0, 0, kShown);

    // The pages; the first run (no stored language) starts on the language chooser.
    uint32_t stored = 0;
    // An id outside the eight languages counts as absent.
    bool firstRun = !settings::readDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, stored)
        || stored < uint32_t(kEnglish) || stored > uint32_t(kSpanish);
    m_languagePage = std::make_unique<LanguagePage>(&m_pages, [this](LanguageId id) { chooseLanguage(id); });
    m_languagePage->create(0, 0, kInitialPageSide, kInitialPageSide, firstRun ? kShown : kHidden);
    m_insertPage = std::make_unique<InsertDiscPage>(&m_pages);
    m_insertPage->create(0, 0, kInitialPageSide, kInitialPageSide, firstRun ? kHidden : kShown);
    DiscPage::Host host;
    host.ui = &window.ui();
    host.window = window.id();
    host.status = &m_status;
    host.onCommand = [this](int32_t command) { onCommand(command); };
    host.enableCommand = [this](int32_t command, bool enabled) { enableCommand(command, enabled); };
    host.conversionFinished = [this] {
        std::string path = std::exchange(m_arrivalDuringConversion, std::string());
        if (!path.empty())
            startDriveWork(path);
    };
    if (m_options.run.cddbServer.empty())
        m_options.run.cddbServer = m_options.server;
    host.server = m_options.server;
    host.run = m_options.run;
    // The stored choices, with this run's servers on top (read each time: Options may change them).
    host.lookupOptions = [this] { return lookupOptionsOf(runPreferences(m_options.run)); };
    host.chooseDrive = [this](const std::string& drive) {
        if (!m_discPage->converting())
            startDriveWork(drive);
    };
    host.openProgram = m_options.openProgram;
    if (!m_options.outputFolder.empty()) {
        std::string folder = m_options.outputFolder;
        host.outputFolder = [folder] { return folder; };
    }
    m_discPage = std::make_unique<DiscPage>(&m_pages, host);
    m_discPage->create(0, 0, kInitialPageSide, kInitialPageSide, kHidden);
    if (!firstRun)
        setLanguage(static_cast<LanguageId>(stored), this);
    m_balloon = std::make_unique<TutorialsBalloon>(&m_pages);
    m_balloon->create(0, 0, TutorialsBalloon::kWidth, TutorialsBalloon::kHeight, kHidden);

    layout(window.width(), window.height());
    if (m_options.tutorialsBalloon)
        m_balloon->start(window.ui(), window.id());
    // After an update: its installer removed, the product page opened; then the delayed check.
    m_updateUi = std::make_unique<WindowUpdateUi>(window, m_status);
    UpdateCheckerOptions update = m_options.update;
    update.delayedCheck = update.delayedCheck && loadRipPreferences().updateCheck;
    m_updater = std::make_unique<UpdateChecker>(*m_updateUi, update);
    m_updater->startUp();
    if (!firstRun)
        scanDrives();
    if (m_options.watchMedia) {
        MediaWatcher::Options watch;
        watch.drives = listDrives(m_options.drives);
        watch.probe = probeWithImages;
        UiThread* ui = &window.ui();
        WindowId id = window.id();
        std::weak_ptr<MainContent*> alive = m_alive;
        m_watcher.start(watch, [ui, id, alive](const MediaEvent& event) {
            ui->post(id, [alive, event] {
                if (auto self = alive.lock()) {
                    if (event.kind == MediaEventKind::Arrival)
                        (*self)->onMediaArrived(event.devicePath);
                    else
                        (*self)->onMediaRemoved(event.devicePath);
                }
            });
        });
    }
}

MainContent::Page MainContent::page() const
{
    if (m_languagePage && (m_languagePage->style() & style::kVisible))
        return Page::Language;
    if (m_discPage && (m_discPage->style() & style::kVisible))
        return Page::Disc;
    return Page::InsertDisc;
}

void MainContent::showPage(Page page)
{
    m_languagePage->setStyle(style::kVisible, page == Page::Language ? style::kVisible : 0);
    m_insertPage->setStyle(style::kVisible, page == Page::InsertDisc ? style::kVisible : 0);
    m_discPage->setStyle(style::kVisible, page == Page::Disc ? style::kVisible : 0);
    if (page == Page::InsertDisc && window() != nullptr)
        m_insertPage->startAnimation(window()->ui(), window()->id());
    else
        m_insertPage->stopAnimation();
}

void MainContent::chooseLanguage(LanguageId id)
{
    setLanguage(kLanguageNone, this);
    setLanguage(id, this);
    showPage(Page::InsertDisc);
    scanDrives();
}

void MainContent::scanDrives()
{
    showPage(Page::InsertDisc);
    startDriveWork(std::nullopt);
}

struct MainContent::LoadedDisc {
    std::string path; // empty: no audio disc
    ConversionJob job;
    DiscLoadResult result;
    std::vector<DriveOpenProblem> unopenable; // of a scan
    std::optional<std::vector<std::string>> audioDrives; // of a scan: every drive holding a disc
};

MainContent::Poster MainContent::poster()
{
    UiThread* ui = window() != nullptr ? &window()->ui() : nullptr;
    WindowId id = window() != nullptr ? window()->id() : kNoWindow;
    std::weak_ptr<MainContent*> alive = m_alive;
    return [ui, id, alive](std::function<void(MainContent&)> work) {
        if (ui == nullptr)
            return;
        ui->post(id, [alive, work = std::move(work)] {
            if (auto self = alive.lock())
                work(**self);
        });
    };
}

void MainContent::startDriveWork(const std::optional<std::string>& path)
{
    uint32_t generation = ++m_mediaGeneration;
    m_loadingPath = path.value_or(std::string());
    Poster post = poster();
    DriveSources sources = m_options.drives;
    DriveWorker* worker = &m_driveWorker;
    ++m_driveJobs;
    bool queued = m_driveWorker.run([path, generation, post, sources, worker] {
        auto disc = std::make_shared<LoadedDisc>();
        if (path) {
            DiscCheckTiming timing;
            timing.sleep = [worker](uint32_t ms) { worker->sleep(ms); };
            if (hasAudioDisc(*path, true, timing)) {
                disc->path = *path;
                disc->result = tonvane::loadDisc(disc->job, *path);
            }
        } else {
            DriveScan scan = scanForAudioDiscs(sources);
            disc->unopenable = std::move(scan.unopenable);
            disc->audioDrives = std::move(scan.audioDrives);
            if (scan.audioDrive) {
                disc->path = *scan.audioDrive;
                disc->result = tonvane::loadDisc(disc->job, disc->path);
            }
        }
        post([generation, disc](MainContent& self) { self.driveWorkDone(generation, *disc); });
    });
    if (!queued)
        --m_driveJobs;
}

// On the window's thread: a removal, a newer arrival or scan since the work began drops it.
void MainContent::driveWorkDone(uint32_t generation, LoadedDisc& disc)
{
    --m_driveJobs;
    // The load that stores the missing "Auto" does no lookup (a fresh install's first disc). A
    // scan and an arrival can both load that disc; when the storing one is dropped, the one
    // that replaces it keeps its rule instead of finding "Auto" set.
    if (disc.result.autoStored)
        m_firstDiscPending = true;
    if (m_workersStopped || generation != m_mediaGeneration || page() == Page::Language)
        return;
    std::vector<std::string> drives = disc.audioDrives.value_or(m_discDrives);
    if (!disc.path.empty() && std::find(drives.begin(), drives.end(), disc.path) == drives.end())
        drives.push_back(disc.path);
    setDiscDrives(std::move(drives));
    if (disc.path.empty()) {
        if (page() == Page::InsertDisc)
            showDriveProblems(disc.unopenable);
        return;
    }
    // A conversion started meanwhile (of the disc shown) keeps its track array to its end.
    if (m_discPage->converting()) {
        m_arrivalDuringConversion = disc.path;
        return;
    }
    if (m_firstDiscPending && disc.result.loaded) {
        disc.result.lookupWanted = false;
        m_firstDiscPending = false;
    }
    showLoadedDisc(disc.path, disc.job, disc.result);
}

// A drive that cannot be opened must not look like an empty one: the first is named with the
// reason in the status bar while the insert-disc page shows.
void MainContent::showDriveProblems(const std::vector<DriveOpenProblem>& unopenable)
{
    if (unopenable.empty())
        return;
    m_driveProblem = driveProblemText(unopenable.front());
    m_status.setStatusText(0, m_driveProblem);
}

void MainContent::showLoadedDisc(const std::string& path, ConversionJob& loaded, DiscLoadResult result)
{
    if (!m_driveProblem.empty() && m_status.paneText(0) == m_driveProblem)
        m_status.setStatusText(0, {});
    m_driveProblem.clear();
    m_status.setStatusText(1, {}); // the elapsed time of another disc's conversion
    m_insertPage->stopAnimation();
    bool discShown = page() == Page::Disc;
    if (!m_discPage->adoptDisc(path, loaded, result)) {
        // A drive that could not be read leaves the disc shown before in place, drive and all.
        bool kept = discShown && m_discPage->job().count > 0 && m_discPage->drivePath() != path;
        showPage(kept ? Page::Disc : Page::InsertDisc);
        if (kept) {
            enableCommand(kCommandConvert, true);
            enableCommand(kCommandLookup, true);
        }
        return;
    }
    showPage(Page::Disc);
    enableCommand(kCommandConvert, true);
    if (!m_discPage->lookingUp())
        enableCommand(kCommandLookup, true);
}

// Command 3: the folder (the stored "Path", else --out, else the music folder, offered in the
// chooser); the choice is stored as "Path" with a trailing '/' and the conversion starts in it.
void MainContent::convert()
{
    WideString stored;
    std::string start = m_options.outputFolder;
    if (settings::readString(product::kProductKey, settings::kEncodersKey, settings::kValuePath, stored) && !stored.empty())
        start = stored.toUtf8();
    if (start.empty())
        start = musicFolder();
    if (m_options.chooseFolder) {
        convertInto(m_options.chooseFolder(start));
        return;
    }
    if (m_chooser)
        return; // the desktop's chooser is already open
    // The desktop's chooser runs beside the window, which keeps painting and shows that it
    // waits (the wait cursor, Convert disabled) until the answer is posted back.
    std::vector<std::string> command = DesktopChooser::command(start);
    auto chooser = std::make_unique<DesktopChooser>();
    Poster post = poster();
    bool started = !command.empty() && chooser->start(command, [post](std::optional<std::string> folder) {
        post([folder](MainContent& self) {
            self.m_chooser.reset();
            if (self.window() != nullptr)
                self.window()->setCursor(int(CursorKind::Arrow));
            self.m_discPage->convertButton().setEnabled(true);
            self.enableCommand(kCommandConvert, true);
            self.convertInto(folder);
        });
    });
    if (!started) {
        convertInto(chooseOwnFolder(*window(), start));
        return;
    }
    m_chooser = std::move(chooser);
    window()->setCursor(int(CursorKind::Wait));
    m_discPage->convertButton().setEnabled(false);
    enableCommand(kCommandConvert, false);
}

void MainContent::showOptions()
{
    if (window() == nullptr || m_optionsDialog != nullptr)
        return;
    OptionsDialog::Setup setup;
    if (page() == Page::Disc) {
        const ConversionJob& job = m_discPage->job();
        setup.drive = m_discPage->drivePath();
        for (int32_t i = 0; i < job.count; ++i) {
            const TrackEntry& entry = job.tracks[size_t(i)];
            setup.tracks.push_back({entry.trackNumber, entry.start, entry.length});
        }
        setup.driveBusy = m_discPage->converting();
    }
    setup.accurateRipServer = runPreferences(m_options.run).accurateRipServer;
    setup.cacheFolder = updateCacheDirectory();
    setup.run = m_options.run;
    OptionsDialog dialog(*window(), std::move(setup));
    m_optionsDialog = &dialog;
    dialog.run();
    m_optionsDialog = nullptr;
    if (dialog.result != OptionsDialog::kOk)
        return;
    // A server the person typed over this run's command-line one is the one in force from now.
    std::string* run[OptionsDialog::kServerCount] = {&m_options.run.cddbServer, &m_options.run.musicBrainzServer,
                                                     &m_options.run.coverArtServer, &m_options.run.accurateRipServer};
    for (int32_t i = 0; i < OptionsDialog::kServerCount; ++i)
        if (dialog.entryState(OptionsDialog::Server(i)) == OptionsDialog::EntryState::Edited)
            run[i]->clear();
    m_options.server = m_options.run.cddbServer;
    if (m_discPage)
        m_discPage->setRunOptions(m_options.run);
}

void MainContent::convertInto(const std::optional<std::string>& chosen)
{
    // Cancelled, or the disc went or a conversion began while the chooser was open.
    if (!chosen || page() != Page::Disc || m_discPage->converting())
        return;
    std::string folder = *chosen;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    settings::writeString(product::kProductKey, settings::kEncodersKey, settings::kValuePath,
                          WideString::fromUtf8(folder + "/").view());
    m_discPage->startConversionIn(folder);
}

void MainContent::onMediaArrived(const std::string& path)
{
    if (page() == Page::Language)
        return; // no drive is touched before a language is chosen
    // The rip and encoder threads use the track array: a new disc waits for the conversion.
    if (m_discPage->converting()) {
        m_arrivalDuringConversion = path;
        return;
    }
    // The drive scan can find a disc before the watcher's next look: its arrival then names the
    // disc already shown (a changed disc is always seen as a removal first).
    if (page() == Page::Disc && path == m_discPage->drivePath())
        return;
    startDriveWork(path);
}

void MainContent::onMediaRemoved(const std::string& path)
{
    if (path == m_arrivalDuringConversion)
        m_arrivalDuringConversion.clear();
    if (path == m_loadingPath && m_driveJobs > 0)
        ++m_mediaGeneration; // the disc being read went: its tracks are not shown
    std::vector<std::string> drives = m_discDrives;
    std::erase(drives, path);
    setDiscDrives(std::move(drives));
    if (page() != Page::Disc || path != m_discPage->drivePath())
        return;
    m_discPage->closeStop(); // a conversion of the vanished disc is cancelled first
    m_status.setStatusText(1, {});
    m_status.clear(0, StatusOwner::Conversion); // its summary went with it
    showPage(Page::InsertDisc);
    enableCommand(kCommandConvert, false);
    enableCommand(kCommandLookup, false);
    // Another drive still holds a disc: it is shown instead.
    if (!m_discDrives.empty())
        startDriveWork(m_discDrives.front());
}

void MainContent::setDiscDrives(std::vector<std::string> drives)
{
    m_discDrives = std::move(drives);
    m_discPage->setDiscDrives(m_discDrives);
}

void MainContent::enableCommand(int32_t command, bool enabled)
{
    // Convert and Consult FreeDB belong to a shown disc: the end of a conversion that a removal
    // cancelled, or of a lookup, arrives after the page went and must not offer them.
    if (enabled && (command == kCommandConvert || command == kCommandLookup) && page() != Page::Disc)
        return;
    setItemEnabled(m_menu.tree(), command, enabled);
}

void MainContent::onCommand(int32_t command)
{
    switch (command) {
    case kCommandConvert: // the page's button reads Stop while a conversion runs
        if (page() != Page::Disc)
            return;
        if (m_discPage->converting())
            m_discPage->stopConversion();
        else
            convert();
        return;
    case kCommandLookup:
        if (page() == Page::Disc)
            m_discPage->startLookup();
        return;
    case kTextWeb: // the product's web page, in Spanish for a Spanish interface
        openAddress(utf16ToUtf8(currentLanguage() == kSpanish ? product::kWebPageSpanish : product::kWebPage));
        return;
    case kTextHelpPage: // the manual for a Spanish interface, else the product page
        openAddress(utf16ToUtf8(currentLanguage() == kSpanish ? uiText(kTextTutorialsAddress).view()
                                                                : std::u16string_view(product::kWebPage)));
        return;
    case kTextCheckUpdates: // on this thread; a check already running makes it do nothing
        if (m_updater)
            m_updater->check();
        return;
    case kTextOptions:
        showOptions();
        return;
    case kTextAbout:
        if (window() != nullptr) {
            AboutBox about(*window());
            about.run();
        }
        return;
    case kCommandExit:
        if (window() != nullptr)
            window()->ui().postMessage(Message{window()->id(), msg::WM_CLOSE});
        return;
    default:
        if (command >= kTextSpanishName && command <= kTextJapaneseName) {
            static const LanguageId kByRow[] = {kSpanish, kEnglish, kRussian, kGerman,
                                                kFrench,  kPortuguese, kItalian, kJapanese};
            setLanguage(kByRow[command - kTextSpanishName], this);
        }
        return;
    }
}

void MainContent::setLanguageEntryEnabled(LanguageId id, bool enabled)
{
    if (id >= kEnglish && id <= kSpanish)
        setItemEnabled(m_menu.tree(), languageNameText(id), enabled);
}

// The captions change width: the menu bar is laid out again.
void MainContent::languageChanged()
{
    m_menu.layout();
    root().requestRepaint();
}

void MainContent::keyDown(uint32_t key)
{
    constexpr uint32_t kF10 = vk::VK_F1 + 9;
    if (m_menu.windowKeyDown(key))
        return;
    if (key == kF10) {
        m_menu.openMenu(0, true);
        return;
    }
    // Esc stops a running conversion, as the Stop button does.
    if (key == vk::VK_ESCAPE && page() == Page::Disc && m_discPage->converting()) {
        m_discPage->stopConversion();
        return;
    }
    WidgetWindow::keyDown(key);
}

void MainContent::keyUp(uint32_t key)
{
    if (!m_menu.windowKeyUp(key))
        WidgetWindow::keyUp(key);
}

void MainContent::mouse(MouseAction action, int32_t x, int32_t y)
{
    if (action != MouseAction::Move)
        m_menu.cancelAlt();
    WidgetWindow::mouse(action, x, y);
}

// The keyboard went elsewhere (a window manager's Alt shortcut grabs it): a later release of Alt
// alone is not ours, and the titles are no longer the keys' target.
void MainContent::focusLost()
{
    m_menu.cancelAlt();
    m_menu.leaveKeyboardNavigation();
}

void MainContent::visibilityChanged(bool onScreen)
{
    m_insertPage->setOnScreen(onScreen);
}

// Tab moves the focus: the keys belong to the widgets again.
bool MainContent::moveFocus(bool backwards, bool fromEnd)
{
    m_menu.cancelAlt();
    m_menu.leaveKeyboardNavigation();
    return WidgetWindow::moveFocus(backwards, fromEnd);
}

// Inside the frame: the menu bar at the top, the status bar at the bottom, the pages between.
void MainContent::layout(int32_t width, int32_t height)
{
    WidgetWindow::layout(width, height);
    ControlTheme* theme = controlTheme();
    IntRect inner = theme != nullptr ? theme->contentRect(width, height, frameStyle()) : IntRect{0, 0, width, height};
    int32_t innerWidth = std::max(0, inner.x1 - inner.x0);
    int32_t menuHeight = m_menu.barHeight();
    m_menu.setRect(inner.x0, inner.y1 - menuHeight, innerWidth, menuHeight);
    m_status.setRect(inner.x0, inner.y0, innerWidth, StatusBar::kHeight);
    int32_t top = inner.y1 - menuHeight - metrics::kMenuGap;
    int32_t bottom = inner.y0 + StatusBar::kHeight;
    int32_t pageHeight = std::max(0, top - bottom);
    m_pages.setRect(inner.x0, bottom, innerWidth, pageHeight);
    for (Widget* page : {static_cast<Widget*>(m_languagePage.get()), static_cast<Widget*>(m_insertPage.get()),
                         static_cast<Widget*>(m_discPage.get())})
        if (page != nullptr)
            page->setRect(0, 0, innerWidth, pageHeight);
    if (window() != nullptr)
        m_status.setMaximised((window()->state() & LayeredWindow::kMaximised) != 0);
}

void MainContent::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    LayeredWindow* w = window();
    if (theme != nullptr && w != nullptr) {
        uint32_t hot = static_cast<uint32_t>(w->hotButton());
        static const std::u16string title = u"Tonvane " + utf8ToUtf16(product::kVersion);
        theme->drawFrame(surface, w->width(), w->height(), frameStyle(), true, hot, m_logo.get(), title.c_str());
        IntRect inner = theme->contentRect(w->width(), w->height(), frameStyle());
        surface.fillRectangle(inner.x0, inner.y0, inner.x1, inner.y1, kContentBackground);
    }
    WidgetWindow::paint(surface);
}

void MainContent::stopWork()
{
    if (m_discPage)
        m_discPage->closeStop();
}

void MainContent::stopWorkers()
{
    // The dialog and a waiting dialog request first: the check's thread may be waiting on them.
    if (m_updateUi)
        m_updateUi->shutDown();
    if (m_updater)
        m_updater->stop();
    m_watcher.stop();
    m_chooser.reset(); // ends an outside chooser and joins its reader
    m_driveWorker.stop();
    m_workersStopped = true; // a disc read before the stop and posted is not shown any more
    if (m_insertPage)
        m_insertPage->stopAnimation();
    if (m_balloon)
        m_balloon->stop();
    if (m_discPage)
        m_discPage->closeStop();
    WidgetWindow::stopWorkers();
}

} // namespace tonvane
