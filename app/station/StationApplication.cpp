#include "app/station/StationApplication.h"
#include "cdrom/rip/EncoderPool.h"

#include "app/cli/DriveChoice.h"
#include "app/cli/TerminalText.h"
#include "app/station/StationContext.h"
#include "app/station/StationDrive.h"
#include "cdrom/device/DevicePath.h"
#include "cdrom/drives/DriveEnumerator.h"
#include "core/ProductConfig.h"
#include "core/disc/EncoderSettings.h"
#include "core/foundation/Clock.h"
#include "core/foundation/Utf.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "net/update/UpdateDownload.h"
#include "session/MusicFolder.h"
#include "session/RipPreferences.h"

#include <csignal>
#include <malloc.h>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace tonvane::station {

namespace {

constexpr uint32_t kViewIntervalMs = 200; // [ms] between redraws of the drive lines
constexpr int kStationMallocArenas = 1; // as a single rip: freed encoder memory goes back

volatile std::sig_atomic_t g_signal = 0;

void onStopSignal(int signal) { g_signal = signal; }

// SIGINT, SIGTERM and SIGHUP stop the station; SIGXFSZ is ignored, so a file over the size limit
// is a failed write the disc's accounting shows, not the end of every drive. The previous
// dispositions come back on every way out.
class SignalGuard {
public:
    static constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

    SignalGuard()
    {
        struct sigaction action{};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        g_signal = 0;
        for (size_t i = 0; i < std::size(kStopSignals); ++i)
            ::sigaction(kStopSignals[i], &action, &m_previous[i]);
        struct sigaction ignore{};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &m_previousFileSize);
    }
    ~SignalGuard()
    {
        for (size_t i = 0; i < std::size(kStopSignals); ++i)
            ::sigaction(kStopSignals[i], &m_previous[i], nullptr);
        ::sigaction(SIGXFSZ, &m_previousFileSize, nullptr);
    }
    SignalGuard(const SignalGuard&) = delete;
    SignalGuard& operator=(const SignalGuard&) = delete;

private:
    struct sigaction m_previous[std::size(kStopSignals)]{};
    struct sigaction m_previousFileSize{};
};

ReadMode readModeOf(cli::RipMode mode)
{
    switch (mode) {
    case cli::RipMode::Secure:
        return ReadMode::Secure;
    case cli::RipMode::TestAndCopy:
        return ReadMode::TestAndCopy;
    case cli::RipMode::Normal:
        break;
    }
    return ReadMode::Single;
}

