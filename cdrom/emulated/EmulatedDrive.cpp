#include "cdrom/emulated/EmulatedDrive.h"

#include "cdrom/mmc/BigEndian.h"
#include "cdrom/mmc/MmcCommands.h"
#include "core/foundation/Clock.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <thread>

namespace tonvane {

namespace {

// Sense (key / ASC / ASCQ) the drive answers with.
struct Sense {
    uint8_t key;
    uint8_t asc;
    uint8_t ascq;
};
constexpr Sense kNoMedium{kSenseKeyNotReady, 0x3A, 0x00};
constexpr Sense kBecomingReady{kSenseKeyNotReady, 0x04, 0x01};
constexpr Sense kUnrecoveredReadError{kSenseKeyMediumError, 0x11, 0x00};
constexpr Sense kInvalidOpcode{kSenseKeyIllegalRequest, 0x20, 0x00};
constexpr Sense kLbaOutOfRange{kSenseKeyIllegalRequest, 0x21, 0x00};
constexpr Sense kInvalidFieldInCdb{kSenseKeyIllegalRequest, 0x24, 0x00};
constexpr Sense kParameterListLength{kSenseKeyIllegalRequest, 0x1A, 0x00};
constexpr Sense kIllegalModeForTrack{kSenseKeyIllegalRequest, 0x64, 0x00};
constexpr Sense kRemovalPrevented{kSenseKeyIllegalRequest, 0x53, 0x02};
constexpr Sense kEjectFailed{kSenseKeyHardwareError, 0x53, 0x00};

constexpr uint8_t kFixedSenseCurrent = 0x70;
constexpr uint8_t kFixedSenseAdditionalLength = 10; // bytes after byte 7
constexpr size_t kFixedSenseLength = 18;

constexpr size_t kInquiryLength = 36;
constexpr uint8_t kPeripheralCdDvd = 0x05;
constexpr uint8_t kRemovableMedium = 0x80;
constexpr uint8_t kSpcVersion = 0x05;
constexpr uint8_t kResponseDataFormat = 0x02;

constexpr uint32_t kMsfOffset = 150; // [sectors] LBA 0 is MSF 00:02:00
constexpr uint8_t kAdrPosition = 0x10; // ADR 1: Q sub-channel encodes the current position
constexpr uint8_t kControlData = 0x04;

constexpr size_t kDiscInformationBlockLength = 34;
constexpr uint8_t kDiscCompleteFinalized = 0x0E; // last session complete, disc finalized
constexpr size_t kTrackInformationBlockLength = 48;
constexpr uint8_t kTrackModeData = 0x04; // byte 5: data track, recorded uninterrupted
constexpr uint8_t kDataModeOne = 0x01; // byte 6
constexpr uint8_t kAddressLba = 0x00;
constexpr uint8_t kAddressTrack = 0x01;

constexpr uint16_t kFeatureProfileList = 0x0000;
constexpr uint16_t kFeatureCore = 0x0001;
constexpr uint16_t kFeatureCdRead = 0x001E;
constexpr uint8_t kFeaturePersistentCurrent = 0x03;
constexpr uint8_t kFeatureCurrent = 0x01;
constexpr uint32_t kInterfaceAtapi = 0x00000002;

constexpr size_t kPerformanceHeaderLength = 8;
constexpr size_t kPerformanceDescriptorLength = 16;
constexpr uint8_t kCdDaExpected = 1; // READ CD expected sector type
constexpr uint8_t kUserDataOnly = 0x10;
constexpr uint8_t kSubChannelQFormatted = 0x02; // READ CD byte 10
constexpr size_t kQBytes = 16; // [bytes] per sector

std::vector<uint16_t> profileListFor(uint16_t current)
{
    std::vector<uint16_t> profiles = {kProfileCdRom, kProfileCdR, kProfileCdRw};
    if (current != 0 && std::find(profiles.begin(), profiles.end(), current) == profiles.end())
        profiles.insert(profiles.begin(), current);
    return profiles;
}

} // namespace

struct EmulatedDriveState {
    std::shared_ptr<const EmulatedDisc> disc; // null while no medium is in
    std::shared_ptr<const EmulatedDisc> lastDisc;
    EmulatedDriveConfig config;
    uint64_t mediumSinceMs = 0;
    std::map<uint32_t, uint32_t> failuresSoFar; // by faulty LBA
    uint64_t sectorsRead = 0;
    uint64_t sectorsFromCache = 0;
    std::map<uint32_t, uint32_t> corruptReadsSoFar; // by damaged LBA
    std::map<uint32_t, std::vector<uint8_t>> cache; // by LBA: bytes as delivered
    std::deque<uint32_t> cacheOrder; // oldest first
    bool preventRemoval = false;
    const void* lockOwner = nullptr;
    uint16_t lastSpeed = 0;
    uint64_t busyUntilNs = 0; // speed limit: when the drive has delivered what was asked so far
    std::vector<RecordedCommand> recorded;
};

namespace {

// The answer being built for one command.
struct Answer {
    const ScsiRequest& request;
    ScsiReply& reply;

