#pragma once
#include "cdrom/mmc/DriveFeatures.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tonvane {

// Answer buffer sizes [bytes].
inline constexpr size_t kDiscInformationLength = 42;
inline constexpr size_t kTrackInformationLength = 40;
inline constexpr size_t kConfigurationLength = 2056;
inline constexpr size_t kPerformanceLength = 272;
inline constexpr size_t kStreamingDescriptorLength = 28;
inline constexpr size_t kTocHeaderLength = 4;
inline constexpr size_t kTocDescriptorLength = 8;
inline constexpr uint8_t kLeadOutTrack = 0xAA;
inline constexpr uint32_t kMaxTrackNumber = 99;

using DiscInformationBuffer = std::array<uint8_t, kDiscInformationLength>;
using TrackInformationBuffer = std::array<uint8_t, kTrackInformationLength>;

// Answers come from a drive and are untrusted: every parser below reads only inside the span it
// is given and treats short or inconsistent answers as described per function.

// GET CONFIGURATION: current profile from header bytes 6-7, then the feature walk from byte 8.
// The walk stops where a 4-byte descriptor header would not fit in the buffer; the answer's own
// length field is not used (the zero tail reads as empty descriptors).
DriveFeatures parseConfiguration(std::span<const uint8_t> answer);

// READ DISC INFORMATION: last track number in the last session (byte 11 x 256 + byte 6). 0 for
// an answer shorter than 12 bytes.
uint32_t lastTrackInLastSession(std::span<const uint8_t> answer);

struct TrackInformation {
    uint32_t trackNumber = 0; // byte 32 x 256 + byte 2
    bool data = false; // byte 5 bit 0x04
    bool blank = false; // byte 6 bit 0x40
    uint32_t start = 0; // [LBA] bytes 8-11
    uint32_t size = 0; // [sectors] bytes 24-27

    bool isAudio() const { return !data; }
    bool isPresent() const { return !blank; }
};
// READ TRACK INFORMATION. Needs the 28 bytes up to the track size; byte 32 counts only when the
// answer reaches it. nullopt for a short answer.
std::optional<TrackInformation> parseTrackInformation(std::span<const uint8_t> answer);

struct TocEntry {
    uint8_t adr = 0; // byte 1 high 4 bits
    uint8_t control = 0; // byte 1 low 4 bits (bit 2: data track)
    uint8_t trackNumber = 0; // 1..99, or 0xAA for the lead-out
    uint8_t minutes = 0;
    uint8_t seconds = 0;
    uint8_t frames = 0;

    bool isData() const { return (control & 0x04) != 0; }
    // [LBA + 150] the address in frames from the start of the program area's MSF origin.
    uint32_t msfFrames() const { return (minutes * 60u + seconds) * 75u + frames; }
};
struct Toc {
    uint8_t firstTrack = 0;
    uint8_t lastTrack = 0;
    std::vector<TocEntry> entries; // tracks in order, the lead-out last
};
// READ TOC format 0. The data length (bytes 0-1) must cover the header and whole descriptors that
// are really in the buffer; track numbers must be 1..99 and rise; exactly one lead-out, last.
// nullopt otherwise.
std::optional<Toc> parseToc(std::span<const uint8_t> answer);
// The allocation of the second READ TOC for a data length L: ((L + 2) / 8) x 8 + 8 bytes.
uint32_t tocAllocationLength(uint16_t dataLength);

struct PerformanceDescriptor {
    uint32_t startLba = 0;
    uint32_t startPerformance = 0; // [kB/s]
    uint32_t endLba = 0;
    uint32_t endPerformance = 0; // [kB/s]
};
// GET PERFORMANCE type 0: the first 16-byte descriptor at byte 8, or nullopt when the answer's
// data length (bytes 0-3) minus 4 is below 16 or the descriptor is not inside the buffer.
std::optional<PerformanceDescriptor> firstPerformanceDescriptor(std::span<const uint8_t> answer);
// The SET STREAMING performance descriptor built from it (read and write size = end performance,
// times 1000 ms, all big-endian).
std::array<uint8_t, kStreamingDescriptorLength> streamingDescriptorFor(const PerformanceDescriptor& performance);

} // namespace tonvane