bool chooseBaseFolder(const cli::Options& options, std::string& folder, std::string& error)
{
    folder = options.outputFolder;
    if (folder.empty()) {
        WideString stored;
        folder = settings::readString(product::kProductKey, settings::kEncodersKey, settings::kValuePath, stored)
                     ? stored.toUtf8()
                     : musicFolder();
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (!isValidUtf8(folder)) {
        error = "the output folder " + folder + " is not a UTF-8 name";
        return false;
    }
    return prepareOutputFolder(folder, error);
}

// The stored choices with the command line's over them: secure reading and AccurateRip unless
// the command line says otherwise, a folder per disc always.
LookupOptions lookupOf(const cli::Options& options, const RipPreferences& stored)
{
    LookupOptions lookup = lookupOptionsOf(stored);
    if (options.metadataGiven) {
        lookup.musicBrainz = options.metadata != cli::MetadataSources::Cddb;
        lookup.cddb = options.metadata != cli::MetadataSources::MusicBrainz;
    }
    if (!options.server.empty())
        lookup.cddbServer = options.server;
    if (!options.cddbUser.empty())
        lookup.cddbUser = options.cddbUser;
    if (options.musicBrainzServer != cli::Options{}.musicBrainzServer)
        lookup.musicBrainzServer = options.musicBrainzServer;
    if (options.coverArtServer != cli::Options{}.coverArtServer)
        lookup.coverArtServer = options.coverArtServer;
    lookup.cover = lookup.cover && options.cover;
    return lookup;
}

StationSetup setupOf(const cli::Options& options, const std::string& baseFolder)
{
    RipPreferences stored = loadRipPreferences();
    StationSetup setup;
    setup.baseFolder = baseFolder;
    setup.format = options.format;
    setup.quality = options.quality;
    setup.again = options.again;
    setup.lookupOptions = lookupOf(options, stored);
    setup.lookup = options.lookup != cli::LookupChoice::NoLookup && stored.metadata != MetadataSources::None &&
                   (setup.lookupOptions.musicBrainz || setup.lookupOptions.cddb);
    if (options.lookup == cli::LookupChoice::Lookup)
        setup.lookup = setup.lookupOptions.musicBrainz || setup.lookupOptions.cddb;

    SessionSettings& session = setup.session;
    session.accurateRip = options.accurateRip;
    session.accurateRipServer = options.accurateRipServer.empty() ? stored.accurateRipServer : options.accurateRipServer;
    session.cacheFolder = updateCacheDirectory();
    session.mode = options.modeGiven ? readModeOf(options.mode) : ReadMode::Secure;
    // The encoders of every drive come from the station's one pool (runStation hands it over),
    // sized to the processors or --jobs; a session may have as many lanes as the pool has tokens.
    session.lanes = 0;
    session.replayGain = options.replayGain && stored.replayGain;
    session.truePeak = options.truePeak;
    if (options.cacheMiB)
        session.driveCacheBytes = uint64_t{*options.cacheMiB} << 20;
    session.order = TrackOrder::LongestFirst;
    session.existingFiles = ExistingFiles::Refuse;
    session.version = std::string("Tonvane ") + product::kVersion;
    return setup;
}

int terminalColumns(std::FILE* out)
{
    winsize size{};
    if (::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kDefaultColumns;
}

std::vector<std::string> drivesToWatch(const cli::Options& options)
{
    if (!options.drives.empty())
        return options.drives;
    return listDrives(cli::realDriveSources());
}

void printTally(const StationTally& tally, std::FILE* out)
{
    std::fprintf(out, "Station: %d disc(s): %d whole, %d need attention, %d skipped, %d failed\n", tally.discs,
                 tally.whole, tally.attention, tally.skipped, tally.failed);
    std::fflush(out);
}

} // namespace

int runStation(const cli::Options& options, std::FILE* out, std::FILE* errors)
{
    mallopt(M_ARENA_MAX, kStationMallocArenas);
    SignalGuard signals;
    std::vector<std::string> driveNames = drivesToWatch(options);
    if (driveNames.empty()) {
        std::fprintf(errors, "tonvane: no drive to watch; name one with --drive (a drive, image:SHEET, demo: or watch:DIR)\n");
        return cli::kExitNoDisc;
    }
    std::string baseFolder, error;
    if (!chooseBaseFolder(options, baseFolder, error)) {
        std::fprintf(errors, "tonvane: %s\n", terminalText(error).c_str());
        return cli::kExitUsage;
    }
    StationEvents events;
    if (!events.open(options.eventsFile, out, error)) {
        std::fprintf(errors, "tonvane: %s\n", terminalText(error).c_str());
        return cli::kExitUsage;
    }
    // With the events on standard output the drive lines go to standard error.
    std::FILE* screen = options.eventsFile == "-" ? errors : out;
    bool terminal = ::isatty(::fileno(screen)) == 1;
    StationView view(screen, terminal, terminal ? terminalColumns(screen) : kDefaultColumns);
    // Declared before the drives: it outlives every session that takes encoders from it.
    EncoderPool encoders(options.jobs.value_or(static_cast<int32_t>(std::max(1u, processorCount()))));
    StationSetup setup = setupOf(options, baseFolder);
    setup.session.encoderPool = &encoders;
    StationContext context(std::move(setup), events, view);

    std::vector<std::unique_ptr<StationDrive>> drives;
    for (const std::string& driveName : driveNames) {
        auto drive = std::make_unique<StationDrive>(context, driveName);
        if (!drive->start(error)) {
            std::fprintf(errors, "tonvane: %s\n", terminalText(error).c_str());
            continue;
        }
        drives.push_back(std::move(drive));
    }
    if (drives.empty())
        return cli::kExitNoDisc;
    view.note("Station: watching " + std::to_string(drives.size()) + " drive(s); files under " + baseFolder +
              "; Ctrl-C stops");

    auto allFinished = [&] {
        for (const auto& drive : drives)
            if (!drive->finished())
                return false;
        return true;
    };
    while (g_signal == 0 && !allFinished()) {
        std::vector<DriveLine> lines;
        for (const auto& drive : drives)
            lines.push_back(drive->line());
        view.show(lines);
        sleepMs(kViewIntervalMs);
    }
    // In order: no drive takes a new disc, then each running rip is stopped and waited for (its
    // log written, its unfinished files removed).
    context.stopping.store(true);
    if (g_signal != 0)
        view.note("Stopping: every drive finishes its files...");
    for (const auto& drive : drives)
        drive->stop();
    for (const auto& drive : drives)
        drive->join();
    std::vector<DriveLine> lines;
    for (const auto& drive : drives)
        lines.push_back(drive->line());
    view.show(lines);
    view.finish();
    context.notice.finish();
    StationTally tally;
    {
        std::lock_guard lock(context.mutex);
        tally = context.tally;
    }
    printTally(tally, screen);
    if (!events.healthy())
        std::fprintf(errors, "tonvane: the events could not all be written to %s\n", options.eventsFile.c_str());
    return g_signal != 0 ? cli::kExitSignalBase + g_signal : cli::kExitOk;
}

} // namespace tonvane::station