    void fail(Sense sense)
    {
        reply.status = kScsiStatusCheckCondition;
        reply.sense.fill(0);
        reply.sense[0] = kFixedSenseCurrent;
        reply.sense[2] = sense.key;
        reply.sense[7] = kFixedSenseAdditionalLength;
        reply.sense[12] = sense.asc;
        reply.sense[13] = sense.ascq;
        reply.senseLength = kFixedSenseLength;
    }
    // Copies what fits of both the allocation length and the data buffer.
    void send(const uint8_t* bytes, size_t length, size_t allocation)
    {
        size_t count = std::min({length, allocation, request.dataLength});
        if (count != 0 && request.data != nullptr)
            std::memcpy(request.data, bytes, count);
    }
};

void putFeatureHeader(std::vector<uint8_t>& out, uint16_t code, uint8_t flags, uint8_t additional)
{
    out.push_back(static_cast<uint8_t>(code >> 8));
    out.push_back(static_cast<uint8_t>(code));
    out.push_back(flags);
    out.push_back(additional);
}

void putBe32(std::vector<uint8_t>& out, uint32_t value)
{
    uint8_t bytes[4];
    writeBe32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

void lbaToMsf(uint32_t lba, uint8_t* out)
{
    uint32_t frames = lba + kMsfOffset;
    out[0] = 0;
    out[1] = static_cast<uint8_t>(frames / (60 * 75));
    out[2] = static_cast<uint8_t>(frames / 75 % 60);
    out[3] = static_cast<uint8_t>(frames % 75);
}

uint8_t toBcd(uint32_t value) { return static_cast<uint8_t>((value / 10) << 4 | value % 10); }

void putBcdMsf(uint32_t frames, uint8_t* out)
{
    out[0] = toBcd(frames / (60 * 75));
    out[1] = toBcd(frames / 75 % 60);
    out[2] = toBcd(frames % 75);
}

// The formatted Q sub-channel of each sector: ADR 1 with the track, the index (0 inside the
// pregap before INDEX 01) and the relative and absolute times, as the CUE's INDEX entries say.
void answerQ(const EmulatedDisc& disc, uint32_t lba, uint32_t count, Answer& answer)
{
    if (count == 0 || uint64_t{lba} + count > disc.leadOut() || answer.request.dataLength < count * kQBytes) {
        answer.fail(count == 0 ? kInvalidFieldInCdb : kLbaOutOfRange);
        return;
    }
    std::vector<uint8_t> out(count * kQBytes, 0);
    for (uint32_t i = 0; i < count; ++i) {
        // A pregap is inside the previous track's length: look for it first.
        const EmulatedTrack* track = nullptr;
        for (const EmulatedTrack& candidate : disc.tracks())
            if (lba + i < candidate.start && lba + i + candidate.pregap >= candidate.start)
                track = &candidate;
        if (track == nullptr)
            track = disc.trackAt(lba + i);
        if (track == nullptr) {
            answer.fail(kLbaOutOfRange);
            return;
        }
        uint8_t* q = out.data() + i * kQBytes;
        bool pregap = lba + i < track->start;
        q[0] = static_cast<uint8_t>((track->kind == TrackKind::Data ? kControlData : 0) << 4 | 0x01);
        q[1] = toBcd(track->number);
        q[2] = pregap ? 0 : 1;
        // Relative time counts down to INDEX 01 in the pregap and up from it after.
        putBcdMsf(pregap ? track->start - (lba + i) : lba + i - track->start, q + 3);
        putBcdMsf(lba + i + kMsfOffset, q + 7);
    }
    answer.send(out.data(), out.size(), out.size());
}

// What a drive with read offset +n delivers for sectors [lba, lba + count): the disc's bytes
// from lba x 2352 - 4n on. Disc sectors without audio (before LBA 0, data, past the lead-out)
// read as zeros.
bool readWithOffset(const EmulatedDisc& disc, uint32_t lba, uint32_t count, int32_t offset, uint8_t* out)
{
    if (offset == 0)
        return disc.readSectors(lba, count, out);
    constexpr int64_t kSector = kEmulatedSectorBytes;
    int64_t start = int64_t{lba} * kSector - int64_t{offset} * 4;
    int64_t first = start >= 0 ? start / kSector : -((-start + kSector - 1) / kSector);
    size_t within = static_cast<size_t>(start - first * kSector);
    uint32_t sectors = count + (within != 0 ? 1 : 0);
    std::vector<uint8_t> raw(size_t{sectors} * kEmulatedSectorBytes);
    for (uint32_t i = 0; i < sectors; ++i) {
        int64_t sector = first + i;
        uint8_t* at = raw.data() + size_t{i} * kEmulatedSectorBytes;
        const EmulatedTrack* track = sector >= 0 && sector < disc.leadOut() ? disc.trackAt(static_cast<uint32_t>(sector)) : nullptr;
        if (track == nullptr || track->kind == TrackKind::Data)
            std::memset(at, 0, kEmulatedSectorBytes);
        else if (!disc.readSectors(static_cast<uint32_t>(sector), 1, at))
            return false;
    }
    std::memcpy(out, raw.data() + within, size_t{count} * kEmulatedSectorBytes);
    return true;
}

} // namespace

namespace {

// One command as its handler sees it. The lock is held on entry; a handler may release it to
// copy audio outside it (the disc is immutable).
struct CommandContext {
    const uint8_t* cdb; // kMaxCdbBytes, zero-padded
    const ScsiRequest& request;
    Answer& answer;
    EmulatedDriveState& state;
    std::unique_lock<std::mutex>& lock;
    bool notReady;

