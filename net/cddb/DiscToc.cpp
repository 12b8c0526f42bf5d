#include "net/cddb/DiscToc.h"

#include <algorithm>
#include <cstdio>

namespace tonvane {

namespace {

constexpr size_t kTocHeaderBytes = 4;
constexpr size_t kTocDescriptorBytes = 8;
constexpr uint8_t kLeadOutTrack = 0xAA;
constexpr uint8_t kMaxTrackNumber = 99;
// Nothing on a CD lies beyond this; keeps the arithmetic far from overflow. [sectors]
constexpr uint32_t kMaxLba = 100u * 60u * kCddbSectorsPerSecond * 10u;

uint32_t readBigEndian32(const uint8_t* bytes)
{
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

uint32_t digitSum(uint32_t value)
{
    uint32_t sum = 0;
    for (; value > 0; value /= 10)
        sum += value % 10;
    return sum;
}

// Whole seconds of an address counted from the start of the lead-in: M x 60 + S of its MSF form.
uint32_t secondsOf(uint32_t lba)
{
    return (lba + kLeadInSectors) / kCddbSectorsPerSecond;
}

} // namespace

std::optional<DiscToc> parseReadTocFormat0(std::span<const uint8_t> answer)
{
    if (answer.size() < kTocHeaderBytes)
        return std::nullopt;
    size_t dataLength = (size_t{answer[0]} << 8) | answer[1]; // bytes after the length field
    size_t usable = std::min(answer.size(), dataLength + 2);
    if (usable < kTocHeaderBytes)
        return std::nullopt;

    DiscToc toc;
    toc.firstTrack = answer[2];
    toc.lastTrack = answer[3];
    if (toc.firstTrack < 1 || toc.lastTrack > kMaxTrackNumber || toc.firstTrack > toc.lastTrack)
        return std::nullopt;

    bool haveLeadOut = false;
    size_t descriptors = (usable - kTocHeaderBytes) / kTocDescriptorBytes;
    for (size_t i = 0; i < descriptors; ++i) {
        const uint8_t* d = answer.data() + kTocHeaderBytes + i * kTocDescriptorBytes;
        uint8_t number = d[2];
        uint32_t lba = readBigEndian32(d + 4);
        if (lba > kMaxLba)
            return std::nullopt; // also rejects negative addresses
        if (number == kLeadOutTrack) {
            toc.leadOutLba = lba;
            haveLeadOut = true;
            break;
        }
        if (number < toc.firstTrack || number > toc.lastTrack)
            continue;
        if (!toc.tracks.empty() && number != toc.tracks.back().number + 1)
            return std::nullopt;
        if (toc.tracks.empty() && number != toc.firstTrack)
            return std::nullopt;
        toc.tracks.push_back({number, d[1], lba});
    }
    if (!haveLeadOut || !isConsistent(toc))
        return std::nullopt;
    return toc;
}

bool isConsistent(const DiscToc& toc)
{
    if (toc.firstTrack < 1 || toc.lastTrack > kMaxTrackNumber || toc.firstTrack > toc.lastTrack)
        return false;
    if (toc.tracks.size() != size_t{toc.lastTrack} - toc.firstTrack + 1u)
        return false;
    for (size_t i = 0; i < toc.tracks.size(); ++i) {
        const DiscToc::Track& track = toc.tracks[i];
        if (track.number != toc.firstTrack + i || track.startLba > kMaxLba)
            return false;
        if (i > 0 && track.startLba <= toc.tracks[i - 1].startLba)
            return false;
    }
    return toc.leadOutLba <= kMaxLba && toc.leadOutLba > toc.tracks.back().startLba;
}

uint32_t cddbDiscId(const DiscToc& toc)
{
    if (toc.tracks.empty())
        return 0;
    uint32_t checksum = 0;
    for (const DiscToc::Track& track : toc.tracks)
        checksum += digitSum(secondsOf(track.startLba));
    uint32_t playing = secondsOf(toc.leadOutLba) - secondsOf(toc.tracks.front().startLba);
    uint32_t count = static_cast<uint32_t>(toc.tracks.size());
    return ((checksum % 255) << 24) | ((playing & 0xFFFF) << 8) | (count & 0xFF);
}

std::string cddbQueryCommand(const DiscToc& toc)
{
    char id[9];
    std::snprintf(id, sizeof(id), "%08x", cddbDiscId(toc));
    std::string command = "cddb query ";
    command += id;
    command += ' ';
    command += std::to_string(toc.tracks.size());
    for (const DiscToc::Track& track : toc.tracks) {
        command += ' ';
        command += std::to_string(track.startLba + kLeadInSectors);
    }
    command += ' ';
    command += std::to_string(secondsOf(toc.leadOutLba));
    command += "\r\n";
    return command;
}

} // namespace tonvane
