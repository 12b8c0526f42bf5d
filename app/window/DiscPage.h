#pragma once
#include "app/window/ConversionFollower.h"
#include "app/window/CoverView.h"
#include "app/window/DriveBox.h"
#include "app/window/ExistingFilesDialog.h"
#include "app/window/FileOpener.h"
#include "app/window/MatchBox.h"
#include "app/window/PageLink.h"
#include "app/window/StatusBar.h"
#include "app/window/TitleEditor.h"
#include "app/window/WindowRunOptions.h"
#include "app/window/WorkerThreads.h"
#include "session/MatchList.h"
#include "session/RipSession.h"
#include "controls/button/PushButton.h"
#include "controls/dropdown/DropDownBox.h"
#include "controls/label/Label.h"
#include "controls/label/TextTip.h"
#include "controls/list/ItemList.h"
#include "controls/widget/Widget.h"
#include "core/disc/ConversionJob.h"
#include "core/disc/ConversionProgress.h"
#include "cdrom/rip/DiscLoader.h"
#include "net/cddb/DiscToc.h"
#include "graphics/image/ImageStrip.h"
#include "graphics/text/FontList.h"
#include "windowing/animation/BusySpinner.h"
#include "windowing/message/Message.h"

#include <functional>
#include <atomic>
#include <mutex>
#include <memory>
#include <string>
#include <vector>

namespace tonvane {

class AlbumDetailsDialog;
class TypedTitlesDialog;
class UiThread;

// The page of a loaded disc: Convert and Consult FreeDB, the album chooser of the MusicBrainz and
// CDDB matches, the chosen match's cover, the drive chooser when several drives hold a disc, and
// the track list with one 64-pixel row per audio track (logo, progress, check box, title, play
// time, encoder link). It owns the conversion job and runs the lookups and conversions; their
// threads reach it through the window's thread.
class DiscPage : public Widget, private ConversionView, private SpinnerTarget {
public:
    static constexpr int32_t kRowHeight = 64; // [pixels]

    struct Host {
        UiThread* ui = nullptr;
        WindowId window = kNoWindow;
        StatusBar* status = nullptr;
        std::function<void(int32_t command)> onCommand; // the two buttons
        std::function<void(int32_t command, bool enabled)> enableCommand; // menu items 3 and 4
        std::function<std::string()> outputFolder; // UTF-8, without the final '/'
        std::function<void()> conversionFinished; // on the window's thread
        std::string server; // CDDB server; empty: the stored one
        WindowRunOptions run; // this run's servers and AccurateRip choice, over the stored preferences
        // The sources and servers of a lookup; empty: the stored preferences with server above.
        std::function<LookupOptions()> lookupOptions;
        // The person chose another drive in the drive box: its disc is to be loaded.
        std::function<void(const std::string& drive)> chooseDrive;
        // Opens the rip's folder and log ("Open folder", "Show log"); empty: xdg-open.
        std::string openProgram;
    };

    DiscPage(Widget* parent, Host host);
    ~DiscPage() override;

    // Builds the disc from the drive (audio tracks only); false when it holds none. A drive that
    // cannot be opened or read leaves the disc shown before as it was (its tracks and drive).
    bool loadFrom(const std::string& drivePath);
    // The same with the disc read elsewhere (loadDisc into `loaded`): the page takes its tracks.
    bool adoptDisc(const std::string& drivePath, ConversionJob& loaded, DiscLoadResult result);
    const std::string& drivePath() const { return m_drivePath; }
    ConversionJob& job() { return m_job; }
    // This run's servers from now on (Options replaced some); the next lookup and conversion use them.
    void setRunOptions(const WindowRunOptions& run)
    {
        m_host.run = run;
        m_host.server = run.cddbServer;
    }
    // From the start until the log and CUE sheet are written.
    bool converting() const { return m_job.running.load() != 0 || (m_session && m_session->running()); }
    bool lookingUp() const { return m_lookupRunning; }
    // Each lookup has a generation; the list of an earlier one (the disc gone, a newer lookup
    // begun) is dropped. Runs on the window's thread.
    void lookupFinished(uint32_t generation, std::shared_ptr<const MatchList> list);
    // A step of the lookup's CDDB half (its client's event code), told in the status bar.
    void lookupStep(uint32_t generation, int code);
    uint32_t lookupGeneration() const { return m_lookupGeneration.load(); }
    // The lookup's sources and servers: the host's, else the stored preferences.
    LookupOptions lookupOptions() const;
    bool spinnerRunning() const { return m_spinner.running(); }