    // Commands that need a readable medium answer the medium's state first.
    const Sense* mediumSense() const
    {
        if (!state.disc)
            return &kNoMedium;
        if (notReady)
            return &kBecomingReady;
        return nullptr;
    }
};

// The cache and damage faults, under the drive's lock (tests only, so simplicity over speed).
bool readThroughCache(EmulatedDriveState& s, uint32_t lba, uint32_t count, uint8_t* out, uint64_t& readyAtNs)
{
    const EmulatedFaults& faults = s.config.faults;
    s.sectorsRead += count;
    bool allCached = faults.cacheSectors != 0;
    for (uint32_t i = 0; i < count && allCached; ++i)
        allCached = s.cache.count(lba + i) != 0;
    if (allCached) {
        for (uint32_t i = 0; i < count; ++i)
            std::memcpy(out + size_t{i} * kEmulatedSectorBytes, s.cache[lba + i].data(), kEmulatedSectorBytes);
        s.sectorsFromCache += count;
        return true;
    }
    if (!readWithOffset(*s.disc, lba, count, s.config.readOffset, out))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* sector = out + size_t{i} * kEmulatedSectorBytes;
        for (const CorruptFault& fault : faults.corruptions) {
            if (fault.lba != lba + i)
                continue;
            uint32_t& reads = s.corruptReadsSoFar[fault.lba];
            ++reads;
            if (fault.reads != kForever && reads > fault.reads)
                continue;
            // A different wrong value on every read: the read number is part of the damage.
            for (size_t k = 0; k < kEmulatedSectorBytes; k += 97)
                sector[k] ^= static_cast<uint8_t>(0x5A + reads * 31 + k);
        }
        if (faults.cacheSectors == 0)
            continue;
        if (s.cache.count(lba + i) == 0)
            s.cacheOrder.push_back(lba + i);
        s.cache[lba + i].assign(sector, sector + kEmulatedSectorBytes);
        while (s.cacheOrder.size() > faults.cacheSectors) {
            s.cache.erase(s.cacheOrder.front());
            s.cacheOrder.pop_front();
        }
    }
    if (faults.sectorsPerSecond != 0) {
        uint64_t start = std::max(monotonicNs(), s.busyUntilNs);
        s.busyUntilNs = start + uint64_t{count} * 1000000000ull / faults.sectorsPerSecond;
        readyAtNs = s.busyUntilNs;
    }
    return true;
}

void handleTestUnitReady(CommandContext& c)
{
    Answer& answer = c.answer;
    if (const Sense* sense = c.mediumSense())
        answer.fail(*sense);
}

void handleInquiry(CommandContext& c)
{
    const uint8_t* cdb = c.cdb;
    Answer& answer = c.answer;
    EmulatedDriveState& s = c.state;
    uint8_t data[kInquiryLength] = {};
    data[0] = kPeripheralCdDvd;
    data[1] = kRemovableMedium;
    data[2] = kSpcVersion;
    data[3] = kResponseDataFormat;
    data[4] = kInquiryLength - 5;
    auto putText = [&](size_t offset, size_t width, const std::string& text) {
        std::memset(data + offset, ' ', width);
        std::memcpy(data + offset, text.data(), std::min(width, text.size()));
    };
    putText(8, 8, s.config.vendor);
    putText(16, 16, s.config.product);
    putText(32, 4, s.config.revision);
    answer.send(data, sizeof data, readBe16(&cdb[3]));
}

void handlePreventAllowMediumRemoval(CommandContext& c)
{
    const uint8_t* cdb = c.cdb;
    EmulatedDriveState& s = c.state;
    s.preventRemoval = (cdb[4] & 0x01) != 0;
}

// LoEj with Start 0 ejects, unless removal is prevented; LoEj with Start 1 loads the last disc
// back. Without LoEj the spindle starts or stops, which the emulation has no use for.
void handleStartStopUnit(CommandContext& c)
{
    constexpr uint8_t kStart = 0x01;
    constexpr uint8_t kLoadEject = 0x02;
    EmulatedDriveState& s = c.state;
    uint8_t flags = c.cdb[4];
    if ((flags & kLoadEject) == 0)
        return;
    if ((flags & kStart) != 0) {
        s.disc = s.lastDisc;
        s.mediumSinceMs = tickCountMs();
        return;
    }
    if (s.preventRemoval) {
        c.answer.fail(kRemovalPrevented);
        return;
    }
    if (!s.config.sheetPath.empty() && s.disc) {
        std::string done = s.config.sheetPath + ".done";
        if (::rename(s.config.sheetPath.c_str(), done.c_str()) != 0) {
            c.answer.fail(kEjectFailed);
            return;
        }
    }
    s.disc.reset();
}

void handleGetConfiguration(CommandContext& c)
{
    const uint8_t* cdb = c.cdb;
    Answer& answer = c.answer;
    EmulatedDriveState& s = c.state;
    const EmulatedFaults& faults = c.state.config.faults;
    bool notReady = c.notReady;
    if (faults.getConfigurationFails) {
        answer.fail(kInvalidOpcode);
        return;
    }
    uint8_t requestType = cdb[1] & 0x03;
    uint16_t startingFeature = readBe16(&cdb[2]);
    uint16_t current = (s.disc && !notReady) ? s.config.profile : 0;
    std::vector<uint8_t> out(8, 0);
    writeBe16(&out[6], current);
    auto wanted = [&](uint16_t code, bool isCurrent) {
        if (requestType == 2)
            return code == startingFeature;
        if (requestType == 1 && !isCurrent)
            return false;
        return code >= startingFeature;
    };
    if (wanted(kFeatureProfileList, true)) {
        std::vector<uint16_t> profiles = profileListFor(s.config.profile);
        putFeatureHeader(out, kFeatureProfileList, kFeaturePersistentCurrent,
            static_cast<uint8_t>(profiles.size() * 4));
        for (uint16_t profile : profiles) {
            out.push_back(static_cast<uint8_t>(profile >> 8));
            out.push_back(static_cast<uint8_t>(profile));
            out.push_back(profile == current ? 0x01 : 0x00);
            out.push_back(0);
        }
    }
    if (wanted(kFeatureCore, true)) {
        putFeatureHeader(out, kFeatureCore, kFeaturePersistentCurrent | 0x04, 8);
        putBe32(out, kInterfaceAtapi);
        putBe32(out, 0);
    }
    bool cdCurrent = current == kProfileCdRom || current == kProfileCdR || current == kProfileCdRw;
    if (wanted(kFeatureCdRead, cdCurrent)) {
        putFeatureHeader(out, kFeatureCdRead, cdCurrent ? kFeatureCurrent : 0, 4);
        putBe32(out, 0);
    }
    bool streamingCurrent = s.config.realTimeStreamingCurrent;
    if (s.config.realTimeStreaming && wanted(kFeatureRealTimeStreaming, streamingCurrent)) {
        putFeatureHeader(out, kFeatureRealTimeStreaming, streamingCurrent ? kFeatureCurrent : 0, 4);
        putBe32(out, 0);
    }
    writeBe32(&out[0], static_cast<uint32_t>(out.size() - 4));
    answer.send(out.data(), out.size(), readBe16(&cdb[7]));
}

void handleReadTocPmaAtip(CommandContext& c)
{
    const uint8_t* cdb = c.cdb;
    Answer& answer = c.answer;
    const EmulatedDisc* disc = c.state.disc.get();
    if (const Sense* sense = c.mediumSense()) {
        answer.fail(*sense);
        return;
    }
    bool msf = (cdb[1] & 0x02) != 0;
    uint8_t format = cdb[2] & 0x0F;
    uint8_t startTrack = cdb[6];
    const auto& tracks = disc->tracks();
    if (format != 0 || tracks.empty() || (startTrack > tracks.back().number && startTrack != kLeadOutTrack)) {
        answer.fail(kInvalidFieldInCdb);
        return;
    }
    uint8_t out[kTocHeaderLength + 100 * kTocDescriptorLength] = {};
    size_t length = kTocHeaderLength;
    auto putDescriptor = [&](uint8_t number, uint8_t control, uint32_t lba) {
        uint8_t* d = out + length;
        d[1] = kAdrPosition | control;
        d[2] = number;
        if (msf)
            lbaToMsf(lba, d + 4);
        else
            writeBe32(d + 4, lba);
        length += kTocDescriptorLength;
    };
    for (const EmulatedTrack& track : tracks) {
        if (startTrack == kLeadOutTrack || track.number < startTrack)
            continue;
        putDescriptor(track.number, track.kind == TrackKind::Data ? kControlData : 0, track.start);
    }
    putDescriptor(kLeadOutTrack, tracks.back().kind == TrackKind::Data ? kControlData : 0, disc->leadOut());
    writeBe16(out, static_cast<uint32_t>(length - 2));
    out[2] = tracks.front().number;
    out[3] = tracks.back().number;
    answer.send(out, length, readBe16(&cdb[7]));
}

void handleReadDiscInformation(CommandContext& c)
{
    const uint8_t* cdb = c.cdb;
    Answer& answer = c.answer;
    const EmulatedDisc* disc = c.state.disc.get();
    if (const Sense* sense = c.mediumSense()) {
        answer.fail(*sense);
        return;
    }
    if ((cdb[1] & 0x07) != 0) { // only the standard disc information block
        answer.fail(kInvalidFieldInCdb);
        return;
    }
    const auto& tracks = disc->tracks();
    uint32_t sessions = disc->sessionCount();
    uint32_t firstInLast = tracks.front().number;
    for (const EmulatedTrack& track : tracks)
        if (track.session == sessions) {
            firstInLast = track.number;
            break;
        }
    uint8_t out[kDiscInformationBlockLength] = {};
    writeBe16(out, kDiscInformationBlockLength - 2);
    out[2] = kDiscCompleteFinalized;
    out[3] = tracks.front().number;
    out[4] = static_cast<uint8_t>(sessions);
    out[5] = static_cast<uint8_t>(firstInLast);
    out[6] = tracks.back().number;
    out[9] = static_cast<uint8_t>(sessions >> 8);
    out[10] = static_cast<uint8_t>(firstInLast >> 8);
    out[11] = 0;
    writeBe32(&out[16], 0xFFFFFFFF); // no further session may start
    writeBe32(&out[20], 0xFFFFFFFF);
    answer.send(out, sizeof out, readBe16(&cdb[7]));
}

void handleReadTrackInformation(CommandContext& c)
{
    const uint8_t* cdb = c.cdb;
    Answer& answer = c.answer;
    const EmulatedFaults& faults = c.state.config.faults;
    const EmulatedDisc* disc = c.state.disc.get();
    if (const Sense* sense = c.mediumSense()) {
        answer.fail(*sense);
        return;
    }
    if (faults.trackInformationFails) {
        answer.fail(kInvalidOpcode);
        return;
    }
    uint8_t addressType = cdb[1] & 0x03;
    uint32_t address = readBe32(&cdb[2]);
    const EmulatedTrack* found = nullptr;
    if (addressType == kAddressTrack) {
        for (const EmulatedTrack& track : disc->tracks())
            if (track.number == address)
                found = &track;
    } else if (addressType == kAddressLba) {
        found = disc->trackAt(address);
    }
    if (found == nullptr) {
        answer.fail(kInvalidFieldInCdb);
        return;
    }
    uint8_t out[kTrackInformationBlockLength] = {};
    writeBe16(out, kTrackInformationBlockLength - 2);
    out[2] = found->number;
    out[3] = found->session;
    bool data = found->kind == TrackKind::Data;
    out[5] = data ? kTrackModeData : 0;
    out[6] = data ? kDataModeOne : 0;
    writeBe32(&out[8], found->start);
    writeBe32(&out[24], found->length);
    writeBe32(&out[28], found->start + found->length - 1);
    answer.send(out, sizeof out, readBe16(&cdb[7]));
}

void handleGetPerformance(CommandContext& c)
{
    const uint8_t* cdb = c.cdb;
    const ScsiRequest& request = c.request;
    Answer& answer = c.answer;
    EmulatedDriveState& s = c.state;
    bool notReady = c.notReady;
    const EmulatedDisc* disc = c.state.disc.get();
    uint8_t type = cdb[10];
    uint16_t maxDescriptors = readBe16(&cdb[8]);
    if (type != 0) {
        answer.fail(kInvalidFieldInCdb);
        return;
    }
    uint8_t out[kPerformanceHeaderLength + kPerformanceDescriptorLength] = {};
    size_t length = kPerformanceHeaderLength;
    if (maxDescriptors != 0 && disc != nullptr && !notReady) {
        uint8_t* d = out + kPerformanceHeaderLength;
        uint32_t top = s.config.maxReadKbPerSecond;
        writeBe32(d + 0, 0);
        writeBe32(d + 4, top * 2 / 5); // CAV: the inner edge turns out 40 % of the outer rate
        writeBe32(d + 8, disc->leadOut() - 1);
        writeBe32(d + 12, top);
        length += kPerformanceDescriptorLength;
    }
    writeBe32(out, static_cast<uint32_t>(length - 4));
    answer.send(out, length, request.dataLength);
}

void handleSetStreaming(CommandContext& c)
{
    const uint8_t* cdb = c.cdb;
    const ScsiRequest& request = c.request;
    Answer& answer = c.answer;
    EmulatedDriveState& s = c.state;
    uint16_t parameterLength = readBe16(&cdb[9]);
    if (parameterLength < kStreamingDescriptorLength || request.dataLength < kStreamingDescriptorLength ||
        request.data == nullptr || request.direction != DataDirection::Out) {
        answer.fail(kParameterListLength);
        return;
    }
    uint32_t readSize = readBe32(request.data + 12);
    s.lastSpeed = static_cast<uint16_t>(std::min<uint32_t>(readSize, 0xFFFF));
}

void handleSetCdSpeed(CommandContext& c)
{
    const uint8_t* cdb = c.cdb;
    EmulatedDriveState& s = c.state;
    s.lastSpeed = readBe16(&cdb[2]);
}

// Why sectors [lba, lba + count) cannot be read as audio (no track, a data track, an injected
// read fault), or null.
const Sense* readRefusal(EmulatedDriveState& s, uint32_t lba, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        const EmulatedTrack* track = s.disc->trackAt(lba + i);
        if (track == nullptr)
            return &kLbaOutOfRange;
        if (track->kind == TrackKind::Data)
            return &kIllegalModeForTrack;
    }
    for (const ReadFault& fault : s.config.faults.readFaults) {
        if (fault.lba < lba || fault.lba >= uint64_t{lba} + count)
            continue;
        uint32_t& failed = s.failuresSoFar[fault.lba];
        if (fault.failures == kPermanentFault || failed < fault.failures) {
            ++failed;
            return &kUnrecoveredReadError;
        }
    }
    return nullptr;
}

// A speed-limited drive delivers no sooner than this [monotonic ns]; 0: at once.
void sleepUntil(uint64_t readyAtNs)
{
    if (uint64_t now = monotonicNs(); readyAtNs > now)
        std::this_thread::sleep_for(std::chrono::nanoseconds(readyAtNs - now));
}

void handleReadCd(CommandContext& c)
{
    const uint8_t* cdb = c.cdb;
    const ScsiRequest& request = c.request;
    Answer& answer = c.answer;
    EmulatedDriveState& s = c.state;
    const EmulatedFaults& faults = c.state.config.faults;
    const EmulatedDisc* disc = c.state.disc.get();
    std::unique_lock<std::mutex>& lock = c.lock;
    if (const Sense* sense = c.mediumSense()) {
        answer.fail(*sense);
        return;
    }
    uint8_t expected = (cdb[1] >> 2) & 0x07;
    uint32_t lba = readBe32(&cdb[2]);
    uint32_t count = (uint32_t{cdb[6]} << 16) | (uint32_t{cdb[7]} << 8) | cdb[8];
    if (cdb[9] == 0 && cdb[10] == kSubChannelQFormatted) {
        answerQ(*disc, lba, count, answer);
        return;
    }
    if ((expected != 0 && expected != kCdDaExpected) || cdb[9] != kUserDataOnly || cdb[10] != 0 ||
        request.dataLength < uint64_t{count} * kEmulatedSectorBytes) {
        answer.fail(kInvalidFieldInCdb);
        return;
    }
    if (count == 0)
        return;
    if (uint64_t{lba} + count > disc->leadOut()) {
        answer.fail(kLbaOutOfRange);
        return;
    }
    if (const Sense* refusal = readRefusal(s, lba, count)) {
        answer.fail(*refusal);
        return;
    }
    if (faults.cacheSectors != 0 || !faults.corruptions.empty()) {
        uint64_t readyAtNs = 0;
        bool read = readThroughCache(s, lba, count, request.data, readyAtNs);
        lock.unlock();
        if (!read)
            answer.fail(kUnrecoveredReadError);
        sleepUntil(readyAtNs);
        return;
    }
    std::shared_ptr<const EmulatedDisc> reading = s.disc; // immutable: read without the lock
    s.sectorsRead += count;
    if (faults.removeAfterSectors != 0 && s.sectorsRead >= faults.removeAfterSectors)
        s.disc.reset(); // taken out while this read is delivered; later commands find no medium
    uint64_t readyAtNs = 0;
    if (faults.sectorsPerSecond != 0) {
        uint64_t now = monotonicNs();
        uint64_t start = std::max(now, s.busyUntilNs);
        s.busyUntilNs = start + uint64_t{count} * 1000000000ull / faults.sectorsPerSecond;
        readyAtNs = s.busyUntilNs;
    }
    int32_t offset = s.config.readOffset;
    lock.unlock();
    if (!readWithOffset(*reading, lba, count, offset, request.data)) {
        answer.fail(kUnrecoveredReadError);
        return;
    }
    sleepUntil(readyAtNs);
}

using CommandHandler = void (*)(CommandContext&);

CommandHandler handlerFor(uint8_t opcode)
{
    static const std::map<uint8_t, CommandHandler> handlers = {
        {kOpTestUnitReady, handleTestUnitReady},
        {kOpInquiry, handleInquiry},
        {kOpPreventAllowMediumRemoval, handlePreventAllowMediumRemoval},
        {kOpStartStopUnit, handleStartStopUnit},
        {kOpGetConfiguration, handleGetConfiguration},
        {kOpReadTocPmaAtip, handleReadTocPmaAtip},
        {kOpReadDiscInformation, handleReadDiscInformation},
        {kOpReadTrackInformation, handleReadTrackInformation},
        {kOpGetPerformance, handleGetPerformance},
        {kOpSetStreaming, handleSetStreaming},
        {kOpSetCdSpeed, handleSetCdSpeed},
        {kOpReadCd, handleReadCd},
    };
    auto found = handlers.find(opcode);
    return found == handlers.end() ? nullptr : found->second;
}

} // namespace

