#include "app/window/OptionsDialog.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "core/ProductConfig.h"
#include "core/foundation/Utf.h"
#include "core/language/Language.h"
#include "net/http/HttpAddress.h"
#include "graphics/text/TextLayout.h"
#include "session/AccurateRipLookup.h"
#include "session/DriveModel.h"
#include "windowing/loop/UiThread.h"

#include <algorithm>
#include <utility>

namespace tonvane {

namespace {

constexpr uint32_t kShown = style::kVisible;
constexpr int32_t kMargin = 16; // [pixels] left and right
constexpr int32_t kTopMargin = 14; // [pixels] above the first row
constexpr int32_t kRowStep = 28; // [pixels] from one row's top to the next
constexpr int32_t kLabelWidth = 150; // [pixels] the labels' column
constexpr int32_t kColumnGap = 8; // [pixels] between a label and its control
constexpr int32_t kButtonWidth = 100; // [pixels]
constexpr int32_t kButtonHeight = 25; // [pixels]
constexpr int32_t kButtonBottom = 16; // [pixels]
constexpr int32_t kBarHeight = 12; // [pixels] the search's progress bar
constexpr int32_t kRowsShownAtOnce = 6; // rows of an open drop-down before it scrolls
constexpr uint32_t kFaultColour = 0xFFB00020; // ARGB of the refused entry's reason
constexpr char kBuiltInMusicBrainz[] = "https://musicbrainz.org";
constexpr char kBuiltInCoverArt[] = "https://coverartarchive.org";

const TextId kServerLabels[] = {kTextCddbServerLabel, kTextMusicBrainzServerLabel, kTextCoverArtServerLabel,
                                kTextAccurateRipServerLabel};

const TextId kReadModeRows[] = {kTextReadNormal, kTextReadSecure, kTextReadTestAndCopy};
const ReadMode kReadModes[] = {ReadMode::Single, ReadMode::Secure, ReadMode::TestAndCopy};
const TextId kMetadataRows[] = {kTextMetadataBoth, kTextMetadataCddb, kTextMetadataNone};

std::string defaultCddbServer()
{
    return utf16ToUtf8(product::kDefaultFreeDbServer) + ":" + std::to_string(product::kFreeDbPort);
}

// Spaces and tabs around what was typed do not count.
std::string trimmed(std::string_view text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

bool isUrlServer(OptionsDialog::Server server)
{
    return server == OptionsDialog::kMusicBrainzServer || server == OptionsDialog::kCoverArtServer;
}

// What an entry's trimmed text would be stored as: a URL without the trailing "/" (the clients
// add their own paths after it).
std::string storedForm(OptionsDialog::Server server, std::string text)
{
    if (isUrlServer(server))
        while (!text.empty() && text.back() == '/')
            text.pop_back();
    return text;
}

OptionsDialog::ServerFault faultOf(OptionsDialog::Server server, const std::string& text)
{
    using Fault = OptionsDialog::ServerFault;
    if (text.empty())
        return Fault::None; // the built-in server
    if (isUrlServer(server))
        return parseHttpUrl(text) ? Fault::None : Fault::NotUrl;
    if (isServerAuthority(text))
        return Fault::None;
    // A host followed by something after its ':' that is not a port 1-65535.
    size_t colon = text.find(':');
    bool portOnly = isRequestToken(text) && text.find('/') == std::string::npos && colon != std::string::npos
                    && colon > 0;
    return portOnly ? Fault::BadPort : Fault::NotHostPort;
}

// A label's text without its closing colon, to name the field in a sentence.
std::u16string fieldName(TextId label)
{
    std::u16string name(uiText(label).view());
    while (!name.empty() && (name.back() == u':' || name.back() == u'\uFF1A' || name.back() == u' '))
        name.pop_back();
    return name;
}

std::u16string signedSamples(int32_t offset)
{
    std::string number = (offset > 0 ? "+" : "") + std::to_string(offset);
    return fillPlaceholders(uiText(kTextOffsetSamples).view(), {utf8ToUtf16(number)});
}

std::u16string decimal(int32_t value)
{
    return utf8ToUtf16(std::to_string(value));
}

int32_t rowOf(ReadMode mode)
{
    for (int32_t row = 0; row < 3; ++row)
        if (kReadModes[row] == mode)
            return row;
    return 0;
}

void fillBox(DropDownBox& box, int32_t rows, std::function<std::u16string(int32_t)> text, int32_t chosen)
{
    box.setRowCount(rows);
    box.setRowText(std::move(text));
    box.setListHeight(std::min(rows, kRowsShownAtOnce) * metrics::kControlHeight);
    box.setChosen(chosen);
    box.create(0, 0, 200, metrics::kControlHeight, kShown);
}

} // namespace

// Shared by the dialog and its thread; the thread holds its own reference.
struct OptionsDialog::Worker {
    UiThread* ui = nullptr;
    WindowId window = kNoWindow;
    std::weak_ptr<OptionsDialog*> alive;
    std::string drive;
    OffsetDetectRequest request; // progress and stop filled in by the thread's routine
    const ConversionJob* disc = nullptr;
    bool detect = false; // false: only the drive's model is asked
    uint32_t generation = 0; // the dialog's count of started workers when this one started
    std::atomic<bool> stop{false};
    FetchCancel fetchCancel;