    // Command 4: a lookup in the sources the options name. Command 3: a conversion into the
    // host's folder.
    void startLookup();
    bool startConversion();
    // A conversion into folder (UTF-8, without the final '/') through a rip session: checked
    // against AccurateRip, read with the drive model's stored offset, the log and the CUE sheet
    // written beside the files. When files of its names are there, the person is asked once
    // whether to replace them, keep both (" (2)" before the extension) or cancel.
    bool startConversionIn(const std::string& folder);
    // The question about existing files while it is open (for tests), else null.
    ExistingFilesDialog* existingFilesDialog() { return m_existingDialog; }
    // The close stop: a running conversion is cancelled and waited for; a lookup ended.
    void closeStop();
    // Stop (the Convert button while converting, Esc): the session's orderly stop, not waited
    // for; the rows it ends read "Stopped" and the log says so. False when nothing runs.
    bool stopConversion();
    bool stopping() const { return m_stopping; }
    // Each row's state in the running or last conversion, and its end.
    const ConversionFollower& follower() const { return m_follower; }
    // What the rip and encoder threads report to.
    ConversionView& conversionView() { return *this; }
    // Shown after a conversion's end: its folder and its log, opened with the host's program.
    PageLink& openFolderLink() { return m_openFolder; }
    PageLink& showLogLink() { return m_showLog; }
    // The row whose failure reason the tip and the status bar's left pane show (-1: none).
    int32_t reasonShown() const { return m_reasonShown; }

    // Match r into the titles, album artist, year, disc number and ids (also when the user picks
    // it in the album box); a MusicBrainz match's front cover follows when it has been fetched.
    void applyMatch(int32_t r);
    int32_t matchCount() const { return m_matches.count(); }
    DropDownBox& albumBox() { return m_album; }
    const MatchBox& matches() const { return m_matches; }
    CoverView& coverView() { return m_cover; }
    // A cover fetch is under way for the chosen match.
    bool fetchingCover() const { return m_coverFetches > 0; }
    // The drives that hold a disc (the drive box shows when there are two or more).
    void setDiscDrives(std::vector<std::string> drives);
    DriveBox& driveBox() { return m_drives; }
    ItemList& trackList() { return m_list; }
    PushButton& convertButton() { return m_convert; }
    PushButton& lookupButton() { return m_lookup; }
    int32_t hoveredRow() const { return m_hoveredRow; }
    // The row whose cut title the tip and the status bar's left pane show in full (-1: none).
    int32_t titleShown() const { return m_titleShown; }
    const TextTip& titleTip() const { return m_titleTip; }
    // Typed titles: the entry over a row's title (double click, F2), the album dialog (the link
    // beside the album box) and the question before a match replaces typed texts.
    TitleEditor& titleEditor() { return m_titleEditor; }
    bool editTitle(int32_t row);
    Label& albumLink() { return m_albumLink; }
    void openAlbumDetails();
    AlbumDetailsDialog* albumDialog() { return m_albumDialog; }
    TypedTitlesDialog* typedQuestion() { return m_typedQuestion; }
    // The row F2 opens (the last one clicked).
    int32_t focusRow() const { return m_focusRow; }

    void layout() override;

private:
    void drawRow(Surface& surface, int32_t index, const IntRect& r);
    void rowClick(int32_t index, uint32_t keys, int32_t x, int32_t y);
    void rowHover(int32_t index, uint32_t keys, int32_t x, int32_t y);
    void rowDoubleClick(int32_t index);
    bool listKey(uint32_t key);
    // Where row's title may be typed, in the page's coordinates.
    bool titleRoom(int32_t row, IntRect& where) const;
    // Before a match goes over typed texts: asks once. False: keep them.
    bool mayReplaceTyped();
    // Shows row index's whole title in a tip below its line and in the status bar's left pane,
    // or with -1 hides the tip and gives the pane back the text it had (unless something else
    // has written it since).
    void showFullTitle(int32_t index);
    // The same for the reason a row failed, while the pointer rests on its state.
    void showReason(int32_t index);
    // The marks and words of a row's state, right-aligned on the line below its play time.
    void drawState(Surface& s, int32_t index, const IntRect& r, double baseline);
    // The end of a conversion as the follower heard it: the summary and the two links.
    void showConversionEnd();
    void hideConversionEnd();
    void setControlsEnabled(bool enabled);
    void lookupEnded();
    // Fetches match r's cover on a worker thread unless it is known; the answer is applied if
    // r is still the chosen match of the same lookup.
    void fetchCover(int32_t r);
    void showCover(int32_t r);
    // Sets the tracks' name suffixes and the job's choice for files that exist; false: cancel.
    bool settleExistingFiles(ExistingFiles& choice);
    // Runs on the window's thread, whatever thread asks; false when it cannot be posted.
    bool onWindowThread(std::function<void()> work);