EmulatedDrive::EmulatedDrive(std::shared_ptr<const EmulatedDisc> disc, EmulatedDriveConfig config)
    : m_state(std::make_unique<EmulatedDriveState>())
{
    m_state->config = std::move(config);
    m_state->lastDisc = disc;
    if (!m_state->config.faults.noMedium)
        m_state->disc = std::move(disc);
    m_state->mediumSinceMs = tickCountMs();
}

EmulatedDrive::~EmulatedDrive() = default;

void EmulatedDrive::execute(const ScsiRequest& request, ScsiReply& reply)
{
    reply = ScsiReply{};
    Answer answer{request, reply};
    uint8_t cdb[kMaxCdbBytes] = {};
    if (request.cdb != nullptr)
        std::memcpy(cdb, request.cdb, std::min(request.cdbLength, sizeof cdb));

    std::unique_lock lock(m_mutex);
    EmulatedDriveState& s = *m_state;
    if (s.config.recordCommands) {
        RecordedCommand record;
        std::memcpy(record.cdb.data(), cdb, sizeof cdb);
        record.cdbLength = request.cdbLength;
        record.dataLength = request.dataLength;
        record.direction = request.direction;
        if (request.direction == DataDirection::Out && request.data != nullptr)
            record.dataOut.assign(request.data, request.data + request.dataLength);
        s.recorded.push_back(std::move(record));
    }

    const EmulatedFaults& faults = s.config.faults;
    bool notReady = s.disc && faults.notReadyMs != 0 &&
        (faults.notReadyMs == kForever || tickCountMs() - s.mediumSinceMs < faults.notReadyMs);

    CommandContext context{cdb, request, answer, s, lock, notReady};
    if (CommandHandler handler = handlerFor(cdb[0]))
        handler(context);
    else
        answer.fail(kInvalidOpcode);
}

