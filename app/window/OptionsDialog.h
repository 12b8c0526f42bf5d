#pragma once
#include "app/window/DialogWindow.h"
#include "app/window/WindowRunOptions.h"
#include "controls/button/CheckBox.h"
#include "controls/button/PushButton.h"
#include "controls/dropdown/DropDownBox.h"
#include "controls/entry/TextEntry.h"
#include "controls/label/Label.h"
#include "controls/progress/ProgressBar.h"
#include "core/foundation/Thread.h"
#include "session/AccurateRipLookup.h"
#include "session/OffsetDetect.h"
#include "session/RipPreferences.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

// View > Options: read mode, metadata sources, the four servers (CDDB, MusicBrainz, cover art,
// AccurateRip) typed in text entries, AccurateRip, cover art, a folder per album, ReplayGain,
// the update check, and the drive's read offset with Detect. Nothing is stored before OK: then
// the preferences (`storeRipPreferences`) and a detected offset for the drive's model. Cancel,
// Esc and the close button store nothing.
//
// A server entry shows what is in force: this run's command-line server, else the stored one;
// empty shows the built-in one in grey. OK stores an entry only when the person edited it, so a
// run's server is never stored by an OK that changed something else; an edited entry that is
// not a server address keeps the dialog open with the reason shown and nothing stored.
//
// Detect runs the offset search on a thread of the dialog that posts its progress and answer
// to the window's thread; closing the dialog stops the search and joins the thread first.
class OptionsDialog final : public DialogWindow {
public:
    static constexpr int32_t kOk = 0;
    static constexpr int32_t kCancel = 1;
    static constexpr int32_t kWidth = 500; // [pixels]
    static constexpr int32_t kHeight = 532; // [pixels]

    enum Server { kCddbServer, kMusicBrainzServer, kCoverArtServer, kAccurateRipServer, kServerCount };
    // Whether OK stores an entry's text (Edited) or keeps the stored value (Shown).
    enum class EntryState : uint8_t { Shown, Edited };
    // Why an edited server entry was refused.
    enum class ServerFault : uint8_t { None, NotHostPort, BadPort, NotUrl };

    struct Track {
        int32_t number = 0; // the disc's own number
        int32_t start = 0; // [LBA]
        int32_t length = 0; // [sectors]
    };
    struct Setup {
        std::string drive; // the shown disc's drive; empty: no disc, Detect disabled
        std::vector<Track> tracks; // its audio tracks (copied: the page may change its own)
        bool driveBusy = false; // a conversion reads the drive: Detect disabled
        std::string accurateRipServer; // what Detect asks; empty: the stored one, else the database
        std::string cacheFolder; // AccurateRip records; empty = none
        WindowRunOptions run; // this run's command line: its servers are shown, never stored unedited
    };

    // Detect's progress and answer.
    enum class DetectState : uint8_t { Idle, Asking, Reading, Found, NoAnswer };

    OptionsDialog(LayeredWindow& owner, Setup setup);
    ~OptionsDialog() override;

    int32_t result = kCancel;
    // What the controls say now (the stored preferences until something is changed).
    RipPreferences chosen() const;
    // The offset Detect found, stored for the drive's model on OK.
    std::optional<int32_t> detectedOffset() const { return m_detected; }
    DetectState detectState() const { return m_detectState; }
    bool detecting() const { return m_worker.joinable(); }
    const std::string& driveModelName() const { return m_model; }

    DropDownBox& readModeBox() { return m_readMode; }
    DropDownBox& metadataBox() { return m_metadata; }
    TextEntry& serverEntry(Server server) { return m_serverEntries[server]; }
    EntryState entryState(Server server) const { return m_entryStates[server]; }
    // The fault OK found last (None when every edited entry was an address), and its text.
    ServerFault serverFault() const { return m_fault; }
    Label& serverFaultLabel() { return m_faultText; }
    CheckBox& accurateRipBox() { return m_accurateRip; }
    CheckBox& coverArtBox() { return m_coverArt; }
    CheckBox& folderPerAlbumBox() { return m_folderPerAlbum; }
    CheckBox& replayGainBox() { return m_replayGain; }
    CheckBox& updateCheckBox() { return m_updateCheck; }
    PushButton& detectButton() { return m_detect; }
    PushButton& okButton() { return m_ok; }
    PushButton& cancelButton() { return m_cancel; }
    Label& offsetLabel() { return m_offsetValue; }
    Label& detectLabel() { return m_detectText; }
    ProgressBar& detectBar() { return m_detectBar; }

protected:
    void placeWidgets(int32_t width, int32_t height) override;
    // Esc is Cancel; Return is OK, or Cancel when that button has the focus.
    void dismiss() override { finish(kCancel); }
    void accept() override { finish(focusedWidget() == &m_cancel ? kCancel : kOk); }

private:
    struct Worker; // what the search thread reads and writes

    void finish(int32_t answer);
    // False, with the reason shown and the entry focused, when an edited entry is no address.
    bool serversValid();
    void store();
    void startDetect();
    void stopWorker();
    void showProgress(int32_t done, int32_t total);
    void showAnswer(const OffsetDetectResult& answer);
    void showOffset();
    void setDetectText(std::u16string text);

    Setup m_setup;
    ConversionJob m_disc; // the tracks the search reads; outlives the worker
    RipPreferences m_stored;
    // The worker's posts go to the main window, whose work the dialog's modal loop runs.
    WindowId m_postTarget;
    EntryState m_entryStates[kServerCount] = {EntryState::Shown, EntryState::Shown, EntryState::Shown,
                                              EntryState::Shown};
    ServerFault m_fault = ServerFault::None;
    std::string m_model; // the drive's model, once asked (on the worker)
    std::optional<int32_t> m_storedOffset;
    std::optional<int32_t> m_detected;
    DetectState m_detectState = DetectState::Idle;

    // In tab order: top to bottom, then OK and Cancel.
    Label m_readModeLabel{&panel()};
    DropDownBox m_readMode{&panel()};
    Label m_metadataLabel{&panel()};
    DropDownBox m_metadata{&panel()};
    Label m_serverLabels[kServerCount] = {Label(&panel()), Label(&panel()), Label(&panel()), Label(&panel())};
    TextEntry m_serverEntries[kServerCount] = {TextEntry(&panel()), TextEntry(&panel()), TextEntry(&panel()),
                                               TextEntry(&panel())};
    Label m_faultText{&panel()};
    CheckBox m_accurateRip{&panel()};
    CheckBox m_coverArt{&panel()};
    CheckBox m_folderPerAlbum{&panel()};
    CheckBox m_replayGain{&panel()};
    CheckBox m_updateCheck{&panel()};
    Label m_offsetLabel{&panel()};
    Label m_offsetValue{&panel()};
    PushButton m_detect{&panel()};
    Label m_detectText{&panel()};
    ProgressBar m_detectBar{&panel()};
    PushButton m_ok{&panel()};
    PushButton m_cancel{&panel()};

    std::shared_ptr<Worker> m_work;
    uint32_t m_generation = 0; // workers started; posts of earlier ones are dropped
    Thread m_worker; // joined before the dialog goes
    std::shared_ptr<OptionsDialog*> m_alive; // posts of the worker run only while it holds
};

} // namespace tonvane