    // ConversionView (rip and encoder threads)
    void redrawTrackList() override;
    void showElapsedTime(const WideString& text) override;
    void scrollToTrack(int32_t index) override;
    void conversionEnded() override;
    // SpinnerTarget (the spinner's thread)
    void setFrame(int frame) override;
    void repaint() override;
    void clearText() override;

    Host m_host;
    PushButton m_convert{this};
    PushButton m_lookup{this};
    Label m_albumLabel{this};
    DropDownBox m_album{this};
    DriveBox m_drives{this};
    CoverView m_cover{this};
    ItemList m_list{this};
    TextTip m_titleTip{this}; // after the list: drawn over it
    Label m_albumLink{this};
    ImageStrip m_menuIcons;
    ImageStrip m_logos;
    std::atomic<uint32_t> m_closeStops{0}; // posts of a conversion from before the last stop are dropped
    std::atomic<bool> m_listRepaintQueued{false};
    // The newest elapsed time of a conversion; one post at most shows it.
    struct ElapsedPost {
        std::mutex lock;
        std::u16string text;
        bool queued = false;
    } m_elapsed;
    ImageStrip m_globe;
    FontRef m_bold;
    FontRef m_normal;

    ConversionJob m_job;
    ConversionProgress m_progress{m_job, *this};
    // The session's events, on the window's thread: each row's state and the end.
    ConversionFollower m_follower{[this](int32_t row) { row < 0 ? m_list.requestRepaint() : m_list.redrawItem(row); }};
    TitleEditor m_titleEditor; // its entry after the list and the tip: drawn over them
    AlbumDetailsDialog* m_albumDialog = nullptr;
    TypedTitlesDialog* m_typedQuestion = nullptr;
    int32_t m_focusRow = 0;
    // The last press on a row (row coordinates): a double click opens the title it was on.
    struct RowPress {
        int32_t row = -1, x = 0, y = 0;
    } m_lastPress;
    std::unique_ptr<RipSession> m_session;
    bool m_stopping = false;
    FileOpener m_opener;
    PageLink m_openFolder{this};
    PageLink m_showLog{this};
    std::string m_endFolder, m_endLog; // what the links open (UTF-8)
    ExistingFilesDialog* m_existingDialog = nullptr;
    std::string m_drivePath;
    MatchBox m_matches{m_album};
    LookupOptions m_matchOptions; // those the listed matches were found with
    // Set when the lookup (and its cover fetches) is no longer wanted: a newer lookup, a disc
    // change, the window closing. Their threads then end within about a second.
    std::shared_ptr<std::atomic<bool>> m_lookupCancel;
    void cancelLookup();
    // The front cover of each listed match, as far as fetched.
    struct CoverState {
        enum class Stage : uint8_t { Unknown, Fetching, Known } stage = Stage::Unknown;
        std::shared_ptr<const CoverPicture> picture; // null: the match has none
        std::shared_ptr<const Image> shown;
    };
    std::vector<CoverState> m_covers;
    int32_t m_coverFetches = 0;
    std::atomic<uint32_t> m_lookupGeneration{0};
    // Spinner runs: the linger's clearing of an earlier run's text is dropped once a new one began.
    std::atomic<uint32_t> m_spinnerRuns{0};
    uint32_t m_discChanges = 0; // close stops and loads: a dialog's answer for a gone disc is dropped
    BusySpinner m_spinner;
    bool m_lookupRunning = false;
    int32_t m_hoveredRow = -1;
    // Where each row's title was drawn, relative to the row, and whether it was cut to fit.
    struct TitleZone {
        int32_t left = 0, right = 0, bottom = 0, top = 0;
        bool cut = false;
        int32_t roomRight = 0; // where the title's room ends
    };
    std::vector<TitleZone> m_titleZones;
    int32_t m_titleShown = -1;
    std::u16string m_shownTitle;
    StatusBar::Message m_paneBefore;
    // Where each row's state word was drawn, relative to the row.
    std::vector<TitleZone> m_stateZones;
    int32_t m_reasonShown = -1;
    std::u16string m_shownReason;
    StatusBar::Message m_paneBeforeReason;
    std::shared_ptr<DiscPage*> m_alive;
    WorkerThreads m_workers; // last: joined before anything else of the page goes
};

} // namespace tonvane