ErrorCode EmulatedDrive::lockVolume() { return tryLockVolume(this) ? kSuccess : errorFromSystem(EWOULDBLOCK); }

ErrorCode EmulatedDrive::unlockVolume()
{
    unlockVolume(static_cast<const void*>(this));
    return kSuccess;
}

bool EmulatedDrive::tryLockVolume(const void* owner)
{
    std::lock_guard lock(m_mutex);
    if (m_state->lockOwner != nullptr && m_state->lockOwner != owner)
        return false;
    m_state->lockOwner = owner;
    return true;
}

void EmulatedDrive::unlockVolume(const void* owner)
{
    std::lock_guard lock(m_mutex);
    if (m_state->lockOwner == owner)
        m_state->lockOwner = nullptr;
}

namespace {
// One open of an emulated drive: forwards commands, holds its own volume lock.
class EmulatedConnection final : public ScsiTransport {
public:
    explicit EmulatedConnection(std::shared_ptr<EmulatedDrive> drive) : m_drive(std::move(drive)) {}
    ~EmulatedConnection() override { m_drive->unlockVolume(static_cast<const void*>(this)); }
    void execute(const ScsiRequest& request, ScsiReply& reply) override { m_drive->execute(request, reply); }
    ErrorCode lockVolume() override
    {
        return m_drive->tryLockVolume(this) ? kSuccess : errorFromSystem(EWOULDBLOCK);
    }
    ErrorCode unlockVolume() override
    {
        m_drive->unlockVolume(static_cast<const void*>(this));
        return kSuccess;
    }

private:
    std::shared_ptr<EmulatedDrive> m_drive;
};
} // namespace

