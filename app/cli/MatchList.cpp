#include "app/cli/MatchList.h"

#include "app/cli/TerminalText.h"
#include "cdrom/device/CdDevice.h"
#include "cdrom/mmc/MmcCommands.h"
#include "core/foundation/Thread.h"
#include "encoders/framework/OutputFile.h"
#include "net/musicbrainz/CoverArtClient.h"
#include "net/musicbrainz/MusicBrainzTransfer.h"

#include <cstdio>

namespace tonvane::cli {

namespace {

// The MusicBrainz half, run on its own thread while the CDDB client works.
struct MusicBrainzJob {
    std::optional<MusicBrainzToc> toc;
    MusicBrainzOptions options;
    MusicBrainzLookup result;
};

void* runMusicBrainz(void* parameter)
{
    auto* job = static_cast<MusicBrainzJob*>(parameter);
    job->result = lookUpMusicBrainz(*job->toc, job->toc->offsets.size(), job->options);
    return nullptr;
}

bool wants(const Options& options, MetadataSources source)
{
    return options.metadata == MetadataSources::Both || options.metadata == source;
}

} // namespace

MatchList lookUpMatches(const std::string& drive, const Options& options, const ConversionJob& job)
{
    MatchList list;
    MusicBrainzJob musicBrainz;
    musicBrainz.options.server = options.musicBrainzServer;
    Thread thread;
    if (wants(options, MetadataSources::MusicBrainz)) {
        std::optional<DiscToc> toc = readDiscToc(drive);
        if (toc)
            musicBrainz.toc = musicBrainzToc(*toc);
        if (!musicBrainz.toc)
            list.failures.push_back("MusicBrainz lookup failed: the disc's table of contents names no audio session");
        else if (startThread(thread, runMusicBrainz, &musicBrainz) != kSuccess)
            runMusicBrainz(&musicBrainz);
    }
    if (wants(options, MetadataSources::Cddb)) {
        list.cddb = lookUpDisc(drive, options.server, options.cddbUser, job);
        if (!list.cddb.ok)
            list.failures.push_back("CDDB lookup failed: " + list.cddb.error);
        list.anySourceAnswered = list.cddb.ok;
    }
    thread.join();
    if (musicBrainz.toc) {
        list.musicBrainz = std::move(musicBrainz.result);
        list.musicBrainzFirstTrack = musicBrainz.toc->firstTrack;
        if (!list.musicBrainz.ok)
            list.failures.insert(list.failures.begin(), "MusicBrainz lookup failed: " + list.musicBrainz.error);
        list.anySourceAnswered = list.anySourceAnswered || list.musicBrainz.ok;
    }
    for (size_t i = 0; i < list.musicBrainz.matches.size(); ++i)
        list.entries.push_back({true, i});
    for (size_t i = 0; i < list.cddb.matchTitles.size(); ++i)
        list.entries.push_back({false, i});
    return list;
}

BackgroundMatchLookup::BackgroundMatchLookup(const std::string& drive, const Options& options, const ConversionJob& job)
    : m_drive(drive), m_options(options), m_job(job)
{
    if (startThread(m_thread, run, this) != kSuccess)
        run(this);
}

void* BackgroundMatchLookup::run(void* self)
{
    auto* lookup = static_cast<BackgroundMatchLookup*>(self);
    lookup->m_list = lookUpMatches(lookup->m_drive, lookup->m_options, lookup->m_job);
    return nullptr;
}

MatchList BackgroundMatchLookup::finish()
{
    m_thread.join();
    return std::move(m_list);
}

void spinUpDrive(const std::string& drive, uint32_t lba)
{
    CdDevice device;
    if (!openDevice(device, drive))
        return;
    std::vector<uint8_t> sector(kSectorBytes);
    readCd(device, lba, 1, sector.data());
    closeDevice(device);
}

std::string describeMatch(const MatchList& list, size_t n)
{
    const MatchList::Entry& entry = list.entries.at(n);
    if (!entry.musicBrainz) {
        std::string text = "CDDB         " + terminalText(list.cddb.matchTitles[entry.index]);
        const std::string& year = list.cddb.matchYears[entry.index];
        return year.empty() ? text : text + " (" + terminalText(year) + ")";
    }
    const MusicBrainzMatch& match = list.musicBrainz.matches[entry.index];
    std::string details = match.date;
    if (!match.format.empty())
        details += (details.empty() ? "" : ", ") + match.format;
    if (match.discCount > 1)
        details += (details.empty() ? "disc " : ", disc ") + std::to_string(match.discNumber) + "/" +
                   std::to_string(match.discCount);
    std::string text = "MusicBrainz  " + terminalText(match.artist) + " - " + terminalText(match.title);
    if (!details.empty())
        text += " (" + terminalText(details) + ")";
    if (list.musicBrainz.fuzzy)
        text += " [similar disc]";
    return text;
}

void printMatches(const MatchList& list, std::FILE* out)
{
    std::fprintf(out, "Matches: %zu\n", list.entries.size());
    for (size_t n = 0; n < list.entries.size(); ++n)
        std::fprintf(out, "  %zu: %s\n", n, describeMatch(list, n).c_str());
}

void applyListedMatch(const MatchList& list, size_t n, const Options& options, ConversionJob& job, std::FILE* errors)
{
    const MatchList::Entry& entry = list.entries.at(n);
    if (!entry.musicBrainz) {
        applyMatch(list.cddb, static_cast<int32_t>(entry.index), job);
        return;
    }
    const MusicBrainzMatch& match = list.musicBrainz.matches[entry.index];
    std::span<TrackEntry> tracks(job.tracks.get(), static_cast<size_t>(job.count));
    applyMusicBrainzMatch(match, tracks, list.musicBrainzFirstTrack);
    if (!options.cover || options.command != Command::Rip)
        return;
    CoverArtOptions coverOptions;
    coverOptions.server = options.coverArtServer;
    CoverArtResult cover = fetchFrontCover(match.releaseId, coverOptions);
    if (cover.missing)
        std::fprintf(errors, "Cover Art Archive: no front cover for this release\n");
    else if (!cover.picture)
        std::fprintf(errors, "tonvane: %s; the files get no cover\n", cover.error.c_str());
    for (TrackEntry& track : tracks)
        track.tags.cover = cover.picture;
}

void saveCover(const ConversionJob& job, const std::string& folder, std::FILE* errors)
{
    if (job.count == 0 || !job.tracks[0].tags.cover)
        return;
    const CoverPicture& picture = *job.tracks[0].tags.cover;
    std::string path = folder + "/" + coverFileName(picture);
    int file = createOutputFile(WideString::fromUtf8(path).view());
    bool written = file >= 0 && writeAllBytes(file, picture.bytes.data(), picture.bytes.size());
    if (file >= 0)
        written = closeOutputFile(file) && written;
    if (!written)
        std::fprintf(errors, "tonvane: %s could not be written\n", path.c_str());
}

} // namespace tonvane::cli
