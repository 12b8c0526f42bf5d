#pragma once
#include "session/DiscLookup.h"
#include "core/disc/ConversionJob.h"
#include "core/foundation/Thread.h"
#include "net/musicbrainz/MusicBrainzClient.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tonvane {

// Which sources a lookup asks and where they are.
struct LookupOptions {
    bool musicBrainz = true;
    bool cddb = true;
    std::string cddbServer; // HOST[:PORT]; empty = the stored one
    std::string cddbUser; // NAME@HOST for the hello; empty = the stored one
    std::string musicBrainzServer = "https://musicbrainz.org";
    std::string coverArtServer = "https://coverartarchive.org";
    bool cover = true; // applying a MusicBrainz match fetches its front cover
    // Set by another thread: the lookup and cover requests stop soon (within about a second)
    // and fail. Null: they run to their answers or time-outs.
    std::shared_ptr<const std::atomic<bool>> cancel;
    // The CDDB client's events (CddbObserver codes: connecting, connected, sending, receiving,
    // ...) as they happen, on its event thread; it must not wait. Empty: not told.
    std::function<void(int code)> onCddbEvent;
};

// Every match the chosen sources found for the disc: MusicBrainz releases first, then the CDDB
// matches, numbered from 0 in that order.
struct MatchList {
    struct Entry {
        bool musicBrainz = false;
        size_t index = 0; // within its source
    };
    std::vector<Entry> entries;
    std::vector<std::string> failures; // one line per source that failed
    bool anySourceAnswered = false;
    MusicBrainzLookup musicBrainz;
    int32_t musicBrainzFirstTrack = 1;
    LookupOutcome cddb;
};

// Looks the disc in drive up in the sources the options name, both at once.
MatchList lookUpMatches(const std::string& drive, const LookupOptions& options, const ConversionJob& job);
// lookUpMatches on a thread of its own, so that the drive can spin up meanwhile. The options and
// the job must outlive finish().
class BackgroundMatchLookup {
public:
    BackgroundMatchLookup(const std::string& drive, const LookupOptions& options, const ConversionJob& job);
    ~BackgroundMatchLookup() { m_thread.join(); }
    BackgroundMatchLookup(const BackgroundMatchLookup&) = delete;
    BackgroundMatchLookup& operator=(const BackgroundMatchLookup&) = delete;
    // Waits for the lookup and hands its list over.
    MatchList finish();

private:
    static void* run(void* self);
    std::string m_drive;
    const LookupOptions& m_options;
    const ConversionJob& m_job;
    MatchList m_list;
    Thread m_thread;
};

// Reads the sector at lba once, so that the drive is up to speed when the rip starts; failures
// do not matter (the rip reports its own).
void spinUpDrive(const std::string& drive, uint32_t lba);

// Copies match n into the job's titles and tags. For a MusicBrainz match with covers wanted,
// fetches the front cover into every track's tags. Answers a line for the person when the cover
// could not be had (empty otherwise).
std::string applyListedMatch(const MatchList& list, size_t n, const LookupOptions& options, ConversionJob& job);
// The front cover of match n as applyListedMatch fetches it: only a MusicBrainz match with
// covers wanted has one, and only a picture acceptCoverImage takes. Null otherwise, with the
// line for the person in note (empty when there was nothing to fetch). Blocks for the fetch.
std::shared_ptr<const CoverPicture> fetchListedCover(const MatchList& list, size_t n, const LookupOptions& options,
                                                     std::string& note);
// Writes the cover the tracks carry as cover.jpg / cover.png into folder, unless a file of that
// name is there already. Answers a line naming the file when it could not be written.
std::string saveCover(const ConversionJob& job, const std::string& folder);

} // namespace tonvane
