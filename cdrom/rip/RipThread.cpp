#include "cdrom/rip/RipThread.h"

#include "cdrom/rip/ChunkReader.h"
#include "cdrom/rip/DrainSignal.h"
#include "cdrom/rip/EncoderPool.h"
#include "cdrom/rip/OffsetRipDrive.h"
#include "cdrom/rip/RipDrive.h"
#include "cdrom/rip/RipObserver.h"
#include "cdrom/rip/RipSlot.h"
#include "cdrom/rip/TrackEncoderStarter.h"
#include "core/foundation/Clock.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace tonvane {

namespace {

constexpr size_t kReadBufferBytes = kSectorsPerRead * kSectorBytes; // 37632
// The part of a secure track's bar its reads fill; its encoding the rest. The reads take most of
// the time: two passes over a 5-minute track at 8x take 75 s, its encoding a few seconds.
constexpr double kSecureReadShare = 0.9;

struct RipThreadParams {
    ConversionJob* job;
    RipEnvironment environment;
};

// The rip thread: fills the lanes' streams from the drive in turn while one encoder per lane
// drains each stream; a lane takes the next track of the order once its track is read and
// drained.
class RipRun {
public:
    RipRun(ConversionJob& job, const RipEnvironment& environment)
        : m_job(job), m_device(*environment.drive), m_drive(&m_device), m_encoders(*environment.encoders),
          m_observer(environment.observer), m_options(environment.options)
    {
    }

    void run()
    {
        int32_t selected = m_job.selectedCount();
        if (selected == 0) {
            // Nothing to convert: no lane, no drive access.
            finishJob();
            return;
        }
        m_laneCount = ripLaneCount(selected, m_options);
        if (m_options.encoderPool) // more lanes than tokens could never all work
            m_laneCount = std::min(m_laneCount, m_options.encoderPool->size());
        // One lane gains nothing from another order and would only make the drive seek.
        m_order = ripTrackOrder(m_job, m_laneCount > 1 ? m_options.order : TrackOrder::DiscOrder);
        m_lanes = std::make_unique<RipSlot[]>(static_cast<size_t>(m_laneCount));
        // The drive can deliver the audio tracks' sectors only: what an offset shift takes
        // beyond them is silence, and the cache-emptying reads stay among them.
        int32_t readableStart = m_job.tracks[0].start, readableEnd = 0;
        for (int32_t t = 0; t < m_job.count; ++t) {
            readableStart = std::min(readableStart, m_job.tracks[t].start);
            readableEnd = std::max(readableEnd, m_job.tracks[t].start + m_job.tracks[t].length);
        }
        std::optional<OffsetRipDrive> corrected;
        if (m_options.readOffset != 0) {
            int32_t offset = std::clamp(m_options.readOffset, -kMaxReadOffset, kMaxReadOffset);
            corrected.emplace(m_device, offset, readableStart, readableEnd);
            m_drive = &*corrected;
        }
        ChunkReader reader(m_drive, m_job.cancel, m_options.readAttempts, m_options.firstBackoffMs);
        m_reader = &reader;
        bool opened = m_drive->open(m_job.drivePath.view());
        if (opened)
            m_drive->prepare();

        std::optional<SecureReader> secure;
        if (m_options.mode != ReadMode::Single) {
            uint32_t readPast = opened ? driveCacheToReadPast(readableStart, readableEnd) : kDefaultDriveCacheBytes;
            secure.emplace(reader, m_observer, SecureOptions{m_options.mode, readPast}, readableStart, readableEnd);
            m_secure = &*secure;
            // Each track is read whole before its encoder sees a byte: the reads fill the bar
            // first, so that it moves while the drive works.
            for (int32_t i = 0; i < m_job.count; ++i)
                track(i).progressBase.store(kSecureReadShare);
            secure->setProgress([this](int32_t trackIndex, double fraction) {
                if (m_job.sink != nullptr)
                    m_job.sink->onProgress(trackIndex, kSecureReadShare * fraction);
            });
        }

        fillLanes();
        if (!cancelled())
            scheduleLanes();

        waitForEncoders();
        m_member.reset(); // every encoder of this rip is gone: its tokens go back
        if (opened) {
            m_drive->finish();
            m_drive->close();
        }
        finishJob();
        m_lanes.reset(); // releases the streams after every encoder is gone
    }

private:
    bool cancelled() const { return m_job.cancel.load(std::memory_order_acquire) != 0; }
    TrackEntry& track(int32_t index) { return m_job.tracks[index]; }

