#pragma once
#include "app/window/DiscPage.h"
#include "app/window/DriveWorker.h"
#include "app/window/FolderDialog.h"
#include "app/window/InsertDiscPage.h"
#include "app/window/LanguagePage.h"
#include "app/window/MenuBar.h"
#include "app/window/StatusBar.h"
#include "app/window/TutorialsBalloon.h"
#include "app/window/WindowUpdateUi.h"
#include "cdrom/drives/DriveEnumerator.h"
#include "cdrom/drives/DriveOpenProblem.h"
#include "cdrom/drives/MediaWatcher.h"
#include "controls/widget/WidgetWindow.h"
#include "core/language/Language.h"
#include "graphics/image/Image.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

// The main window's widget tree and its controller: the menu bar at the top, the two-pane status
// bar at the bottom, and one of the three pages between them (the language chooser on the first
// run, the insert-disc page, the disc page). It scans the drives, follows media arrival and
// removal, and dispatches the commands of the menus and buttons.
class MainContent final : public WidgetWindow, private LanguageMenu {
public:
    struct Options {
        DriveSources drives;
        std::string server; // CDDB server; empty: the stored one
        WindowRunOptions run; // this run's servers (run.cddbServer empty: server above)
        std::string outputFolder; // empty: the music folder
        bool watchMedia = true;
        bool tutorialsBalloon = true;
        // The update check: its server, delays, key and launcher (tests point it at a local
        // server or a refused port).
        UpdateCheckerOptions update;
        // Asks for the output folder (tests answer it); empty: the desktop's chooser or ours.
        std::function<std::optional<std::string>(const std::string& start)> chooseFolder;
        // Opens a rip's folder and log; empty: xdg-open (tests give a script that records).
        std::string openProgram;
    };

    explicit MainContent(Options options);
    ~MainContent() override;

    // The start-up of the content, once the window exists: pages, language, drive scan.
    void start(LayeredWindow& window);
    void onCommand(int32_t command);
    void onMediaArrived(const std::string& path);
    void onMediaRemoved(const std::string& path);
    // The drive scan, on the drive worker; its disc is shown when it has been read.
    void scanDrives();
    // A scan or an arrival's check and load is under way on the drive worker.
    bool driveWorkPending() const { return m_driveJobs > 0; }
    // An outside folder chooser (zenity, kdialog) is open; Convert waits for its answer.
    bool choosingFolder() const { return m_chooser != nullptr; }

    enum class Page { Language, InsertDisc, Disc };
    Page page() const;
    MenuBar& menuBar() { return m_menu; }
    StatusBar& statusBar() { return m_status; }
    LanguagePage& languagePage() { return *m_languagePage; }
    InsertDiscPage& insertDiscPage() { return *m_insertPage; }
    DiscPage& discPage() { return *m_discPage; }
    TutorialsBalloon& balloon() { return *m_balloon; }
    // The update check's window side (null before start).
    WindowUpdateUi* updateUi() { return m_updateUi.get(); }
    // The open Options dialog (for tests), else null.
    class OptionsDialog* optionsDialog() { return m_optionsDialog; }
    // This run's command-line servers still in force (Options replaces those typed over).
    const WindowRunOptions& runOptions() const { return m_options.run; }
    UpdateChecker* updater() { return m_updater.get(); }

    // The frame's style: caption, sizing borders, close, maximise and minimise buttons.
    static constexpr uint32_t kFrameStyle = 0x90670;
    uint32_t frameStyle() const;

    int32_t hitTest(int32_t x, int32_t y) override;
    // The menu bar sees keys first (Alt and its keyboard navigation); F10 opens the first menu;
    // the rest goes to the focused widget.
    void keyDown(uint32_t key) override;
    void keyUp(uint32_t key) override;
    void mouse(MouseAction action, int32_t x, int32_t y) override;
    bool moveFocus(bool backwards, bool fromEnd) override;
    void focusLost() override;
    void visibilityChanged(bool onScreen) override;
    void layout(int32_t width, int32_t height) override;
    void paint(Surface& surface) override;
    void stopWork() override;
    void stopWorkers() override;

private:
    void chooseLanguage(LanguageId id);
    void showDriveProblems(const std::vector<DriveOpenProblem>& unopenable);
    void convert();
    // View > Options; a detected offset and the preferences are stored on OK.
    void showOptions();
    void convertInto(const std::optional<std::string>& chosen);
    struct LoadedDisc;
    // Reads a disc on the drive worker: the drive at path once it holds an audio disc (waiting
    // for it to spin up), or without a path the first drive of the scan.
    void startDriveWork(const std::optional<std::string>& path);
    void driveWorkDone(uint32_t generation, LoadedDisc& disc);
    void showLoadedDisc(const std::string& path, ConversionJob& loaded, DiscLoadResult result);
    // Runs work on the window's thread while this content lives (any thread may call it).
    using Poster = std::function<void(std::function<void(MainContent&)>)>;
    Poster poster();
    void showPage(Page page);
    void enableCommand(int32_t command, bool enabled);
    // LanguageMenu
    void setLanguageEntryEnabled(LanguageId id, bool enabled) override;
    void languageChanged() override;

    Options m_options;
    MenuBar m_menu{&root()};
    StatusBar m_status{&root()};
    Widget m_pages{&root()};
    std::unique_ptr<LanguagePage> m_languagePage;
    std::unique_ptr<InsertDiscPage> m_insertPage;
    std::unique_ptr<DiscPage> m_discPage;
    std::unique_ptr<TutorialsBalloon> m_balloon;
    MediaWatcher m_watcher;
    std::unique_ptr<WindowUpdateUi> m_updateUi;
    std::unique_ptr<UpdateChecker> m_updater; // uses m_updateUi: declared after it
    std::u16string m_driveProblem; // the status text naming a drive that cannot be opened
    ImagePtr m_logo;
    std::string m_arrivalDuringConversion; // loaded once the conversion ends
    DriveWorker m_driveWorker;
    uint32_t m_mediaGeneration = 0; // a disc change drops drive work started before it
    int32_t m_driveJobs = 0;
    bool m_firstDiscPending = false; // a load stored the missing "Auto": the disc shown next skips the lookup
    bool m_workersStopped = false;
    std::string m_loadingPath; // the drive the newest drive work reads ("" for a scan)
    std::vector<std::string> m_discDrives; // the drives known to hold an audio disc
    void setDiscDrives(std::vector<std::string> drives);
    std::unique_ptr<DesktopChooser> m_chooser;
    class OptionsDialog* m_optionsDialog = nullptr;
    std::shared_ptr<MainContent*> m_alive;
};

} // namespace tonvane
