#pragma once
#include "session/AccurateRipLookup.h"
#include "session/LoudnessMeter.h"
#include "session/MatchList.h"
#include "session/RipChecks.h"
#include "session/SessionObserver.h"
#include "cdrom/rip/RipThread.h"
#include "cdrom/rip/SecureReader.h"
#include "core/disc/ConversionJob.h"
#include "core/foundation/Event.h"
#include "core/foundation/Thread.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

class AccurateRipFetch;
class DeviceRipDrive;
class EncoderPool;

// Everything a rip needs beyond the loaded job.
struct SessionSettings {
    std::string drive; // path the disc was loaded from
    std::string folder; // UTF-8, without the final '/'; created before start()
    std::optional<int32_t> readOffset; // [samples] given: used and stored for the drive model
    bool accurateRip = true;
    std::string accurateRipServer; // HOST[:PORT]; empty = the stored one, else the database
    std::string cacheFolder; // AccurateRip records; empty = none
    ReadMode mode = ReadMode::Single;
    int32_t lanes = 0; // 0 = one per processor
    std::optional<uint64_t> driveCacheBytes; // [bytes] for secure re-reads
    TrackOrder order = TrackOrder::DiscOrder;
    // Replace also lets the log and CUE sheet replace earlier ones of the same name; Refuse
    // writes them as "Name (2).log" and so on.
    ExistingFiles existingFiles = ExistingFiles::Refuse;
    std::string version; // "Tonvane 0.2", for the log
    // Each whole track's loudness measured as it is read, and ReplayGain tags written into the
    // files once the album is known (WAV files get none).
    bool replayGain = true;
    bool truePeak = false; // the peak oversampled (slower) instead of the highest sample
    // Shared with the sessions of other drives that rip at the same time; must outlive the
    // session. Null: this rip's lanes as above.
    EncoderPool* encoderPool = nullptr;
    std::vector<std::string> logNotes; // lines the log carries after the album (how it was chosen)
};

// One rip of the loaded disc, phase by phase: lookups and matches on the caller's thread (the
// command line), then read offset, AccurateRip record, gaps, the conversion with per-track
// events, and the log and CUE sheet on a thread of the session. Every event goes to one
// observer through the deliver function. The job, observer and front sink must outlive the
// session; the destructor stops a running rip and waits for it.
class RipSession {
public:
    RipSession(ConversionJob& job, SessionSettings settings, SessionObserver& observer, SessionDeliver deliver);
    ~RipSession();
    RipSession(const RipSession&) = delete;
    RipSession& operator=(const RipSession&) = delete;

    // Tells the observer the disc is loaded.
    void discLoaded();
    // Both sources at once while the drive spins up for the first selected track; the failures
    // go to the observer as notes.
    MatchList lookUp(const LookupOptions& options);
    // Match n into the titles and tags (a MusicBrainz match with its cover).
    void applyMatch(const MatchList& list, size_t n, const LookupOptions& options);
    // The tracks' cover as cover.jpg / cover.png into the folder, unless one is there.
    void keepCover();
    // The folder and the like may be settled after the lookups (the per-disc folder).
    SessionSettings& settings() { return m_settings; }

    // Starts the rip phases on the session's thread. frontSink sees the progress of every track
    // and onFinished once the log and CUE sheet are written (or could not be). False when the
    // thread could not start.
    bool start(ProgressSink* frontSink);
    // Stops the running tracks; the log still follows, saying the rip was interrupted.
    void interrupt();
    // Waits for the session's thread.
    void wait();
    bool running() const { return m_running.load(); }
    bool interrupted() const { return m_interrupted.load(); }

private:
    class Sink;

    static void* run(void* self);
    void runPhases();
    void chooseReadOffset();
    void fetchRecord();
    void finishRecord();
    void detectGaps();
    bool convert();
    void watchTracks(std::vector<TrackStatus>& seen, bool conversionOver);
    TrackVerdict verdictOf(int32_t index) const;
    void writeLoudness();
    void report();
    void writeReportFile(const std::string& base, const char* extension, const std::string& text,
                         std::string& writtenPath);

    void deliverPhase(SessionPhase phase, std::string detail);
    void deliverNote(std::string line);

    ConversionJob& m_job;
    SessionSettings m_settings;
    SessionObserver& m_observer;
    SessionDeliver m_deliver;
    ProgressSink* m_frontSink = nullptr;
    std::unique_ptr<Sink> m_sink;
    std::unique_ptr<DeviceRipDrive> m_ripDrive; // the rip thread's, for this session alone

    std::string m_model;
    int32_t m_readOffset = 0; // [samples]
    std::optional<TocSnapshot> m_toc;
    std::string m_discId;
    AccurateRipRecord m_record;
    std::unique_ptr<AccurateRipFetch> m_fetch; // running while a normal rip reads
    std::vector<uint32_t> m_gaps; // [sectors] per job track; empty: unknown
    std::unique_ptr<RipChecks> m_checks;
    std::unique_ptr<LoudnessMeter> m_loudness; // null without ReplayGain
    std::vector<std::string> m_loudnessLines; // per job track, for the log; empty: none
    std::string m_albumLoudness; // for the log
    SessionOutcome m_outcome;

    Event m_conversionEnded;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_interrupted{false};
    Thread m_thread;
};

// "Album artist/Album" (" (Disc n)" added for a set) from the first selected track's tags, each
// part through safePathComponent; "Unknown disc <discId>" when the disc has no album title.
std::string discFolderName(const ConversionJob& job, const std::string& discId);
// path itself when nothing is there, else path with " (2)", " (3)", ... before its extension:
// the first that is free.
std::string freePath(const std::string& path);
// The final names of the selected tracks that exist already (UTF-8, in disc order).
std::vector<std::string> existingTrackFiles(const ConversionJob& job);
// The CDDB disc id (8 hex digits) of the disc in drive, empty when its TOC cannot be read.
std::string cddbDiscIdOf(const std::string& drive);

} // namespace tonvane