    // The cache secure re-reads must read past: given, measured on the drive itself (its
    // sectors, before any offset correction), or assumed. The observer learns the figure.
    uint32_t driveCacheToReadPast(int32_t readableStart, int32_t readableEnd)
    {
        uint32_t bytes = kDefaultDriveCacheBytes, readPast = kDefaultDriveCacheBytes;
        DriveCacheSource source = DriveCacheSource::Assumed;
        if (m_options.driveCacheBytes) {
            bytes = readPast = *m_options.driveCacheBytes;
            source = DriveCacheSource::Given;
        } else if (std::optional<uint32_t> measured =
                       measureDriveCache(m_device, readableStart, readableEnd, m_job.cancel)) {
            bytes = *measured;
            readPast = cacheBytesToReadPast(*measured);
            source = DriveCacheSource::Measured;
        }
        if (m_observer)
            m_observer->onDriveCache(bytes, source);
        return readPast;
    }

    void takeNextTrack()
    {
        ++m_orderPosition;
        m_next = m_orderPosition < m_order.size() ? m_order[m_orderPosition] : -1;
        if (m_member && m_next < 0)
            m_member->withdraw();
    }

    void fillLanes()
    {
        m_orderPosition = 0;
        m_next = m_order.empty() ? -1 : m_order.front();
        if (m_options.encoderPool) {
            // Lanes get their streams and tracks as the pool gives them tokens.
            m_member.emplace(*m_options.encoderPool, m_drains);
            for (int32_t i = 0; i < m_laneCount; ++i)
                m_lanes[i].token = LaneToken::Idle;
            return;
        }
        for (int32_t i = 0; i < m_laneCount; ++i) {
            RipSlot& lane = m_lanes[i];
            if (!lane.stream.allocate())
                continue; // out of memory: this lane stays empty, the others take its tracks
            lane.stream.setDrainSignal(&m_drains);
            if (m_next < 0)
                break;
            startTrack(lane, m_next);
            takeNextTrack();
        }
        bool anyUsable = false;
        for (int32_t i = 0; i < m_laneCount; ++i)
            anyUsable = anyUsable || m_lanes[i].usable();
        if (!anyUsable) {
            // Not one stream could be had: every selected track fails, nothing hangs.
            for (; m_next >= 0; takeNextTrack())
                track(m_next).status.store(TrackStatus::Failed);
        }
    }

    void startTrack(RipSlot& lane, int32_t index)
    {
        TrackEntry& entry = track(index);
        lane.trackIndex = index;
        lane.trackFailed = false;
        lane.checked = false;
        lane.checkedPcm.clear();
        lane.checkedPcm.shrink_to_fit();
        lane.full = false;
        lane.nextSector = entry.start;
        lane.endSector = entry.start + entry.length;
        entry.damaged.store(0);
        entry.status.store(TrackStatus::Converting);
        if (!m_encoders.startEncoder(lane.encoder, m_job, index, lane.stream)) {
            // No encoder thread (unknown format, or no thread to be had): nothing will drain
            // this track, so it is not read at all.
            if (formatExtension(entry.format))
                entry.status.store(TrackStatus::Failed);
            else
                entry.status.store(TrackStatus::Pending);
            lane.nextSector = lane.endSector;
        }
    }