std::unique_ptr<ScsiTransport> EmulatedDrive::connect()
{
    return std::make_unique<EmulatedConnection>(shared_from_this());
}

uint32_t EmulatedDrive::openDelayMs() const
{
    std::lock_guard lock(m_mutex);
    return m_state->config.faults.openDelayMs;
}

int EmulatedDrive::openErrno() const
{
    std::lock_guard lock(m_mutex);
    return m_state->config.faults.openErrno;
}

void EmulatedDrive::removeMedium()
{
    std::lock_guard lock(m_mutex);
    m_state->disc.reset();
}

void EmulatedDrive::insertMedium(std::shared_ptr<const EmulatedDisc> disc)
{
    std::lock_guard lock(m_mutex);
    if (disc)
        m_state->lastDisc = std::move(disc);
    m_state->disc = m_state->lastDisc;
    m_state->mediumSinceMs = tickCountMs();
    m_state->sectorsRead = 0;
    m_state->failuresSoFar.clear();
}

bool EmulatedDrive::hasMedium() const
{
    std::lock_guard lock(m_mutex);
    return m_state->disc != nullptr;
}

std::shared_ptr<const EmulatedDisc> EmulatedDrive::disc() const
{
    std::lock_guard lock(m_mutex);
    return m_state->lastDisc;
}

