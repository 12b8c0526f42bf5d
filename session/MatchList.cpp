#include "session/MatchList.h"

#include "cdrom/device/CdDevice.h"
#include "cdrom/mmc/MmcCommands.h"
#include "encoders/framework/OutputFile.h"
#include "encoders/cover/CoverImageCheck.h"
#include "net/musicbrainz/CoverArtClient.h"
#include "net/musicbrainz/MusicBrainzTransfer.h"

#include <unistd.h>

namespace tonvane {

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

} // namespace

MatchList lookUpMatches(const std::string& drive, const LookupOptions& options, const ConversionJob& job)
{
    MatchList list;
    MusicBrainzJob musicBrainz;
    musicBrainz.options.server = options.musicBrainzServer;
    musicBrainz.options.cancel = options.cancel.get();
    Thread thread;
    if (options.musicBrainz) {
        std::optional<DiscToc> toc = readDiscToc(drive);
        if (toc)
            musicBrainz.toc = musicBrainzToc(*toc);
        if (!musicBrainz.toc)
            list.failures.push_back("MusicBrainz lookup failed: the disc's table of contents names no audio session");
        else if (startThread(thread, runMusicBrainz, &musicBrainz) != kSuccess)
            runMusicBrainz(&musicBrainz);
    }
    if (options.cddb) {
        list.cddb = lookUpDisc(drive, options.cddbServer, options.cddbUser, job, options.cancel.get(),
                               options.onCddbEvent);
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

BackgroundMatchLookup::BackgroundMatchLookup(const std::string& drive, const LookupOptions& options,
                                             const ConversionJob& job)
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

std::shared_ptr<const CoverPicture> fetchListedCover(const MatchList& list, size_t n, const LookupOptions& options,
                                                     std::string& note)
{
    note.clear();
    if (n >= list.entries.size() || !list.entries[n].musicBrainz || !options.cover)
        return nullptr;
    const MusicBrainzMatch& match = list.musicBrainz.matches[list.entries[n].index];
    CoverArtOptions coverOptions;
    coverOptions.server = options.coverArtServer;
    coverOptions.cancel = options.cancel.get();
    CoverArtResult cover = fetchFrontCover(match.releaseId, coverOptions);
    // A picture goes into every file: only one that decodes whole, at a sane size, is taken.
    std::string refused;
    if (cover.picture && !acceptCoverImage(cover.picture->bytes, refused))
        cover.picture.reset();
    if (cover.missing)
        note = "Cover Art Archive: no front cover for this release";
    else if (!refused.empty())
        note = "Cover Art Archive: the front cover is refused (" + refused + "); the files get no cover";
    else if (!cover.picture)
        note = cover.error + "; the files get no cover";
    return cover.picture;
}

std::string applyListedMatch(const MatchList& list, size_t n, const LookupOptions& options, ConversionJob& job)
{
    const MatchList::Entry& entry = list.entries.at(n);
    if (!entry.musicBrainz) {
        applyMatch(list.cddb, static_cast<int32_t>(entry.index), job);
        return {};
    }
    const MusicBrainzMatch& match = list.musicBrainz.matches[entry.index];
    std::span<TrackEntry> tracks(job.tracks.get(), static_cast<size_t>(job.count));
    applyMusicBrainzMatch(match, tracks, list.musicBrainzFirstTrack);
    if (!options.cover)
        return {};
    std::string note;
    std::shared_ptr<const CoverPicture> cover = fetchListedCover(list, n, options, note);
    for (TrackEntry& track : tracks)
        track.tags.cover = cover;
    return note;
}

std::string saveCover(const ConversionJob& job, const std::string& folder)
{
    if (job.count == 0 || !job.tracks[0].tags.cover)
        return {};
    const CoverPicture& picture = *job.tracks[0].tags.cover;
    std::string path = folder + "/" + coverFileName(picture);
    if (::access(path.c_str(), F_OK) == 0)
        return {}; // an earlier rip's cover of this folder stays
    int file = createOutputFile(WideString::fromUtf8(path).view());
    bool written = file >= 0 && writeAllBytes(file, picture.bytes.data(), picture.bytes.size());
    if (file >= 0)
        written = closeOutputFile(file) && written;
    return written ? std::string() : path + " could not be written";
}

} // namespace tonvane