    // Gives up the rest of the lane's track after a read failed for good. The encoder learns it
    // from the track's status once it has drained what was read, finishes its temporary file and
    // removes it.
    void failTrack(RipSlot& lane)
    {
        track(lane.trackIndex).status.store(TrackStatus::Failed);
        lane.trackFailed = true;
        lane.nextSector = lane.endSector;
        lane.stream.wake();
    }

    void noteUnreadable(int32_t trackIndex, const std::vector<int32_t>& sectors)
    {
        if (sectors.empty())
            return;
        // Before the chunk enters the stream: the encoder must know it before it commits.
        track(trackIndex).damaged.store(1);
        if (m_observer)
            for (int32_t lba : sectors)
                m_observer->onUnreadableSector(trackIndex, lba);
    }

    // The lane's next chunk into m_buffer: from the drive, or in secure reading from the track
    // read and checked as a whole when the lane first needs it.
    bool nextChunk(RipSlot& lane, int32_t sectors)
    {
        if (m_options.mode == ReadMode::Single) {
            std::vector<int32_t> unreadable;
            if (!m_reader->read(lane.nextSector, sectors, m_buffer, unreadable))
                return false; // the chunk is not written: its sectors are no silence in the file
            noteUnreadable(lane.trackIndex, unreadable);
            return true;
        }
        const TrackEntry& entry = track(lane.trackIndex);
        if (!lane.checked) {
            std::vector<int32_t> unreadable;
            if (!m_secure->readTrack(lane.trackIndex, entry.start, entry.length, lane.checkedPcm, unreadable))
                return false;
            noteUnreadable(lane.trackIndex, unreadable);
            lane.checked = true;
        }
        size_t at = static_cast<size_t>(lane.nextSector - entry.start) * kSectorBytes;
        std::memcpy(m_buffer, lane.checkedPcm.data() + at, static_cast<size_t>(sectors) * kSectorBytes);
        return true;
    }

    // Reads into the current lane while its stream has room.
    void fillLane(RipSlot& lane, int32_t& chunkLimit)
    {
        while (lane.nextSector < lane.endSector && !cancelled()) {
            chunkLimit = std::min(chunkLimit, lane.endSector - lane.nextSector);
            size_t bytes = static_cast<size_t>(chunkLimit) * kSectorBytes;
            if (lane.stream.freeSpace() < bytes) {
                track(lane.trackIndex).waiting.store(1);
                lane.full = true;
                return;
            }
            if (!nextChunk(lane, chunkLimit)) {
                // Not one sector of the chunk reads: the drive or the disc is gone.
                if (!cancelled())
                    failTrack(lane);
                return;
            }
            if (m_observer)
                m_observer->onAudio(lane.trackIndex, lane.nextSector - track(lane.trackIndex).start, m_buffer, bytes);
            while (!lane.stream.write(m_buffer, bytes))
                yieldProcessor();
            lane.nextSector += chunkLimit;
            if (lane.full) {
                // The encoder caught up: a second lane asked for because of it is not needed.
                lane.full = false;
                if (m_member && m_member->held() > 0)
                    m_member->withdraw();
            }
        }
    }

    bool laneBusy(const RipSlot& lane) const
    {
        if (lane.token == LaneToken::NoStream)
            return true;
        if (lane.token == LaneToken::Idle)
            return m_next < 0; // with a track waiting, it asks the pool for a token
        return !lane.usable() || lane.nextSector < lane.endSector || m_next < 0 || !lane.stream.drained();
    }

    bool allLanesRead() const
    {
        for (int32_t i = 0; i < m_laneCount; ++i)
            if (m_lanes[i].nextSector != m_lanes[i].endSector)
                return false;
        return true;
    }

    // The lane's track is read and drained and another track waits: start it on this lane,
    // unless the lane must first get a token from the pool or give its own to a rip that waits
    // with fewer. True when the lane took the track.
    bool advanceLane(RipSlot& lane)
    {
        if (lane.token == LaneToken::Idle) {
            if (!takeToken(lane))
                return false;
        } else {
            retireEncoder(lane);
            if (lane.token == LaneToken::Held && m_member->shouldYield()) {
                giveBackToken(lane);
                return false;
            }
        }
        startTrack(lane, m_next);
        takeNextTrack();
        return true;
    }

