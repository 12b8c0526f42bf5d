#include "cdrom/mmc/MmcAnswers.h"

#include "cdrom/mmc/BigEndian.h"

namespace tonvane {

namespace {
constexpr size_t kConfigurationHeaderLength = 8;
constexpr size_t kProfileOffset = 6;
constexpr size_t kFeatureHeaderLength = 4;
constexpr size_t kFeatureAdditionalLength = 3;

constexpr size_t kDiscInfoLastTrackLow = 6;
constexpr size_t kDiscInfoLastTrackHigh = 11;

constexpr size_t kTrackInfoNumberLow = 2;
constexpr size_t kTrackInfoFlags5 = 5;
constexpr uint8_t kTrackInfoDataBit = 0x04;
constexpr size_t kTrackInfoFlags6 = 6;
constexpr uint8_t kTrackInfoBlankBit = 0x40;
constexpr size_t kTrackInfoStart = 8;
constexpr size_t kTrackInfoSize = 24;
constexpr size_t kTrackInfoNumberHigh = 32;
constexpr size_t kTrackInfoMinimum = 28; // [bytes] through the track size

constexpr uint8_t kMaxSeconds = 59;
constexpr uint8_t kMaxFrames = 74;

constexpr size_t kPerformanceHeaderLength = 8;
constexpr size_t kPerformanceDescriptorLength = 16;
constexpr uint32_t kPerformanceLengthFieldBytes = 4; // the data length does not count itself
constexpr uint32_t kStreamingTimeMs = 1000; // [ms] read and write time of the descriptor

bool isCdProfile(uint16_t profile)
{
    return profile == kProfileCdRom || profile == kProfileCdR || profile == kProfileCdRw;
}
} // namespace

DriveFeatures parseConfiguration(std::span<const uint8_t> answer)
{
    DriveFeatures features;
    if (answer.size() < kConfigurationHeaderLength)
        return features;
    features.currentProfile = readBe16(&answer[kProfileOffset]);
    features.cdMedium = isCdProfile(features.currentProfile);
    for (size_t offset = kConfigurationHeaderLength; offset + kFeatureHeaderLength <= answer.size();
         offset += kFeatureHeaderLength + answer[offset + kFeatureAdditionalLength]) {
        if (readBe16(&answer[offset]) == kFeatureRealTimeStreaming)
            features.realTimeStreaming = true;
    }
    return features;
}

uint32_t lastTrackInLastSession(std::span<const uint8_t> answer)
{
    if (answer.size() <= kDiscInfoLastTrackHigh)
        return 0;
    return answer[kDiscInfoLastTrackHigh] * 256u + answer[kDiscInfoLastTrackLow];
}

std::optional<TrackInformation> parseTrackInformation(std::span<const uint8_t> answer)
{
    if (answer.size() < kTrackInfoMinimum)
        return std::nullopt;
    TrackInformation info;
    uint32_t high = answer.size() > kTrackInfoNumberHigh ? answer[kTrackInfoNumberHigh] : 0;
    info.trackNumber = high * 256u + answer[kTrackInfoNumberLow];
    info.data = (answer[kTrackInfoFlags5] & kTrackInfoDataBit) != 0;
    info.blank = (answer[kTrackInfoFlags6] & kTrackInfoBlankBit) != 0;
    info.start = readBe32(&answer[kTrackInfoStart]);
    info.size = readBe32(&answer[kTrackInfoSize]);
    return info;
}

std::optional<Toc> parseToc(std::span<const uint8_t> answer)
{
    if (answer.size() < kTocHeaderLength)
        return std::nullopt;
    size_t claimed = readBe16(&answer[0]) + size_t{2}; // the length field does not count itself
    if (claimed > answer.size() || claimed < kTocHeaderLength + kTocDescriptorLength ||
        (claimed - kTocHeaderLength) % kTocDescriptorLength != 0)
        return std::nullopt;

    Toc toc;
    toc.firstTrack = answer[2];
    toc.lastTrack = answer[3];
    size_t count = (claimed - kTocHeaderLength) / kTocDescriptorLength;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* d = &answer[kTocHeaderLength + i * kTocDescriptorLength];
        TocEntry entry;
        entry.adr = d[1] >> 4;
        entry.control = d[1] & 0x0F;
        entry.trackNumber = d[2];
        entry.minutes = d[5];
        entry.seconds = d[6];
        entry.frames = d[7];
        bool last = i + 1 == count;
        if (last != (entry.trackNumber == kLeadOutTrack))
            return std::nullopt;
        if (!last && (entry.trackNumber == 0 || entry.trackNumber > kMaxTrackNumber ||
                         (!toc.entries.empty() && entry.trackNumber <= toc.entries.back().trackNumber)))
            return std::nullopt;
        if (entry.seconds > kMaxSeconds || entry.frames > kMaxFrames)
            return std::nullopt;
        toc.entries.push_back(entry);
    }
    if (toc.entries.size() < 2)
        return std::nullopt;
    return toc;
}

uint32_t tocAllocationLength(uint16_t dataLength) { return ((dataLength + 2u) / 8u) * 8u + 8u; }

std::optional<PerformanceDescriptor> firstPerformanceDescriptor(std::span<const uint8_t> answer)
{
    if (answer.size() < kPerformanceHeaderLength + kPerformanceDescriptorLength)
        return std::nullopt;
    uint32_t dataLength = readBe32(&answer[0]);
    if (dataLength < kPerformanceLengthFieldBytes + kPerformanceDescriptorLength)
        return std::nullopt;
    const uint8_t* d = &answer[kPerformanceHeaderLength];
    PerformanceDescriptor performance;
    performance.startLba = readBe32(d);
    performance.startPerformance = readBe32(d + 4);
    performance.endLba = readBe32(d + 8);
    performance.endPerformance = readBe32(d + 12);
    return performance;
}

std::array<uint8_t, kStreamingDescriptorLength> streamingDescriptorFor(const PerformanceDescriptor& performance)
{
    std::array<uint8_t, kStreamingDescriptorLength> descriptor{}; // byte 0: no flags
    writeBe32(&descriptor[4], performance.startLba);
    writeBe32(&descriptor[8], performance.endLba);
    writeBe32(&descriptor[12], performance.endPerformance); // read size [kB]
    writeBe32(&descriptor[16], kStreamingTimeMs);
    writeBe32(&descriptor[20], performance.endPerformance); // write size [kB]
    writeBe32(&descriptor[24], kStreamingTimeMs);
    return descriptor;
}

} // namespace tonvane
