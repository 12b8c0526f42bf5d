#pragma once
#include "app/window/ExistingFilesDialog.h"
#include "app/window/StatusBar.h"
#include "app/window/TitleEditor.h"
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
#include "net/cddb/CddbClient.h"
#include "windowing/animation/BusySpinner.h"
#include "windowing/message/Message.h"

#include <functional>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace tonvane {

class AlbumDetailsDialog;
class TypedTitlesDialog;
class UiThread;

// The page of a loaded disc: Convert and Consult FreeDB, the album chooser of FreeDB matches and
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
        // Reads a drive's TOC away from the window's thread and hands it to done on that thread;
        // empty: read here.
        std::function<void(const std::string& drive, std::function<void(std::optional<DiscToc>)> done)> readToc;
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
    // From the start until the log and CUE sheet are written.
    bool converting() const { return m_job.running.load() != 0 || (m_session && m_session->running()); }
    bool lookingUp() const { return m_lookupRunning; }
    // Each lookup has a generation; an event of an earlier one (a client closed since, the disc
    // gone) is dropped. Called on the connection's event thread (or any).
    void lookupEvent(uint32_t generation, int code);
    uint32_t lookupGeneration() const { return m_lookupGeneration.load(); }
    bool spinnerRunning() const { return m_spinner.running(); }

    // Command 4: a FreeDB lookup. Command 3: a conversion into the host's folder.
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

    // Match r into the titles (also when the user picks it in the album box).
    void applyMatch(int32_t r);
    int32_t matchCount() const { return static_cast<int32_t>(m_matchTitles.size()); }
    DropDownBox& albumBox() { return m_album; }
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
    void setControlsEnabled(bool enabled);
    void beginLookup(const std::optional<DiscToc>& toc, uint32_t generation);
    void onLookupEvent(int kind);
    // Sets the tracks' name suffixes and the job's choice for files that exist; false: cancel.
    bool settleExistingFiles(ExistingFiles& choice);
    // Runs on the window's thread, whatever thread asks.
    void onWindowThread(std::function<void()> work);

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
    ItemList m_list{this};
    TextTip m_titleTip{this}; // after the list: drawn over it
    Label m_albumLink{this};
    ImageStrip m_menuIcons;
    ImageStrip m_logos;
    std::atomic<uint32_t> m_closeStops{0}; // posts of a conversion from before the last stop are dropped
    ImageStrip m_globe;
    FontRef m_bold;
    FontRef m_normal;

    ConversionJob m_job;
    ConversionProgress m_progress{m_job, *this};
    TitleEditor m_titleEditor; // its entry after the list and the tip: drawn over them
    AlbumDetailsDialog* m_albumDialog = nullptr;
    TypedTitlesDialog* m_typedQuestion = nullptr;
    int32_t m_focusRow = 0;
    // The last press on a row (row coordinates): a double click opens the title it was on.
    struct RowPress {
        int32_t row = -1, x = 0, y = 0;
    } m_lastPress;
    // The window draws the conversion as before from the job and its progress sink; what the
    // session tells besides is not shown yet.
    SessionObserver m_sessionObserver;
    std::unique_ptr<RipSession> m_session;
    ExistingFilesDialog* m_existingDialog = nullptr;
    std::string m_drivePath;
    std::vector<std::u16string> m_matchTitles;
    // One lookup's events, tagged with its generation; outlives its client.
    struct LookupRelay final : CddbObserver {
        LookupRelay(DiscPage& page, uint32_t generation) : page(page), generation(generation) {}
        void onCddbEvent(int code) override { page.lookupEvent(generation, code); }
        DiscPage& page;
        uint32_t generation;
    };
    std::unique_ptr<LookupRelay> m_relay;
    std::unique_ptr<CddbClient> m_cddb; // uses m_relay: declared after it
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
    std::u16string m_paneBefore;
    std::shared_ptr<DiscPage*> m_alive;
};

} // namespace tonvane