    // The lane's encoder has read its track's last byte; it is done with the stream unless the
    // track was given up.
    void retireEncoder(RipSlot& lane)
    {
        if (lane.trackFailed) {
            // The old encoder may still be polling this stream; it must be gone before the
            // stream carries another track's audio.
            lane.stream.wake();
            lane.encoder.join();
        } else if (lane.encoder.joinable()) {
            // It has read its last byte and is only finishing its file. Those that have ended
            // are joined now: a long job must not keep every exited thread until its end.
            std::erase_if(lane.finishing, [](Thread& thread) { return thread.tryJoin(); });
            lane.finishing.push_back(std::move(lane.encoder));
        }
        lane.trackFailed = false;
    }

    // The first token always; another only while every lane this rip has is held up by its
    // encoder (a full stream), since a lane more cannot make the drive faster.
    bool wantsToken() const
    {
        for (int32_t i = 0; i < m_laneCount; ++i)
            if (m_lanes[i].token == LaneToken::Held && !m_lanes[i].full)
                return false;
        return true;
    }

    bool takeToken(RipSlot& lane)
    {
        if (!wantsToken()) {
            m_member->withdraw();
            return false;
        }
        if (!m_member->tryAcquire())
            return false;
        if (!lane.stream.allocated()) {
            if (!lane.stream.allocate()) {
                m_member->release();
                lane.token = LaneToken::NoStream;
                failWithoutLanes();
                return false;
            }
            lane.stream.setDrainSignal(&m_drains);
        }
        lane.token = LaneToken::Held;
        return true;
    }

    // The lane's encoder is retired: the token goes back to the pool.
    void giveBackToken(RipSlot& lane)
    {
        lane.token = LaneToken::Idle;
        lane.trackIndex = -1;
        lane.full = false;
        m_member->release();
    }

    // A lane that has read and drained the last track of the rip needs its token no more.
    void releaseFinishedLane(RipSlot& lane)
    {
        if (lane.token == LaneToken::Held && m_next < 0 && lane.nextSector >= lane.endSector && lane.stream.drained()) {
            lane.token = LaneToken::Idle;
            m_member->release();
        }
    }

    // Not one lane could get stream memory: every track left fails, nothing hangs.
    void failWithoutLanes()
    {
        for (int32_t i = 0; i < m_laneCount; ++i)
            if (m_lanes[i].token != LaneToken::NoStream)
                return;
        for (; m_next >= 0; takeNextTrack())
            track(m_next).status.store(TrackStatus::Failed);
    }

    void scheduleLanes()
    {
        int32_t current = 0;
        int32_t chunkLimit = kSectorsPerRead;
        uint64_t lastRotation = 0;
        int32_t unpausedTurns = 0; // after a drain woke us, every lane is visited once at once
        if (m_lanes[current].trackIndex >= 0)
            track(m_lanes[current].trackIndex).waiting.store(0);
        for (;;) {
            // Taken before looking at the lane, so that a stream drained from here on ends the
            // pause below at once.
            const uint32_t drainsSeen = m_drains.count();
            RipSlot& lane = m_lanes[current];
            if (lane.usable() && lane.trackIndex >= 0)
                fillLane(lane, chunkLimit);
            if (cancelled())
                return;
            if (m_member)
                releaseFinishedLane(lane);
            if (laneBusy(lane) || !advanceLane(lane)) {
                current = (current + 1) % m_laneCount;
                uint64_t now = tickCountMs();
                if (unpausedTurns > 0)
                    --unpausedTurns;
                else if (m_laneCount == 1 || now - lastRotation < kRotationMinimumMs)
                    unpausedTurns = m_drains.waitFor(drainsSeen, kRotationSleepMs) ? m_laneCount : 0;
                lastRotation = now;
            }
            if (m_next < 0 && allLanesRead())
                return;
            RipSlot& next = m_lanes[current];
            if (next.trackIndex >= 0)
                track(next.trackIndex).waiting.store(0);
            chunkLimit = kSectorsPerRead;
            if (cancelled())
                return;
        }
    }