    // Runs work on the window's thread while the dialog lives and this is its newest worker
    // (a stopped one's posts may still be queued).
    void post(std::function<void(OptionsDialog&)> work)
    {
        std::weak_ptr<OptionsDialog*> token = alive;
        ui->post(window, [token, started = generation, work = std::move(work)] {
            if (auto self = token.lock(); self && (*self)->m_generation == started)
                work(**self);
        });
    }

    static void run(std::shared_ptr<Worker> work)
    {
        nameThisThread("offset");
        std::string model = driveModel(work->drive);
        work->post([model](OptionsDialog& dialog) {
            dialog.m_model = model;
            dialog.m_storedOffset = model.empty() ? std::nullopt : storedReadOffset(model);
            dialog.showOffset();
        });
        if (!work->detect || work->stop.load())
            return;
        OffsetDetectRequest request = work->request;
        request.stop = &work->stop;
        request.fetchCancel = &work->fetchCancel;
        Worker* self = work.get();
        request.progress = [self](int32_t done, int32_t total) {
            self->post([done, total](OptionsDialog& dialog) { dialog.showProgress(done, total); });
        };
        auto answer = std::make_shared<OffsetDetectResult>(detectReadOffset(*work->disc, request));
        work->post([answer](OptionsDialog& dialog) {
            dialog.m_worker.join(); // it has ended, or is about to: this was its last post
            dialog.showAnswer(*answer);
        });
    }
};

OptionsDialog::OptionsDialog(LayeredWindow& owner, Setup setup)
    : DialogWindow(owner, std::u16string(uiText(kTextOptions).view()), kHeight, kWidth), m_setup(std::move(setup)),
      m_stored(loadRipPreferences()), m_postTarget(owner.id()), m_alive(std::make_shared<OptionsDialog*>(this))
{
    m_disc.resetTracks(static_cast<int32_t>(m_setup.tracks.size()));
    for (const Track& track : m_setup.tracks) {
        TrackEntry& entry = m_disc.tracks[size_t(m_disc.count++)];
        entry.trackNumber = track.number;
        entry.start = track.start;
        entry.length = track.length;
    }

    auto label = [](Label& l, TextId text) {
        l.setCaption(Caption::text(text));
        l.setFlags(kTextVerticalCentre);
        l.create(0, 0, kLabelWidth, metrics::kControlHeight, kShown);
    };
    auto check = [](CheckBox& box, TextId text, bool ticked) {
        box.setCaption(Caption::text(text));
        box.setTicked(ticked);
        box.create(0, 0, 300, metrics::kControlHeight, kShown);
    };

    label(m_readModeLabel, kTextReadModeLabel);
    fillBox(m_readMode, 3, [](int32_t row) { return std::u16string(uiText(kReadModeRows[row]).view()); },
            rowOf(m_stored.readMode));
    label(m_metadataLabel, kTextMetadataLabel);
    fillBox(m_metadata, 3, [](int32_t row) { return std::u16string(uiText(kMetadataRows[row]).view()); },
            static_cast<int32_t>(m_stored.metadata));

    // Each server entry shows this run's server, else the stored one; the built-in one in grey
    // when neither is set (a stored CDDB server equal to the built-in one counts as none).
    const std::string builtIn[kServerCount] = {defaultCddbServer(), kBuiltInMusicBrainz, kBuiltInCoverArt,
                                               kAccurateRipHost};
    const std::string run[kServerCount] = {m_setup.run.cddbServer, m_setup.run.musicBrainzServer,
                                           m_setup.run.coverArtServer, m_setup.run.accurateRipServer};
    const std::string stored[kServerCount] = {m_stored.cddbServer == builtIn[kCddbServer] ? "" : m_stored.cddbServer,
                                              m_stored.musicBrainzServer, m_stored.coverArtServer,
                                              m_stored.accurateRipServer};
    for (int32_t i = 0; i < kServerCount; ++i) {
        label(m_serverLabels[i], kServerLabels[i]);
        TextEntry& entry = m_serverEntries[i];
        entry.setText(run[i].empty() ? stored[i] : run[i]);
        entry.setPlaceholder(utf8ToUtf16(builtIn[i]));
        TextEntry::Routines routines;
        routines.onAccept = [this] { accept(); };
        routines.onCancel = [this] { dismiss(); };
        routines.onChange = [this, i] { m_entryStates[i] = EntryState::Edited; };
        entry.setRoutines(std::move(routines));
        entry.create(0, 0, 200, metrics::kControlHeight, kShown);
    }
    m_faultText.setFlags(kTextVerticalCentre);
    m_faultText.setColour(kFaultColour);
    m_faultText.create(0, 0, 100, metrics::kControlHeight, kShown);

    check(m_accurateRip, kTextAccurateRipOption, m_stored.accurateRip);
    check(m_coverArt, kTextCoverArtOption, m_stored.coverArt);
    check(m_folderPerAlbum, kTextFolderPerAlbumOption, m_stored.folderPerAlbum);
    check(m_replayGain, kTextReplayGainOption, m_stored.replayGain);
    check(m_updateCheck, kTextUpdateCheckOption, m_stored.updateCheck);

    label(m_offsetLabel, kTextReadOffsetLabel);
    m_offsetValue.setFlags(kTextVerticalCentre);
    m_offsetValue.create(0, 0, 100, metrics::kControlHeight, kShown);
    m_detect.setCaption(Caption::text(kTextDetect));
    m_detect.setOnClick([this] { startDetect(); });
    bool canDetect = !m_setup.drive.empty() && m_disc.count > 0 && !m_setup.driveBusy;
    m_detect.create(0, 0, kButtonWidth, kButtonHeight, kShown | (canDetect ? 0 : style::kDisabled));
    m_detectText.setFlags(kTextVerticalCentre);
    m_detectText.create(0, 0, 100, metrics::kControlHeight, kShown);
    m_detectBar.create(0, 0, 100, kBarHeight, 0); // shown while the search reads

    m_ok.setCaption(Caption::text(kTextOk));
    m_ok.setOnClick([this] { finish(kOk); });
    m_ok.create(0, 0, kButtonWidth, kButtonHeight, kShown);
    m_cancel.setCaption(Caption::text(kTextCancel));
    m_cancel.setOnClick([this] { finish(kCancel); });
    m_cancel.create(0, 0, kButtonWidth, kButtonHeight, kShown);

    showOffset();
    // The drive's model (an INQUIRY) is asked away from the window's thread.
    if (!m_setup.drive.empty() && m_setup.driveBusy == false) {
        m_work = std::make_shared<Worker>();
        m_work->ui = &owner.ui();
        m_work->window = m_postTarget;
        m_work->alive = m_alive;
        m_work->drive = m_setup.drive;
        if (startThreadWithCopy(m_worker, &Worker::run, m_work) != kSuccess)
            m_work.reset();
    }
}

OptionsDialog::~OptionsDialog()
{
    stopWorker();
    m_alive.reset();
}

RipPreferences OptionsDialog::chosen() const
{
    RipPreferences preferences = m_stored;
    int32_t mode = m_readMode.chosen();
    preferences.readMode = mode >= 0 && mode < 3 ? kReadModes[mode] : ReadMode::Single;
    int32_t metadata = m_metadata.chosen();
    preferences.metadata = metadata >= 0 && metadata < 3 ? static_cast<MetadataSources>(metadata)
                                                         : MetadataSources::MusicBrainzAndCddb;
    // Only an edited entry replaces the stored server: one shown from this run's command line
    // stays this run's.
    std::string* servers[kServerCount] = {&preferences.cddbServer, &preferences.musicBrainzServer,
                                          &preferences.coverArtServer, &preferences.accurateRipServer};
    for (int32_t i = 0; i < kServerCount; ++i)
        if (m_entryStates[i] == EntryState::Edited)
            *servers[i] = storedForm(Server(i), trimmed(m_serverEntries[i].text()));
    // An emptied CDDB server is written as the built-in one: an empty "Server" value would be read
    // as a server named "" by the lookups, and a missing one is written back as the built-in one.
    if (preferences.cddbServer.empty() && !m_stored.cddbServer.empty())
        preferences.cddbServer = defaultCddbServer();
    preferences.accurateRip = m_accurateRip.ticked();
    preferences.coverArt = m_coverArt.ticked();
    preferences.folderPerAlbum = m_folderPerAlbum.ticked();
    preferences.replayGain = m_replayGain.ticked();
    preferences.updateCheck = m_updateCheck.ticked();
    return preferences;
}

bool OptionsDialog::serversValid()
{
    static constexpr TextId kReasons[] = {kTextServerNotHostPort, kTextServerNotHostPort, kTextServerBadPort,
                                          kTextServerNotUrl};
    m_fault = ServerFault::None;
    for (int32_t i = 0; i < kServerCount && m_fault == ServerFault::None; ++i) {
        if (m_entryStates[i] != EntryState::Edited)
            continue;
        m_fault = faultOf(Server(i), trimmed(m_serverEntries[i].text()));
        if (m_fault == ServerFault::None)
            continue;
        m_faultText.setCaption(
            Caption::of(fillPlaceholders(uiText(kReasons[size_t(m_fault)]).view(), {fieldName(kServerLabels[i])})));
        m_faultText.requestRepaint();
        m_serverEntries[i].takeFocus();
        m_serverEntries[i].selectAll();
        return false;
    }
    m_faultText.setCaption(Caption::of(u""));
    m_faultText.requestRepaint();
    return true;
}

void OptionsDialog::finish(int32_t answer)
{
    if (answer == kOk && !serversValid())
        return; // the dialog stays open with the reason shown; nothing is stored
    stopWorker();
    result = answer;
    if (answer == kOk)
        store();
    close();
}

void OptionsDialog::store()
{
    storeRipPreferences(chosen());
    if (m_detected && !m_model.empty())
        storeReadOffset(m_model, *m_detected);
}

void OptionsDialog::startDetect()
{
    if (m_setup.drive.empty() || m_disc.count == 0 || m_setup.driveBusy)
        return;
    stopWorker(); // the model's question, if it still runs
    m_detected.reset();
    m_work = std::make_shared<Worker>();
    m_work->generation = ++m_generation;
    m_work->ui = &dialogWindow().ui();
    m_work->window = m_postTarget;
    m_work->alive = m_alive;
    m_work->drive = m_setup.drive;
    m_work->detect = true;
    m_work->disc = &m_disc;
    m_work->request.drive = m_setup.drive;
    m_work->request.accurateRipServer = m_setup.accurateRipServer;
    // An AccurateRip server typed here is the one asked, once it is an address.
    if (m_entryStates[kAccurateRipServer] == EntryState::Edited) {
        std::string typed = trimmed(m_serverEntries[kAccurateRipServer].text());
        if (faultOf(kAccurateRipServer, typed) == ServerFault::None)
            m_work->request.accurateRipServer = typed;
    }
    m_work->request.cacheFolder = m_setup.cacheFolder;
    m_detectState = DetectState::Asking;
    setDetectText(std::u16string(uiText(kTextOffsetAsking).view()));
    m_detectBar.setRange(uint64_t(m_disc.count));
    m_detectBar.setValue(0);
    m_detectBar.setStyle(0, style::kVisible);
    m_detect.setEnabled(false);
    if (startThreadWithCopy(m_worker, &Worker::run, m_work) != kSuccess) {
        m_work.reset();
        OffsetDetectResult failed;
        failed.state = OffsetDetectState::NoToc;
        showAnswer(failed);
    }
}

// Stops the search (its request cut short, no read after the current one) and joins it.
void OptionsDialog::stopWorker()
{
    if (m_work) {
        m_work->stop.store(true);
        m_work->fetchCancel.cancel();
    }
    m_worker.join();
    m_work.reset();
    if (m_detectState == DetectState::Asking || m_detectState == DetectState::Reading) {
        m_detectState = DetectState::Idle;
        m_detectBar.setStyle(style::kVisible, 0);
    }
}

void OptionsDialog::showProgress(int32_t done, int32_t total)
{
    if (m_detectState != DetectState::Asking && m_detectState != DetectState::Reading)
        return;
    m_detectState = DetectState::Reading;
    int32_t reading = std::min(done + 1, total);
    setDetectText(fillPlaceholders(uiText(kTextOffsetReading).view(), {decimal(reading), decimal(total)}));
    m_detectBar.setRange(uint64_t(std::max(total, 1)));
    m_detectBar.setValue(uint64_t(std::max(done, 0)));
}

void OptionsDialog::showAnswer(const OffsetDetectResult& answer)
{
    m_work.reset();
    m_detectBar.setStyle(style::kVisible, 0);
    m_detect.setEnabled(true);
    if (answer.state == OffsetDetectState::Found && answer.answer.offset) {
        m_detected = *answer.answer.offset;
        m_detectState = DetectState::Found;
        std::u16string samples = utf8ToUtf16((*m_detected > 0 ? "+" : "") + std::to_string(*m_detected));
        setDetectText(fillPlaceholders(uiText(kTextOffsetFound).view(), {samples, decimal(answer.answer.agreeing)}));
        showOffset();
        return;
    }
    TextId reason = kTextOffsetNoDisc;
    if (answer.state == OffsetDetectState::NoRecord)
        reason = answer.record.state == AccurateRipRecord::State::NotChecked ? kTextOffsetNoServer : kTextOffsetUnknownDisc;
    else if (answer.state == OffsetDetectState::NoEvidence)
        reason = kTextOffsetNoMatch;
    m_detectState = DetectState::NoAnswer;
    setDetectText(fillPlaceholders(uiText(kTextOffsetNoAnswer).view(), {std::u16string(uiText(reason).view())}));
}

// The offset OK would leave for the drive: the one found, else the stored one, else none (0).
void OptionsDialog::showOffset()
{
    int32_t offset = m_detected.value_or(m_storedOffset.value_or(0));
    m_offsetValue.setCaption(Caption::of(signedSamples(offset)));
    m_offsetValue.requestRepaint();
}

void OptionsDialog::setDetectText(std::u16string text)
{
    m_detectText.setCaption(Caption::of(std::move(text)));
    m_detectText.requestRepaint();
}

// Rows from the top: two labelled drop-downs, the four server entries and the line of a refused
// entry's reason, five check boxes, the offset with Detect, the search's text and bar; OK and
// Cancel at the foot.
void OptionsDialog::placeWidgets(int32_t w, int32_t h)
{
    int32_t controlLeft = kMargin + kLabelWidth + kColumnGap;
    int32_t controlWidth = std::max(0, w - controlLeft - kMargin);
    int32_t fullWidth = std::max(0, w - 2 * kMargin);
    auto rowBottom = [h](int32_t row) { return h - kTopMargin - row * kRowStep - metrics::kControlHeight; };
    auto labelled = [&](Label& label, Widget& control, int32_t row) {
        label.setRect(kMargin, rowBottom(row), kLabelWidth, metrics::kControlHeight);
        control.setRect(controlLeft, rowBottom(row), controlWidth, metrics::kControlHeight);
    };
    labelled(m_readModeLabel, m_readMode, 0);
    labelled(m_metadataLabel, m_metadata, 1);
    int32_t row = 2;
    for (int32_t i = 0; i < kServerCount; ++i)
        labelled(m_serverLabels[i], m_serverEntries[i], row++);
    m_faultText.setRect(kMargin, rowBottom(row++), fullWidth, metrics::kControlHeight);
    for (CheckBox* box : {&m_accurateRip, &m_coverArt, &m_folderPerAlbum, &m_replayGain, &m_updateCheck})
        box->setRect(kMargin, rowBottom(row++), fullWidth, metrics::kControlHeight);
    int32_t offsetBottom = rowBottom(row++);
    m_offsetLabel.setRect(kMargin, offsetBottom, kLabelWidth, metrics::kControlHeight);
    m_offsetValue.setRect(controlLeft, offsetBottom, std::max(0, controlWidth - kButtonWidth - kColumnGap),
                          metrics::kControlHeight);
    m_detect.setRect(w - kMargin - kButtonWidth, offsetBottom - (kButtonHeight - metrics::kControlHeight) / 2,
                     kButtonWidth, kButtonHeight);
    int32_t textBottom = rowBottom(row);
    m_detectText.setRect(kMargin, textBottom, fullWidth, metrics::kControlHeight);
    m_detectBar.setRect(kMargin, textBottom - kBarHeight - 2, fullWidth, kBarHeight);
    m_ok.setRect(w / 2 - kButtonWidth - 16, kButtonBottom, kButtonWidth, kButtonHeight);
    m_cancel.setRect(w / 2 + 16, kButtonBottom, kButtonWidth, kButtonHeight);
}

} // namespace tonvane
