#pragma once
// A drive and a sink for conversion tests: the drive serves a disc described in code whose
// sector bytes are a pure function of the LBA, so every file can be checked byte for byte.
#include "cdrom/rip/RipDrive.h"
#include "core/disc/ConversionJob.h"
#include "core/foundation/Clock.h"

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tonvane::test {

// Byte k of sector lba: deterministic, different for every sector and offset.
inline uint8_t sectorByte(int32_t lba, uint32_t offset)
{
    uint32_t x = static_cast<uint32_t>(lba) * 2352u + offset;
    x ^= x >> 15;
    x *= 0x2C1B3C6Du;
    x ^= x >> 12;
    return static_cast<uint8_t>(x);
}

inline std::string expectedPcm(int32_t start, int32_t length)
{
    std::string bytes(static_cast<size_t>(length) * 2352, '\0');
    for (int32_t s = 0; s < length; ++s)
        for (uint32_t k = 0; k < 2352; ++k)
            bytes[static_cast<size_t>(s) * 2352 + k] = static_cast<char>(sectorByte(start + s, k));
    return bytes;
}

class FakeRipDrive : public RipDrive {
public:
    bool open(std::u16string_view) override
    {
        opened = true;
        return openSucceeds;
    }
    void prepare() override { prepared = true; }
    bool readCd(int32_t lba, int32_t sectors, uint8_t* buffer) override
    {
        {
            std::lock_guard lock(mutex);
            reads.push_back({lba, sectors});
            for (int32_t s = lba; s < lba + sectors; ++s) {
                if (permanentErrors.count(s))
                    return false;
                auto transient = transientErrors.find(s);
                if (transient != transientErrors.end() && transient->second > 0) {
                    --transient->second;
                    return false;
                }
            }
        }
        if (delayMsPerRead)
            sleepMs(delayMsPerRead);
        for (int32_t s = 0; s < sectors; ++s)
            for (uint32_t k = 0; k < 2352; ++k)
                buffer[static_cast<size_t>(s) * 2352 + k] = sectorByte(lba + s, k);
        return true;
    }
    void finish() override { finished = true; }
    void close() override { closed = true; }

    std::mutex mutex;
    std::vector<std::pair<int32_t, int32_t>> reads;
    std::map<int32_t, int> transientErrors; // lba -> failures before it reads
    std::map<int32_t, int> permanentErrors;
    uint32_t delayMsPerRead = 0;
    bool openSucceeds = true;
    std::atomic<bool> opened{false}, prepared{false}, finished{false}, closed{false};
};

class RecordingSink : public ProgressSink {
public:
    explicit RecordingSink(ConversionJob& job) : m_job(job) {}
    void onProgress(int32_t track, double fraction) override
    {
        std::lock_guard lock(mutex);
        last[track] = fraction;
        ++reports[track];
        if (fraction < 0.0 || fraction > 1.0 || fraction < lastSeen[track])
            badFraction = true;
        lastSeen[track] = fraction;
    }
    void onFinished() override { ++finishedCalls; }
    bool isCancelled() override { return m_job.cancel.load() != 0; }

    std::mutex mutex;
    std::map<int32_t, double> last, lastSeen;
    std::map<int32_t, int> reports;
    std::atomic<int> finishedCalls{0};
    bool badFraction = false;

private:
    ConversionJob& m_job;
};

// Fills job with tracks of the given lengths laid out one after another from LBA 0.
inline void describeDisc(ConversionJob& job, const std::vector<int32_t>& lengths, int32_t format)
{
    job.resetTracks(static_cast<int32_t>(lengths.size()));
    int32_t start = 0;
    for (size_t i = 0; i < lengths.size(); ++i) {
        TrackEntry& entry = job.tracks[i];
        entry.trackNumber = static_cast<int32_t>(i + 1);
        entry.start = start;
        entry.length = lengths[i];
        entry.format = format;
        start += lengths[i];
    }
    job.count = static_cast<int32_t>(lengths.size());
    job.drivePath = WideString(u"demo:");
}

} // namespace tonvane::test
