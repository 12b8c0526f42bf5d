#include "app/window/DiscPage.h"

#include "session/DiscLookup.h"
#include "session/MusicFolder.h"
#include "session/RipPreferences.h"
#include "app/window/EncoderPropertiesDialog.h"
#include "cdrom/accuraterip/AccurateRipDiscId.h"
#include "app/window/AlbumDetailsDialog.h"
#include "app/window/TypedTitlesDialog.h"
#include "core/disc/TypedFields.h"
#include "cdrom/rip/DiscLoader.h"
#include "cdrom/rip/RipThread.h"
#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "controls/widget/WidgetWindow.h"
#include "core/ProductConfig.h"
#include "core/disc/EncoderFormat.h"
#include "core/disc/EncoderSettings.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "net/update/UpdateDownload.h"
#include "encoders/framework/QualityTable.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/TextFit.h"
#include "graphics/text/TextLayout.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/window/LayeredWindow.h"

#include <algorithm>
#include <charconv>
#include <span>
#include <cmath>
#include <utility>

namespace tonvane {

namespace {

constexpr uint32_t kMenuIcons = 256; // resource ids
constexpr uint32_t kEncoderLogos = 131;
constexpr uint32_t kBusyGlobe = 132;
constexpr int32_t kConvertIcon = 1;
constexpr int32_t kGlobeIcon = 12;
constexpr int32_t kCommandConvert = 3;
constexpr int32_t kCommandLookup = 4;
constexpr uint32_t kPageButtonStyle = 0x2000E;
constexpr uint32_t kShown = 14;
constexpr uint32_t kHidden = 10; // kShown without the visible bit
constexpr int32_t kAlbumListHeight = 192; // [pixels]
constexpr uint32_t kSeparator = 0xFFC0C0C0;
constexpr int kCursorArrow = 1;
constexpr int kCursorHand = 3;
const char16_t* const kFormatLabels[kFormatCount] = {u"MP3:", u"OGG Vorbis:", u"Flac:", u"Wav:", u"Opus:"};

// Row zones, relative to the row's bottom-left corner.
constexpr IntRect kCheckZone{72, 30, 88, 46};
constexpr int32_t kTitleRightRoom = 250; // [pixels] from the title's end to the row's right edge
constexpr int32_t kStateMarkSide = 10; // [pixels] the mark before a row's state word
constexpr int32_t kStateMarkGap = 4; // [pixels] between the mark and the word
constexpr int32_t kLinkGap = 16; // [pixels] between a page link and the Convert/Consult buttons
constexpr IntRect kLogoZone{8, 8, 56, 56};

// The CDDB id of the audio tracks shown ("Unknown disc <id>" folders), from the loaded track
// list: the window's thread does not ask the drive for its table of contents again.
std::string audioDiscId(const ConversionJob& job)
{
    std::vector<DiscIdTrack> tracks;
    uint32_t leadOut = 0;
    for (int32_t i = 0; i < job.count; ++i) {
        const TrackEntry& entry = job.tracks[size_t(i)];
        tracks.push_back({uint32_t(entry.start), true});
        leadOut = uint32_t(entry.start + entry.length);
    }
    char text[9];
    std::snprintf(text, sizeof text, "%08x", tracks.empty() ? 0u : cddbDiscIdOf(tracks, leadOut));
    return text;
}

bool inZone(const IntRect& zone, int32_t x, int32_t y)
{
    return x >= zone.x0 && x < zone.x1 && y >= zone.y0 && y < zone.y1;
}

// "mm:ss" of a track: sector count x 2352 / 176400 seconds, truncated.
std::u16string playTime(const TrackEntry& entry)
{
    uint64_t seconds = entry.byteSize() / kPcmBytesPerSecond;
    auto two = [](uint64_t v) {
        std::u16string t;
        if (v < 10)
            t.push_back(u'0');
        for (char c : std::to_string(v))
            t.push_back(char16_t(c));
        return t;
    };
    return two(seconds / 60) + u":" + two(seconds % 60);
}

// Draws one line of text with its base line at y, from x; answers its width.
double drawLine(Surface& s, Font* font, std::u16string_view text, double x, double baseline, double right,
                uint32_t flags = 0)
{
    if (font == nullptr || text.empty())
        return 0;
    s.font = font;
    drawText(s, text.data(), int32_t(text.size()), flags, x, baseline - font->descender, right,
             baseline + font->ascender);
    return measureLine(*font, text.data(), uint32_t(text.size()), 1e6).width;
}

// A mark kStateMarkSide pixels square with its lower-left corner at (x, y), whole pixels: a
// tick, a dash or a cross drawn in 2-pixel squares, so that it needs no glyph and its colour
// is exact on the screen.
void drawMark(Surface& s, RowMark mark, double x, double y, uint32_t colour)
{
    constexpr int32_t kDot = 2; // [pixels] the stroke
    constexpr int32_t d = kStateMarkSide;
    auto dot = [&](int32_t dx, int32_t dy) { s.fillRectangle(x + dx, y + dy, x + dx + kDot, y + dy + kDot, colour); };
    switch (mark) {
    case RowMark::Tick: // down from the left, then up to the top right
        for (int32_t t = 0; t <= 3; ++t)
            dot(t, 4 - t);
        for (int32_t t = 1; t <= d - 5; ++t)
            dot(3 + t, 1 + t);
        break;
    case RowMark::Dash:
        s.fillRectangle(x + 1, y + d / 2 - 1, x + d - 1, y + d / 2 + 1, colour);
        break;
    case RowMark::Cross:
        for (int32_t t = 0; t + kDot <= d; ++t) {
            dot(t, t);
            dot(t, d - kDot - t);
        }
        break;
    case RowMark::None:
        break;
    }
}

} // namespace

DiscPage::DiscPage(Widget* parent, Host host)
    : Widget(parent), m_host(std::move(host)), m_bold(getFont(u"Tahoma", 8, true, false)),
      m_normal(getFont(u"Tahoma", 8, false, false)),
      m_titleEditor(*this, m_job,
                    TitleEditor::Host{[this](int32_t row, IntRect& where) { return titleRoom(row, where); },
                                      [this](int32_t row) { m_list.scrollToLine(row); },
                                      [this](int32_t row) { m_list.redrawItem(row); },
                                      [this] { m_list.takeFocus(); }}),
      m_opener(m_host.openProgram.empty() ? std::string("xdg-open") : m_host.openProgram),
      m_alive(std::make_shared<DiscPage*>(this))
{
    m_menuIcons.load(kMenuIcons);
    m_logos.load(kEncoderLogos);
    m_globe.load(kBusyGlobe);

    m_convert.setCaption(Caption::text(kTextConvert));
    m_convert.setIcon(&m_menuIcons, kConvertIcon);
    m_convert.setOnClick([this] { m_host.onCommand(kCommandConvert); });
    m_convert.create(0, 0, 144, 24, kPageButtonStyle);
    m_lookup.setCaption(Caption::text(kTextConsultFreeDb));
    m_lookup.setIcon(&m_menuIcons, kGlobeIcon);
    m_lookup.setOnClick([this] { m_host.onCommand(kCommandLookup); });
    m_lookup.create(0, 0, 144, 24, kPageButtonStyle);
    m_openFolder.setCaption(Caption::text(kTextOpenFolder));
    m_openFolder.setOnClick([this] { m_opener.open(m_endFolder); });
    m_openFolder.create(0, 0, 100, 24, kHidden);
    m_showLog.setCaption(Caption::text(kTextShowLog));
    m_showLog.setAlignment(kTextRight);
    m_showLog.setOnClick([this] { m_opener.open(m_endLog); });
    m_showLog.create(0, 0, 100, 24, kHidden);

    m_albumLabel.setCaption(Caption::text(kTextAlbumLabel));
    m_albumLabel.setFlags(kTextVerticalCentre);
    m_albumLabel.create(0, 0, 56, 16, kShown);
    m_album.setListHeight(kAlbumListHeight);
    m_album.setOnChoose([this](int32_t row) { applyMatch(row); });
    m_album.create(0, 0, 100, metrics::kControlHeight, kShown | style::kDisabled);
    m_drives.setOnChoose([this](const std::string& drive) {
        if (drive != m_drivePath && !converting() && m_host.chooseDrive)
            m_host.chooseDrive(drive);
    });
    m_drives.create(0, 0, 100, metrics::kControlHeight, 0);
    m_cover.create(0, 0, CoverView::kSide + 2 * CoverView::kFrame, CoverView::kSide + 2 * CoverView::kFrame, 0);

    ItemList::Routines routines;
    routines.drawItem = [this](Surface& s, int32_t index, const IntRect& r) { drawRow(s, index, r); };
    routines.onItemClick = [this](int32_t i, uint32_t keys, int32_t x, int32_t y) { rowClick(i, keys, x, y); };
    routines.onItemHover = [this](int32_t i, uint32_t keys, int32_t x, int32_t y) { rowHover(i, keys, x, y); };
    routines.onItemDoubleClick = [this](int32_t i) { rowDoubleClick(i); };
    routines.onKey = [this](uint32_t key) { return listKey(key); };
    m_list.setRoutines(routines);
    m_list.setListFlags(ItemList::kNoSelection);
    m_list.setLineStep(kRowHeight);
    m_list.create(0, 0, 100, 100, kShown);
    m_list.setCellSize(100, kRowHeight);

    m_albumLink.setCaption(Caption::text(kTextAlbumDetailsLink));
    m_albumLink.setFlags(Label::kLink | kTextVerticalCentre);
    m_albumLink.setColour(palette::kLink);
    m_albumLink.setOnClick([this] { openAlbumDetails(); });
    m_albumLink.create(0, 0, 100, metrics::kControlHeight, kShown);
}

DiscPage::~DiscPage()
{
    closeStop();
    m_alive.reset(); // what the worker threads post from here on is dropped
}

void DiscPage::layout()
{
    // From the top: the two buttons, the album box, the drive box while several drives hold a
    // disc, then the rows. The cover takes the top-right corner beside the boxes and pushes the
    // rows down only as far as it reaches.
    constexpr int32_t kHeader = 80; // [pixels] above the rows: buttons and album box
    constexpr int32_t kLineStep = 34; // [pixels] from one box's line to the next
    constexpr int32_t kCoverMargin = 8; // [pixels] around the cover
    int32_t w = width(), h = height();
    bool cover = m_cover.showing();
    int32_t coverWidth = m_cover.width();
    int32_t coverRoom = cover ? coverWidth + 2 * kCoverMargin : 0;
    int32_t centre = (w - coverRoom) / 2;
    if (cover && centre + 152 + kCoverMargin > w - coverRoom)
        centre = w / 2; // too narrow to move them: the cover's corner stays below the buttons
    m_convert.setRect(centre - 152, h - 36, 144, 24);
    m_lookup.setRect(centre + 8, h - 36, 144, 24);
    int32_t labelHeight = m_bold ? static_cast<int32_t>(std::ceil(m_bold->line_height)) : 16;
    m_albumLabel.setRect(8, h - 70, 56, labelHeight);
    // The closed box on the label's line; its open list 192 pixels high.
    int32_t boxRight = cover ? w - coverRoom : w - 72;
    int32_t boxBottom = h - 70 - (metrics::kControlHeight - labelHeight) / 2;
    // The album link at the right of the box, as wide as its text.
    constexpr int32_t kAlbumLinkGap = 8; // [pixels]
    std::u16string_view link = uiText(kTextAlbumDetailsLink).view();
    int32_t linkWidth = m_normal ? int32_t(std::ceil(measureLine(*m_normal.get(), link.data(), uint32_t(link.size()), 1e6).width)) + 2
                                 : 120;
    m_album.setRect(72, boxBottom, std::max(0, boxRight - 72 - linkWidth - kAlbumLinkGap), metrics::kControlHeight);
    m_albumLink.setRect(std::max(72, boxRight - linkWidth), boxBottom, linkWidth, metrics::kControlHeight);
    int32_t header = kHeader;
    if (m_drives.wanted()) {
        m_drives.setRect(8, boxBottom - kLineStep, std::max(0, boxRight - 8), metrics::kControlHeight);
        header += kLineStep;
    }
    if (cover) {
        int32_t coverHeight = m_cover.height();
        m_cover.setRect(w - kCoverMargin - coverWidth, h - kCoverMargin - coverHeight, coverWidth, coverHeight);
        header = std::max(header, coverHeight + 2 * kCoverMargin);
    }
    m_list.setRect(0, 0, w, std::max(0, h - header));
    // The links of a conversion's end beside the buttons: the folder left, the log right.
    int32_t room = std::max(0, w / 2 - 152 - kLinkGap - 8);
    int32_t folderWidth = std::min(room, m_openFolder.captionWidth() + 2);
    int32_t logWidth = std::min(room, m_showLog.captionWidth() + 2);
    m_openFolder.setRect(w / 2 - 152 - kLinkGap - folderWidth, h - 36, folderWidth, 24);
    m_showLog.setRect(w / 2 + 152 + kLinkGap, h - 36, logWidth, 24);
}

bool DiscPage::onWindowThread(std::function<void()> work)
{
    if (m_host.ui == nullptr)
        return false;
    std::weak_ptr<DiscPage*> alive = m_alive;
    return m_host.ui->post(m_host.window, [alive, work = std::move(work)] {
        if (alive.lock())
            work();
    });
}

bool DiscPage::loadFrom(const std::string& drivePath)
{
    ConversionJob loaded;
    DiscLoadResult result = loadDisc(loaded, drivePath);
    return adoptDisc(drivePath, loaded, result);
}

bool DiscPage::adoptDisc(const std::string& drivePath, ConversionJob& loaded, DiscLoadResult result)
{
    closeStop();
    // Only a drive that answered its track list replaces the disc: one that does not open
    // leaves the disc shown before, and its drive path, together.
    if (!result.loaded) {
        if (m_job.count > 0)
            setControlsEnabled(true); // the close stop may have ended a lookup of the disc kept
        return false;
    }
    m_job.tracks = std::move(loaded.tracks);
    m_job.allocated = loaded.allocated;
    m_job.count = loaded.count;
    m_job.drivePath = loaded.drivePath;
    m_job.loaded = true;
    m_drivePath = drivePath;
    m_matches.show(nullptr);
    m_covers.clear();
    m_cover.setPicture(nullptr);
    m_album.setEnabled(false);
    m_drives.setDrives(m_drives.drives(), m_drivePath);
    layout();
    if (m_job.count == 0)
        return false;
    m_hoveredRow = -1;
    m_follower.clear(m_job.count);
    hideConversionEnd();
    m_list.setItemCount(m_job.count);
    m_list.setPositions(0, 1);
    m_list.requestRepaint();
    // With "Auto" set, the lookup starts at once. The loader stores a missing value as 1 and
    // answers no lookup for that first disc: reading the value again here would find it set.
    if (result.lookupWanted)
        startLookup();
    return true;
}

void DiscPage::setControlsEnabled(bool enabled)
{
    m_convert.setEnabled(enabled);
    m_lookup.setEnabled(enabled);
    m_album.setEnabled(enabled && m_matches.choosable());
    m_drives.setEnabled(enabled);
    m_albumLink.setEnabled(enabled && m_job.count > 0);
}

LookupOptions DiscPage::lookupOptions() const
{
    if (m_host.lookupOptions)
        return m_host.lookupOptions();
    LookupOptions options = lookupOptionsOf(loadRipPreferences());
    if (!m_host.server.empty())
        options.cddbServer = m_host.server;
    return options;
}

void DiscPage::startLookup()
{
    m_host.enableCommand(kCommandConvert, false);
    m_host.enableCommand(kCommandLookup, false);
    if (converting())
        return;
    setControlsEnabled(false);
    m_album.setEnabled(false);
    // Lists, covers and fetches of an earlier lookup are dropped from here on.
    uint32_t generation = ++m_lookupGeneration;
    m_matches.show(nullptr);
    m_covers.clear();
    m_coverFetches = 0;
    if (m_cover.showing()) {
        m_cover.setPicture(nullptr);
        layout();
    }
    m_lookupRunning = true;
    if (m_host.status != nullptr) {
        m_host.status->setIcons(&m_globe);
        m_host.status->say(0, StatusOwner::Lookup, Caption::text(kTextConnecting));
    }
    // A spinner still lingering from the last lookup ends now; this lookup turns its own.
    m_spinner.quit();
    m_spinner.join();
    ++m_spinnerRuns;
    if (m_host.ui != nullptr)
        m_spinner.start(*this, m_host.ui->clock());
    cancelLookup();
    m_lookupCancel = std::make_shared<std::atomic<bool>>(false);
    m_matchOptions = lookupOptions();
    m_matchOptions.cancel = m_lookupCancel;
    std::string drive = m_drivePath;
    std::weak_ptr<DiscPage*> alive = m_alive;
    UiThread* ui = m_host.ui;
    WindowId window = m_host.window;
    // The CDDB client's steps in the status bar, as the design tells them.
    LookupOptions options = m_matchOptions;
    options.onCddbEvent = [alive, ui, window, generation](int code) {
        if (ui != nullptr)
            ui->post(window, [alive, generation, code] {
                if (auto page = alive.lock())
                    (*page)->lookupStep(generation, code);
            });
    };
    // The drive's table of contents and both sources are read on the worker, never here.
    m_workers.run([drive, options, alive, ui, window, generation] {
        ConversionJob unused; // the lookup names no track of it
        auto list = std::make_shared<const MatchList>(lookUpMatches(drive, options, unused));
        if (ui == nullptr)
            return;
        ui->post(window, [alive, generation, list] {
            if (auto page = alive.lock())
                (*page)->lookupFinished(generation, list);
        });
    });
}

void DiscPage::cancelLookup()
{
    if (m_lookupCancel)
        m_lookupCancel->store(true);
}

void DiscPage::lookupStep(uint32_t generation, int code)
{
    // CddbObserver codes: 1 connecting, 2 connected, 4 sending the request, 5 receiving.
    static constexpr std::pair<int, TextId> kSteps[] = {
        {1, kTextConnecting}, {2, kTextConnected}, {4, kTextSendingRequest}, {5, kTextReceiving}};
    if (generation != m_lookupGeneration.load() || !m_lookupRunning || m_host.status == nullptr)
        return;
    for (auto [step, text] : kSteps)
        if (step == code)
            m_host.status->say(0, StatusOwner::Lookup, Caption::text(text));
}

void DiscPage::lookupFinished(uint32_t generation, std::shared_ptr<const MatchList> list)
{
    if (generation != m_lookupGeneration.load() || !m_lookupRunning || list == nullptr)
        return;
    StatusBar* status = m_host.status;
    if (!list->anySourceAnswered) {
        if (status != nullptr)
            status->say(0, StatusOwner::Lookup, Caption::text(kTextConnectError));
        lookupEnded();
        return;
    }
    if (status != nullptr)
        status->say(0, StatusOwner::Lookup, Caption::text(kTextDownloadComplete));
    m_covers.assign(list->entries.size(), CoverState{});
    m_matches.show(std::move(list));
    if (matchCount() > 0)
        applyMatch(0);
    lookupEnded();
}

void DiscPage::lookupEnded()
{
    m_lookupRunning = false;
    m_spinner.stop();
    setControlsEnabled(true);
    m_host.enableCommand(kCommandConvert, true);
    m_host.enableCommand(kCommandLookup, true);
}

void DiscPage::applyMatch(int32_t r)
{
    const MatchList* list = m_matches.list();
    if (list == nullptr || list->entries.empty() || m_job.count == 0 || converting())
        return;
    m_titleEditor.keep();
    uint32_t changes = m_discChanges;
    bool replaceTyped = mayReplaceTyped();
    // The question's modal loop runs media and lookup events: the disc or the matches may be gone.
    list = m_matches.list();
    if (changes != m_discChanges || list == nullptr || list->entries.empty() || m_job.count == 0 || converting())
        return;
    std::span<TrackEntry> tracks(m_job.tracks.get(), size_t(m_job.count));
    typed_fields::TypedSnapshot typed = typed_fields::snapshotTyped(tracks);
    size_t match = std::min<size_t>(r < 0 ? 0 : size_t(r), list->entries.size() - 1);
    // Titles and tags here; the cover, which takes a request, on a worker.
    LookupOptions titlesOnly = m_matchOptions;
    titlesOnly.cover = false;
    applyListedMatch(*list, match, titlesOnly, m_job);
    if (replaceTyped)
        typed_fields::forgetTyped(tracks);
    else
        typed_fields::restoreTyped(tracks, typed);
    if (m_album.chosen() != int32_t(match))
        m_album.setChosen(int32_t(match));
    showCover(int32_t(match));
    fetchCover(int32_t(match));
    m_list.requestRepaint();
}

void DiscPage::showCover(int32_t r)
{
    std::shared_ptr<const CoverPicture> picture;
    std::shared_ptr<const Image> shown;
    if (r >= 0 && size_t(r) < m_covers.size()) {
        picture = m_covers[size_t(r)].picture;
        shown = m_covers[size_t(r)].shown;
    }
    // Every file gets the chosen match's cover, or none: a CDDB match drops an earlier one.
    for (int32_t i = 0; i < m_job.count; ++i)
        m_job.tracks[size_t(i)].tags.cover = picture;
    bool wasShowing = m_cover.showing();
    m_cover.setPicture(shown);
    if (wasShowing || shown)
        layout();
}

void DiscPage::fetchCover(int32_t r)
{
    if (!m_matchOptions.cover || !m_matches.isMusicBrainz(r) || size_t(r) >= m_covers.size()
        || m_covers[size_t(r)].stage != CoverState::Stage::Unknown)
        return;
    m_covers[size_t(r)].stage = CoverState::Stage::Fetching;
    ++m_coverFetches;
    std::shared_ptr<const MatchList> list = m_matches.shared();
    LookupOptions options = m_matchOptions;
    std::weak_ptr<DiscPage*> alive = m_alive;
    UiThread* ui = m_host.ui;
    WindowId window = m_host.window;
    uint32_t generation = m_lookupGeneration.load();
    m_workers.run([list, options, alive, ui, window, generation, r] {
        std::string note;
        std::shared_ptr<const CoverPicture> picture = fetchListedCover(*list, size_t(r), options, note);
        std::shared_ptr<const Image> shown = picture ? CoverView::prepare(picture->bytes) : nullptr;
        if (ui == nullptr)
            return;
        ui->post(window, [alive, generation, r, picture, shown] {
            auto page = alive.lock();
            if (!page)
                return;
            DiscPage& self = **page;
            if (generation != self.m_lookupGeneration.load() || size_t(r) >= self.m_covers.size())
                return; // a lookup or a disc since: its list is gone
            --self.m_coverFetches;
            CoverState& state = self.m_covers[size_t(r)];
            state.stage = CoverState::Stage::Known;
            state.picture = picture;
            state.shown = shown;
            if (self.m_album.chosen() == r && !self.converting())
                self.showCover(r);
        });
    });
}

void DiscPage::setDiscDrives(std::vector<std::string> drives)
{
    bool wanted = m_drives.wanted();
    m_drives.setDrives(std::move(drives), m_drivePath);
    m_drives.setEnabled(!converting() && !m_lookupRunning);
    if (wanted != m_drives.wanted())
        layout();
}

bool DiscPage::startConversion()
{
    return startConversionIn(m_host.outputFolder ? m_host.outputFolder() : musicFolder());
}

bool DiscPage::startConversionIn(const std::string& folder)
{
    m_titleEditor.keep(); // what is typed when Convert is pressed is the title
    if (converting() || m_job.count == 0 || m_job.selectedCount() == 0)
        return false;
    std::string error;
    if (!prepareOutputFolder(folder, error)) {
        if (m_host.status != nullptr)
            m_host.status->say(0, StatusOwner::Conversion, Caption::of(std::u16string(WideString::fromUtf8(error).view())));
        return false;
    }
    RipPreferences preferences = runPreferences(m_host.run);
    std::string target = preferences.folderPerAlbum ? folder + "/" + discFolderName(m_job, audioDiscId(m_job)) : folder;
    if (target != folder && !prepareOutputFolder(target, error)) {
        if (m_host.status != nullptr)
            m_host.status->say(0, StatusOwner::Conversion, Caption::of(std::u16string(WideString::fromUtf8(error).view())));
        return false;
    }
    m_job.outputFolder = WideString::fromUtf8(target + "/");
    ExistingFiles existing = ExistingFiles::Refuse;
    if (!settleExistingFiles(existing))
        return false;
    SessionSettings settings;
    settings.drive = m_drivePath;
    settings.folder = target;
    settings.mode = preferences.readMode;
    settings.accurateRip = preferences.accurateRip;
    settings.accurateRipServer = preferences.accurateRipServer;
    settings.cacheFolder = updateCacheDirectory();
    settings.order = TrackOrder::DiscOrder; // the list shows the tracks converted top to bottom
    settings.existingFiles = existing;
    settings.version = std::string("Tonvane ") + product::kVersion;
    settings.replayGain = preferences.replayGain;
    m_session.reset(); // the last one has ended: converting() said so
    // The session's events reach the follower on this thread; those posted before a close stop
    // (the disc going, the window closing) belong to a conversion no longer shown.
    uint32_t stops = m_closeStops.load();
    SessionDeliver deliver = [this, stops](std::function<void()> work) {
        onWindowThread([this, stops, work = std::move(work)] {
            if (stops == m_closeStops.load())
                work();
        });
    };
    showReason(-1); // a reason of the last conversion's rows
    m_follower.begin(m_job);
    hideConversionEnd();
    m_session = std::make_unique<RipSession>(m_job, std::move(settings), m_follower, std::move(deliver));
    // A cancel belongs to the conversion it stopped: the close stop before a new disc loads
    // leaves it set, and a Convert asked for afterwards must not inherit it.
    m_job.cancel.store(0);
    m_session->keepCover(); // the chosen match's cover beside the files, as the other front ends keep it
    m_progress.conversionStarting();
    if (!m_session->start(&m_progress)) {
        m_follower.clear(m_job.count);
        return false;
    }
    setControlsEnabled(false);
    m_album.setEnabled(false);
    // The Convert button becomes Stop for as long as the conversion runs.
    m_stopping = false;
    m_convert.setCaption(Caption::text(kTextStop));
    m_convert.setEnabled(true);
    m_host.enableCommand(kCommandConvert, false);
    m_host.enableCommand(kCommandLookup, false);
    m_list.requestRepaint();
    return true;
}

bool DiscPage::settleExistingFiles(ExistingFiles& choice)
{
    for (int32_t i = 0; i < m_job.count; ++i)
        m_job.tracks[size_t(i)].nameSuffix = WideString();
    std::vector<std::string> existing = existingTrackFiles(m_job);
    if (existing.empty())
        return true;
    WidgetWindow* host = window();
    if (host == nullptr || host->window() == nullptr)
        return false; // nobody to ask: nothing is replaced
    std::string first = existing.front().substr(existing.front().rfind('/') + 1);
    ExistingFilesDialog dialog(*host->window(), std::u16string(WideString::fromUtf8(first).view()));
    m_existingDialog = &dialog;
    dialog.run();
    m_existingDialog = nullptr;
    switch (dialog.choice) {
    case ExistingFilesDialog::Choice::Replace:
        choice = ExistingFiles::Replace;
        return true;
    case ExistingFilesDialog::Choice::KeepBoth:
        // Each track whose name is taken gets the first free " (n)": its earlier file stays.
        for (int32_t i = 0; i < m_job.count; ++i) {
            if (!m_job.tracks[size_t(i)].selected)
                continue;
            std::string path = m_job.outputPath(i).toUtf8();
            std::string free = freePath(path);
            if (free == path)
                continue;
            size_t open = free.rfind(" (");
            size_t close = free.find(')', open);
            m_job.tracks[size_t(i)].nameSuffix = WideString::fromUtf8(free.substr(open, close + 1 - open));
        }
        return true;
    case ExistingFilesDialog::Choice::Cancel:
        break;
    }
    return false;
}

bool DiscPage::stopConversion()
{
    if (!m_session || !m_session->running() || m_stopping)
        return false;
    m_stopping = true;
    m_session->interrupt(); // the rip ends at its next chunk; the log still follows
    m_convert.setEnabled(false); // until the end, which gives Convert back
    return true;
}

void DiscPage::showConversionEnd()
{
    if (!m_follower.ended())
        return;
    const SessionOutcome& outcome = m_follower.outcome();
    if (m_host.status != nullptr)
        m_host.status->say(0, StatusOwner::Conversion, Caption::of(m_follower.summary()));
    m_endFolder = m_job.outputFolder.toUtf8();
    if (m_endFolder.size() > 1 && m_endFolder.back() == '/')
        m_endFolder.pop_back();
    m_endLog = outcome.logPath;
    layout(); // the links' widths follow their captions in the language shown
    if (outcome.started && !m_endFolder.empty())
        m_openFolder.show();
    if (!m_endLog.empty())
        m_showLog.show();
}

void DiscPage::hideConversionEnd()
{
    m_openFolder.hide();
    m_showLog.hide();
    m_endFolder.clear();
    m_endLog.clear();
    if (m_host.status != nullptr)
        m_host.status->clear(0, StatusOwner::Conversion);
}

void DiscPage::closeStop()
{
    ++m_closeStops;
    ++m_discChanges;
    m_titleEditor.drop();
    if (m_session) {
        m_session->interrupt(); // the log still says which tracks are whole
        m_session->wait();
    }
    tonvane::closeStop(m_job);
    cancelLookup();
    ++m_lookupGeneration; // what a running lookup or cover fetch posts is dropped
    m_coverFetches = 0;
    m_lookupRunning = false;
    m_spinner.quit(); // no two-second linger: the window closes or the disc goes
    if (m_spinner.running())
        m_spinner.join();
}

// ConversionView: called on the rip and encoder threads.
void DiscPage::redrawTrackList()
{
    // One repaint of the list waits in the queue at most: the rip and encoder threads report
    // faster than a slow machine paints, and a queue of paints would hold back the clicks (Stop
    // among them) that arrive behind it.
    if (m_listRepaintQueued.exchange(true))
        return;
    if (!onWindowThread([this] {
            m_listRepaintQueued.store(false);
            m_list.requestRepaint();
        }))
        m_listRepaintQueued.store(false);
}

void DiscPage::showElapsedTime(const WideString& text)
{
    std::u16string elapsed(text.view());
    if (m_job.cancel.load() != 0)
        return; // the end of a conversion a close stop ended: its disc is gone or going
    uint32_t stops = m_closeStops.load();
    {
        std::lock_guard<std::mutex> hold(m_elapsed.lock);
        m_elapsed.text = std::move(elapsed);
        if (m_elapsed.queued)
            return; // the queued post shows this newer time
        m_elapsed.queued = true;
    }
    bool posted = onWindowThread([this, stops] {
        std::u16string shown;
        {
            std::lock_guard<std::mutex> hold(m_elapsed.lock);
            m_elapsed.queued = false;
            shown = m_elapsed.text;
        }
        // Posted before a close stop, run after it: a disc that went keeps no time.
        if (m_host.status != nullptr && stops == m_closeStops.load())
            m_host.status->setStatusText(1, shown);
    });
    if (!posted) {
        std::lock_guard<std::mutex> hold(m_elapsed.lock);
        m_elapsed.queued = false;
    }
}

void DiscPage::scrollToTrack(int32_t index)
{
    onWindowThread([this, index] { m_list.scrollToLine(m_list.rows() - index - 1); });
}

void DiscPage::conversionEnded()
{
    onWindowThread([this] {
        m_stopping = false;
        m_convert.setCaption(Caption::text(kTextConvert));
        showConversionEnd();
        setControlsEnabled(true);
        m_host.enableCommand(kCommandConvert, true);
        m_host.enableCommand(kCommandLookup, true);
        m_list.requestRepaint();
        if (m_host.conversionFinished)
            m_host.conversionFinished();
    });
}

// SpinnerTarget: the spinner's thread.
void DiscPage::setFrame(int frame)
{
    if (m_host.status != nullptr)
        m_host.status->setIconFrame(frame);
}

void DiscPage::repaint()
{
    onWindowThread([this] {
        if (m_host.status != nullptr)
            m_host.status->repaintIcon();
    });
}

// The end of a linger: the text of the lookup it belonged to goes, unless a newer lookup began.
void DiscPage::clearText()
{
    uint32_t run = m_spinnerRuns.load();
    onWindowThread([this, run] {
        // Only the lookup's own text: a conversion's message written since stays.
        if (m_host.status != nullptr && run == m_spinnerRuns.load())
            m_host.status->clear(0, StatusOwner::Lookup);
    });
}

void DiscPage::drawRow(Surface& s, int32_t index, const IntRect& r)
{
    if (index < 0 || index >= m_job.count)
        return;
    TrackEntry& entry = m_job.tracks[size_t(index)];
    ControlTheme* theme = controlTheme();
    Font* bold = m_bold.get();
    Font* normal = m_normal.get();
    int32_t x0 = r.x0, y0 = r.y0, x1 = r.x1;
    drawFrame(s, m_logos, entry.format, x0 + 8, y0 + 8, 1);
    s.fillRectangle(x0 + 8, y0, x1 - 8, y0 + 1, kSeparator);
    s.fillRectangle(x0 + 64, y0 + 8, x0 + 65, r.y1 - 8, kSeparator);
    double fraction = entry.progress.load();
    RowState state = m_follower.row(index).state;
    // A track that did not end whole never shows a green bar: its bar is red and full.
    bool failed = state == RowState::Failed || entry.status.load() == TrackStatus::Failed;
    uint32_t barColour = fraction >= 1 ? palette::kProgressComplete : palette::kProgressRunning;
    if (failed) {
        fraction = 1;
        barColour = palette::kProgressFailed;
    } else if (state == RowState::Stopped) {
        barColour = palette::kVerdictNeutral;
    }
    if (theme != nullptr) {
        theme->drawProgress(s, {x0 + 72, y0 + 8, x1 - 8, y0 + 24}, fraction, barColour);
        theme->drawCheckBox(s, {x0 + 72, y0 + 30, x0 + 88, y0 + 46}, entry.selected ? style::kTicked : 0);
    }
    if (bold == nullptr || normal == nullptr)
        return;
    s.text_colour = palette::kText;
    // Title line.
    double baseline = y0 + 28;
    double labelWidth = drawLine(s, bold, uiText(kTextTitleLabel).view(), x0 + 96, baseline, x1 - 250);
    std::u16string title(entry.title.view());
    if (title.empty())
        title = std::u16string(uiText(kTextTrack).view()) + u" "
            + std::u16string(WideString::fromUtf8(std::to_string(index + 1)).view());
    // A title longer than its room ends in an ellipsis; the pointer resting on it shows it whole.
    double titleLeft = x0 + 96 + labelWidth + 4;
    double titleRight = x1 - kTitleRightRoom;
    FittedText fitted = fitWithEllipsis(*normal, title, titleRight - titleLeft);
    drawLine(s, normal, fitted.text, titleLeft, baseline, titleRight);
    if (m_titleZones.size() < size_t(m_job.count))
        m_titleZones.resize(size_t(m_job.count));
    m_titleZones[size_t(index)] = {int32_t(titleLeft - x0), int32_t(std::ceil(titleLeft + fitted.width - x0)),
                                   int32_t(std::floor(baseline - normal->descender - y0)),
                                   int32_t(std::ceil(baseline + normal->ascender - y0)), fitted.cut,
                                   int32_t(titleRight - x0)};
    drawLine(s, bold, uiText(kTextPlayTime).view(), x1 - 250, baseline, x1 - 50, kTextRight);
    drawLine(s, normal, playTime(entry), x1 - 50 + normal->line_height, baseline, x1);
    // Encoder link.
    double linkBaseline = baseline + bold->line_height;
    int32_t format = entry.format >= 0 && entry.format < kFormatCount ? entry.format : 0;
    double formatWidth = drawLine(s, bold, kFormatLabels[format], x0 + 96, linkBaseline, x1 - 8);
    std::u16string setting(qualityLabel(format, entry.quality).view());
    double settingLeft = x0 + 96 + formatWidth + 4;
    double settingRight = ConversionFollower::wordOf(m_follower.row(index)).empty() ? x1 - 8 : x1 - kTitleRightRoom;
    std::u16string shownSetting = fitWithEllipsis(*normal, setting, std::max(0.0, settingRight - settingLeft)).text;
    double settingWidth = drawLine(s, normal, shownSetting, settingLeft, linkBaseline, settingRight);
    double linkRight = x0 + 96 + formatWidth + 4 + settingWidth;
    entry.link = {96, int32_t(linkBaseline - y0), int32_t(linkRight - x0), int32_t(linkBaseline - y0 + bold->line_height),
                  true};
    if (index == m_hoveredRow)
        s.fillRectangle(x0 + 96, linkBaseline - 2, linkRight, linkBaseline - 1, palette::kLink);
    drawState(s, index, r, linkBaseline);
}

void DiscPage::drawState(Surface& s, int32_t index, const IntRect& r, double baseline)
{
    if (m_stateZones.size() < size_t(m_job.count))
        m_stateZones.resize(size_t(m_job.count));
    m_stateZones[size_t(index)] = {};
    const RowEnd& end = m_follower.row(index);
    std::u16string word = ConversionFollower::wordOf(end);
    Font* font = m_bold.get();
    if (word.empty() || font == nullptr)
        return;
    RowLook look = ConversionFollower::lookOf(end.state);
    double right = r.x1 - 8;
    double left = r.x1 - kTitleRightRoom + kStateMarkSide + kStateMarkGap;
    FittedText fitted = fitWithEllipsis(*font, word, right - left);
    double wordLeft = right - fitted.width;
    double markLeft = std::floor(wordLeft - kStateMarkGap - kStateMarkSide);
    drawMark(s, look.mark, markLeft, std::round(baseline), look.colour);
    uint32_t colour = s.text_colour;
    s.text_colour = look.colour;
    drawLine(s, font, fitted.text, wordLeft, baseline, right + 1);
    s.text_colour = colour;
    // A failed row's reason shows while the pointer rests on its mark or word.
    m_stateZones[size_t(index)] = {int32_t(markLeft - r.x0), int32_t(std::ceil(right - r.x0)),
                                   int32_t(std::floor(baseline - font->descender - r.y0)),
                                   int32_t(std::ceil(baseline + font->ascender - r.y0)), !end.reason.empty()};
}

void DiscPage::rowHover(int32_t index, uint32_t, int32_t x, int32_t y)
{
    WidgetWindow* host = window();
    LayeredWindow* w = host != nullptr ? host->window() : nullptr;
    int32_t hovered = -1;
    int32_t titleRow = -1;
    int32_t reasonRow = -1;
    bool hand = false;
    if (index >= 0 && index < m_job.count && size_t(index) < m_stateZones.size()) {
        IntRect r = m_list.itemRect(index);
        const TitleZone& zone = m_stateZones[size_t(index)];
        if (zone.cut && inZone({zone.left, zone.bottom, zone.right, zone.top}, x - r.x0, y - r.y0))
            reasonRow = index;
    }
    if (index >= 0 && index < m_job.count && !converting()) {
        IntRect r = m_list.itemRect(index);
        int32_t rx = x - r.x0, ry = y - r.y0;
        const LinkRect& link = m_job.tracks[size_t(index)].link;
        bool overLink = link.set && rx >= link.left && rx < link.right && ry >= link.bottom && ry < link.top;
        hand = inZone(kCheckZone, rx, ry) || inZone(kLogoZone, rx, ry) || overLink;
        if (overLink)
            hovered = index;
        if (size_t(index) < m_titleZones.size()) {
            const TitleZone& zone = m_titleZones[size_t(index)];
            if (zone.cut && inZone({zone.left, zone.bottom, zone.right, zone.top}, rx, ry))
                titleRow = index;
        }
    }
    showFullTitle(titleRow);
    showReason(titleRow >= 0 ? -1 : reasonRow);
    if (w != nullptr)
        w->setCursor(hand ? kCursorHand : kCursorArrow);
    if (hovered != m_hoveredRow && m_list.drag() == ItemList::Drag::None) {
        int32_t old = m_hoveredRow;
        m_hoveredRow = hovered;
        m_list.redrawItem(old);
        m_list.redrawItem(hovered);
    }
}

void DiscPage::showFullTitle(int32_t index)
{
    if (index == m_titleShown)
        return;
    StatusBar* status = m_host.status;
    if (m_titleShown >= 0 && status != nullptr && status->paneText(0) == m_shownTitle)
        status->restore(0, m_paneBefore);
    m_titleShown = -1;
    if (index < 0 || index >= m_job.count || size_t(index) >= m_titleZones.size()) {
        m_titleTip.hideText();
        return;
    }
    m_titleShown = index;
    m_shownTitle = std::u16string(m_job.tracks[size_t(index)].title.view());
    if (status != nullptr) {
        m_paneBefore = status->message(0);
        status->setStatusText(0, m_shownTitle);
    }
    // The tip starts where the title does, just below its line (above it near the page's foot).
    constexpr int32_t kTipGap = 2; // [pixels]
    const TitleZone& zone = m_titleZones[size_t(index)];
    IntRect row = m_list.itemRect(index);
    int32_t left = m_list.left() + row.x0 + zone.left - TextTip::kPadding;
    int32_t rowBottom = m_list.bottom() + row.y0;
    m_titleTip.showText(m_shownTitle, left, rowBottom + zone.bottom - kTipGap, width() - left - 8,
                        rowBottom + zone.top + kTipGap);
}

void DiscPage::showReason(int32_t index)
{
    if (index == m_reasonShown)
        return;
    StatusBar* status = m_host.status;
    if (m_reasonShown >= 0) {
        if (status != nullptr && status->paneText(0) == m_shownReason)
            status->restore(0, m_paneBeforeReason);
        if (m_titleShown < 0)
            m_titleTip.hideText();
    }
    m_reasonShown = -1;
    if (index < 0 || index >= m_job.count || size_t(index) >= m_stateZones.size()
        || m_follower.row(index).reason.empty())
        return;
    m_reasonShown = index;
    m_shownReason = m_follower.row(index).reason;
    if (status != nullptr) {
        m_paneBeforeReason = status->message(0);
        status->setStatusText(0, m_shownReason);
    }
    // Below the state's line, ending where the page does (above it near the page's foot).
    constexpr int32_t kTipGap = 2; // [pixels]
    constexpr int32_t kTipWidth = 240; // [pixels] at most
    const TitleZone& zone = m_stateZones[size_t(index)];
    IntRect row = m_list.itemRect(index);
    int32_t left = std::max(8, m_list.left() + row.x0 + std::min(zone.left, row.x1 - row.x0 - kTipWidth));
    int32_t rowBottom = m_list.bottom() + row.y0;
    m_titleTip.showText(m_shownReason, left, rowBottom + zone.bottom - kTipGap, width() - left - 8,
                        rowBottom + zone.top + kTipGap);
}

void DiscPage::rowClick(int32_t index, uint32_t keys, int32_t x, int32_t y)
{
    if (converting() || index < 0 || index >= m_job.count)
        return;
    IntRect r = m_list.itemRect(index);
    int32_t rx = x - r.x0, ry = y - r.y0;
    m_focusRow = index;
    m_lastPress = {index, rx, ry};
    bool ctrl = (keys & mod::kCtrl) != 0;
    TrackEntry& entry = m_job.tracks[size_t(index)];
    if (inZone(kCheckZone, rx, ry)) {
        uint8_t selected = entry.selected ? 0 : 1;
        if (ctrl)
            for (int32_t i = 0; i < m_job.count; ++i)
                m_job.tracks[size_t(i)].selected = selected;
        else
            entry.selected = selected;
        ctrl ? m_list.requestRepaint() : m_list.redrawItem(index);
        return;
    }
    const LinkRect& link = entry.link;
    if (link.set && rx >= link.left && rx < link.right && ry >= link.bottom && ry < link.top) {
        WidgetWindow* host = window();
        if (host == nullptr || host->window() == nullptr)
            return;
        EncoderPropertiesDialog dialog(*host->window(), entry.format, static_cast<int32_t>(entry.quality));
        // The modal loop runs media events: the disc may go, and its track array with it.
        uint32_t changes = m_discChanges;
        dialog.run();
        // The pointer moved on while the dialog had the input: the link is no longer hovered
        // until the next move over it says so.
        int32_t hovered = std::exchange(m_hoveredRow, -1);
        m_list.redrawItem(hovered);
        if (dialog.result == EncoderPropertiesDialog::kOk)
            dialog.storeChoices(); // Cancel stores nothing
        if (dialog.result != EncoderPropertiesDialog::kOk || changes != m_discChanges || converting()
            || index >= m_job.count)
            return; // the choice was for a disc that is no longer shown
        if (dialog.applyToAll()) {
            for (int32_t i = 0; i < m_job.count; ++i) {
                m_job.tracks[size_t(i)].format = dialog.format();
                m_job.tracks[size_t(i)].quality = dialog.quality();
            }
            m_list.requestRepaint();
        } else {
            m_job.tracks[size_t(index)].format = dialog.format();
            m_job.tracks[size_t(index)].quality = dialog.quality();
            m_list.redrawItem(index);
        }
        return;
    }
    if (inZone(kLogoZone, rx, ry)) {
        int32_t format = (entry.format + 1) % kFormatCount; // MP3, Vorbis, FLAC, WAV, Opus, MP3
        uint32_t quality = storedQuality(format);
        if (ctrl) {
            for (int32_t i = 0; i < m_job.count; ++i) {
                m_job.tracks[size_t(i)].format = format;
                m_job.tracks[size_t(i)].quality = quality;
            }
            settings::writeDword(product::kProductKey, settings::kEncodersKey, settings::kValueDefaultFormat,
                                 static_cast<uint32_t>(format));
            m_list.requestRepaint();
        } else {
            entry.format = format;
            entry.quality = quality;
            m_list.redrawItem(index);
        }
    }
}

// ---- typed titles ----

bool DiscPage::titleRoom(int32_t row, IntRect& where) const
{
    if (row < 0 || row >= m_job.count || size_t(row) >= m_titleZones.size())
        return false;
    const TitleZone& zone = m_titleZones[size_t(row)];
    if (zone.roomRight <= zone.left)
        return false;
    IntRect r = m_list.itemRect(row);
    IntRect view = m_list.viewport();
    // The entry's text starts where the title's does; its box is centred on the title's line.
    constexpr int32_t kEntryHeight = metrics::kControlHeight - 2; // [pixels]
    int32_t middle = r.y0 + (zone.bottom + zone.top) / 2;
    IntRect inList{r.x0 + zone.left - metrics::kEntryPadding, middle - kEntryHeight / 2,
                   r.x0 + zone.roomRight, middle - kEntryHeight / 2 + kEntryHeight};
    if (inList.y0 < view.y0 || inList.y1 > view.y1)
        return false;
    inList.x1 = std::min(inList.x1, view.x1);
    where = {m_list.left() + inList.x0, m_list.bottom() + inList.y0, m_list.left() + inList.x1,
             m_list.bottom() + inList.y1};
    return true;
}

bool DiscPage::editTitle(int32_t row)
{
    if (converting() || row < 0 || row >= m_job.count)
        return false;
    m_focusRow = row;
    showFullTitle(-1);
    return m_titleEditor.open(row);
}

void DiscPage::rowDoubleClick(int32_t index)
{
    if (converting() || index < 0 || index >= m_job.count || m_lastPress.row != index
        || size_t(index) >= m_titleZones.size())
        return;
    const TitleZone& zone = m_titleZones[size_t(index)];
    if (inZone({zone.left, zone.bottom, zone.roomRight, zone.top}, m_lastPress.x, m_lastPress.y))
        editTitle(index);
}

bool DiscPage::listKey(uint32_t key)
{
    constexpr uint32_t kF2 = vk::VK_F1 + 1;
    if (key != kF2)
        return false;
    editTitle(std::clamp(m_focusRow, 0, std::max(0, m_job.count - 1)));
    return true;
}

void DiscPage::openAlbumDetails()
{
    WidgetWindow* host = window();
    if (host == nullptr || host->window() == nullptr || converting() || m_job.count == 0)
        return;
    m_titleEditor.keep();
    std::span<TrackEntry> tracks(m_job.tracks.get(), size_t(m_job.count));
    AlbumFields before = typed_fields::albumFieldsOf(tracks);
    AlbumDetailsDialog dialog(*host->window(), before);
    uint32_t changes = m_discChanges;
    m_albumDialog = &dialog;
    dialog.run();
    m_albumDialog = nullptr;
    if (!dialog.kept || changes != m_discChanges || converting() || m_job.count == 0)
        return; // dropped, or typed for a disc that is no longer shown
    typed_fields::setTypedAlbumFields(std::span<TrackEntry>(m_job.tracks.get(), size_t(m_job.count)), dialog.fields(),
                                      before);
    m_list.requestRepaint();
}

bool DiscPage::mayReplaceTyped()
{
    WidgetWindow* host = window();
    std::span<const TrackEntry> tracks(m_job.tracks.get(), size_t(m_job.count));
    if (!typed_fields::anyTyped(tracks))
        return true;
    if (host == nullptr || host->window() == nullptr)
        return false; // nobody to ask: what was typed stays
    TypedTitlesDialog dialog(*host->window());
    m_typedQuestion = &dialog;
    dialog.run();
    m_typedQuestion = nullptr;
    return dialog.replace;
}

} // namespace tonvane
