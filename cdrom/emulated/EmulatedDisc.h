#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tonvane {

inline constexpr uint32_t kEmulatedSectorBytes = 2352; // [bytes] raw sector, CD-DA or MODE1/2352
// Between the lead-out of one session and the first track of the next: lead-out 6750 + lead-in
// 4500 + pregap 150 sectors (Blue Book / enhanced CD layout).
inline constexpr uint32_t kSessionGapSectors = 11400;
inline constexpr uint32_t kMaxDiscSectors = 100 * 60 * 75; // [sectors] 100 minutes

enum class TrackKind : uint8_t { Audio, Data };

struct EmulatedTrack {
    uint8_t number = 0; // 1..99
    TrackKind kind = TrackKind::Audio;
    uint8_t session = 1; // 1-based
    uint32_t start = 0; // [LBA] INDEX 01
    uint32_t length = 0; // [sectors] to the next track's start, or to its session's lead-out
    uint32_t pregap = 0; // [sectors] before start (INDEX 00 or PREGAP), counted in the previous track
};

// Where the bytes of a run of sectors come from.
struct SectorSegment {
    enum class Source : uint8_t { Silence, File, Memory, Generated };
    uint32_t firstLba = 0;
    uint32_t sectors = 0;
    Source source = Source::Silence;
    uint32_t index = 0; // File: file index; Memory, Generated: buffer index
    uint64_t byteOffset = 0; // [bytes] of firstLba's sector within that file or buffer
};

// A disc's layout and content. Immutable once built, so any number of threads may read it.
class EmulatedDisc {
public:
    EmulatedDisc();
    EmulatedDisc(const EmulatedDisc&) = delete;
    EmulatedDisc& operator=(const EmulatedDisc&) = delete;
    ~EmulatedDisc();

    const std::vector<EmulatedTrack>& tracks() const { return m_tracks; }
    // [LBA] lead-out of every session, in order; the last one is the disc's lead-out.
    const std::vector<uint32_t>& sessionLeadOuts() const { return m_sessionLeadOuts; }
    uint32_t leadOut() const { return m_sessionLeadOuts.empty() ? 0 : m_sessionLeadOuts.back(); }
    uint32_t sessionCount() const { return static_cast<uint32_t>(m_sessionLeadOuts.size()); }
    // The track whose [start - pregap, start + length) holds lba; null in session gaps and beyond.
    const EmulatedTrack* trackAt(uint32_t lba) const;
    // Copies count raw sectors from lba into out (count x 2352 bytes). No allocation. False when
    // a sector lies outside every segment or a file read fails.
    bool readSectors(uint32_t lba, uint32_t count, uint8_t* out) const;

    // Building (CUE loader, disc descriptions). The builder checks order and sizes.
    void addTrack(const EmulatedTrack& track) { m_tracks.push_back(track); }
    void addSegment(const SectorSegment& segment) { m_segments.push_back(segment); }
    void addSessionLeadOut(uint32_t lba) { m_sessionLeadOuts.push_back(lba); }
    uint32_t addFile(int fd); // takes ownership of the descriptor
    uint32_t addMemory(std::vector<uint8_t> bytes);
    // Music made by generateMusic(seed, sectors) on the first read and kept from then on.
    uint32_t addGenerated(uint32_t seed, uint32_t sectors);

private:
    std::vector<EmulatedTrack> m_tracks;
    std::vector<uint32_t> m_sessionLeadOuts;
    std::vector<SectorSegment> m_segments; // by rising firstLba
    std::vector<int> m_files;
    std::vector<std::vector<uint8_t>> m_memory;
    struct GeneratedAudio;
    std::vector<std::unique_ptr<GeneratedAudio>> m_generated;
};

// A disc described in code: tests and the demo disc.
struct DiscTrackDescription {
    TrackKind kind = TrackKind::Audio;
    uint32_t lengthSectors = 0; // [sectors] from the track's start to the next track's pregap
    uint32_t pregapSectors = 0; // [sectors] of silence before the track (not for track 1)
    uint32_t seed = 0; // varies the generated music
};
struct DiscDescription {
    std::vector<DiscTrackDescription> tracks; // at most 99
    // Data tracks after the last audio track go to a second session (enhanced CD).
    bool dataSessionAfterAudio = false;
    // Generated audio: music-like chords (default) or silence (faster to build for big discs).
    bool silentAudio = false;
};
// Track 1 starts at LBA 0. Audio is generated on the first read of each track and kept. Null for an empty or invalid
// description (no tracks, more than 99, a zero length, longer than 100 minutes).
std::shared_ptr<const EmulatedDisc> buildDisc(const DiscDescription& description);

// Deterministic music-like PCM (44100 Hz, 16-bit LE stereo): chord progressions with note
// envelopes, a bass line and a little noise; the same seed gives the same sound. out holds
// sectors x 2352 bytes.
void generateMusic(uint32_t seed, uint32_t sectors, uint8_t* out);

} // namespace tonvane