    void waitForEncoders()
    {
        for (int32_t i = 0; i < m_laneCount; ++i) {
            RipSlot& lane = m_lanes[i];
            lane.stream.wake(); // an encoder waiting for data sees the cancel or the failure
            lane.encoder.join();
            for (Thread& thread : lane.finishing)
                thread.join();
            lane.finishing.clear();
        }
    }

    void finishJob()
    {
        m_job.running.store(0, std::memory_order_release);
        if (m_job.sink)
            m_job.sink->onFinished();
    }

    ConversionJob& m_job;
    RipDrive& m_device;
    RipDrive* m_drive; // the device, or its offset correction
    ChunkReader* m_reader = nullptr; // READ CD with the retry rules, for this run
    SecureReader* m_secure = nullptr; // secure reading, for this run
    TrackEncoderStarter& m_encoders;
    RipObserver* m_observer;
    RipOptions m_options;
    int32_t m_laneCount = 0;
    DrainSignal m_drains; // declared before the lanes: their streams point at it
    std::optional<EncoderPool::Member> m_member; // this rip's place in a shared pool; wakes m_drains
    std::unique_ptr<RipSlot[]> m_lanes;
    std::vector<int32_t> m_order; // the selected tracks in the order lanes take them
    size_t m_orderPosition = 0; // of m_next in m_order
    int32_t m_next = -1; // next track to hand to a free lane, -1 when none is left
    uint8_t m_buffer[kReadBufferBytes];
};

void ripThreadMain(RipThreadParams params)
{
    nameThisThread("rip"); // benchmarks time a conversion by this thread's life
    auto run = std::make_unique<RipRun>(*params.job, params.environment);
    run->run();
}

} // namespace

std::vector<int32_t> ripTrackOrder(const ConversionJob& job, TrackOrder order)
{
    std::vector<int32_t> indices;
    for (int32_t t = job.firstSelected(); t >= 0; t = job.nextSelected(t))
        indices.push_back(t);
    if (order == TrackOrder::LongestFirst)
        std::stable_sort(indices.begin(), indices.end(),
                         [&](int32_t a, int32_t b) { return job.tracks[a].length > job.tracks[b].length; });
    return indices;
}

int32_t ripLaneCount(int32_t selectedTracks, const RipOptions& options)
{
    int32_t lanes = options.laneOverride > 0 ? options.laneOverride : static_cast<int32_t>(processorCount());
    return selectedTracks < lanes ? selectedTracks : lanes;
}

bool startConversion(ConversionJob& job, const WideString& folder, ProgressSink& sink, const RipEnvironment& environment)
{
    if (job.running.load(std::memory_order_acquire) || !environment.drive || !environment.encoders)
        return false;
    job.ripThread.join(); // a finished conversion's thread is only releasing the drive
    for (int32_t i = 0; i < job.count; ++i) {
        job.tracks[i].progress.store(0.0);
        job.tracks[i].progressBase.store(0.0);
        job.tracks[i].status.store(TrackStatus::Pending);
        job.tracks[i].waiting.store(1);
        job.tracks[i].damaged.store(0);
    }
    job.sink = &sink;
    job.outputFolder = folder;
    job.running.store(1, std::memory_order_release);
    RipThreadParams params{&job, environment};
    if (startThreadWithCopy(job.ripThread, ripThreadMain, params) != kSuccess) {
        job.running.store(0, std::memory_order_release);
        return false;
    }
    return true;
}

void closeStop(ConversionJob& job)
{
    if (!job.ripThread.joinable())
        return;
    job.cancel.store(1, std::memory_order_release);
    job.ripThread.join();
}

void waitForConversion(ConversionJob& job)
{
    job.ripThread.join();
}

} // namespace tonvane