void EmulatedDrive::setFaults(const EmulatedFaults& faults)
{
    std::lock_guard lock(m_mutex);
    bool hadNoMedium = m_state->config.faults.noMedium;
    m_state->config.faults = faults;
    if (faults.noMedium)
        m_state->disc.reset();
    else if (hadNoMedium)
        m_state->disc = m_state->lastDisc;
    m_state->mediumSinceMs = tickCountMs();
    m_state->failuresSoFar.clear();
    m_state->corruptReadsSoFar.clear();
    m_state->cache.clear();
    m_state->cacheOrder.clear();
}

void EmulatedDrive::setProfile(uint16_t profile)
{
    std::lock_guard lock(m_mutex);
    m_state->config.profile = profile;
}

std::vector<RecordedCommand> EmulatedDrive::recordedCommands() const
{
    std::lock_guard lock(m_mutex);
    return m_state->recorded;
}

void EmulatedDrive::clearRecordedCommands()
{
    std::lock_guard lock(m_mutex);
    m_state->recorded.clear();
}

uint64_t EmulatedDrive::sectorsFromCache() const
{
    std::lock_guard lock(m_mutex);
    return m_state->sectorsFromCache;
}

uint64_t EmulatedDrive::sectorsRead() const
{
    std::lock_guard lock(m_mutex);
    return m_state->sectorsRead;
}

bool EmulatedDrive::mediumRemovalPrevented() const
{
    std::lock_guard lock(m_mutex);
    return m_state->preventRemoval;
}

bool EmulatedDrive::volumeLocked() const
{
    std::lock_guard lock(m_mutex);
    return m_state->lockOwner != nullptr;
}

uint16_t EmulatedDrive::lastSetSpeed() const
{
    std::lock_guard lock(m_mutex);
    return m_state->lastSpeed;
}

namespace {
std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}
std::map<std::string, std::shared_ptr<EmulatedDrive>>& registry()
{
    static std::map<std::string, std::shared_ptr<EmulatedDrive>> drives;
    return drives;
}
} // namespace

void installEmulatedDrive(const std::string& path, std::shared_ptr<EmulatedDrive> drive)
{
    std::lock_guard lock(registryMutex());
    registry()[path] = std::move(drive);
}

void uninstallEmulatedDrive(const std::string& path)
{
    std::lock_guard lock(registryMutex());
    registry().erase(path);
}

std::shared_ptr<EmulatedDrive> findEmulatedDrive(const std::string& path)
{
    std::lock_guard lock(registryMutex());
    auto found = registry().find(path);
    return found == registry().end() ? nullptr : found->second;
}

} // namespace tonvane
