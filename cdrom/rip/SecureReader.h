#pragma once
#include "cdrom/rip/ChunkReader.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace tonvane {

class RipObserver;

// How the rip reads each track. Single: one read with the retry rules. Secure: AccurateRip
// first; a track it does not confirm is read a second time. TestAndCopy: always read twice.
enum class ReadMode : uint8_t { Single, Secure, TestAndCopy };

inline constexpr uint32_t kDefaultDriveCacheBytes = 4u << 20; // [bytes] assumed drive cache
inline constexpr int32_t kChunkRereads = 16; // re-reads of a chunk whose reads differ
inline constexpr int32_t kSectorRereads = 8; // then re-reads of each of its sectors alone

struct SecureOptions {
    ReadMode mode = ReadMode::Secure;
    uint32_t cacheBytes = kDefaultDriveCacheBytes; // read past before each re-read
};

// Reads a whole track into memory so that it can be checked before it reaches the encoder: the
// copy read; unless AccurateRip confirms it (Secure), the test read; every 16-sector chunk whose
// two reads differ is read again (the drive's cache emptied first by reading far-away sectors)
// until two of its reads agree, then each of its sectors alone. A sector that never reads the
// same twice keeps its last read and is reported suspicious. Used by the rip thread only.
class SecureReader {
public:
    SecureReader(ChunkReader& reader, RipObserver* observer, SecureOptions options, int32_t readableStart,
                 int32_t readableEnd);

    // The track's sectors [start, start + length) into pcm; sectors no read delivered in the end
    // are silence, listed in unreadable [LBA] (once each). False when the drive is gone or on
    // cancel; unreadable is then left alone.
    bool readTrack(int32_t trackIndex, int32_t start, int32_t length, std::vector<uint8_t>& pcm,
                   std::vector<int32_t>& unreadable);

    // How far the reads of the track being read are, 0 to 1: the copy read fills the first
    // half, the test read the second (a copy AccurateRip confirms jumps to 1); re-reads of
    // differing chunks are not counted. Called on the rip thread after each chunk.
    using ReadProgress = std::function<void(int32_t trackIndex, double fraction)>;
    void setProgress(ReadProgress progress) { m_progress = std::move(progress); }

private:
    // pass: 0 the copy read, 1 the test read.
    bool readPass(int32_t trackIndex, int32_t pass, int32_t start, int32_t length, uint8_t* into,
                  std::vector<int32_t>& unreadable);
    void reportRead(int32_t trackIndex, double fraction);
    // One read of a chunk or a sector, and per sector whether a read delivered it (else it is
    // the silence put in place of a sector that did not read).
    struct Version {
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> delivered;
    };
    bool settleChunk(int32_t trackIndex, int32_t lba, int32_t sectors, uint8_t* copy, const uint8_t* test,
                     const uint8_t* testDelivered);
    bool settleSector(int32_t trackIndex, int32_t lba, std::vector<Version>& versions, uint8_t* out,
                      uint8_t& delivered);
    void emptyDriveCache(int32_t nearLba);

    ChunkReader& m_reader;
    RipObserver* m_observer;
    SecureOptions m_options;
    int32_t m_readableStart; // [LBA]
    int32_t m_readableEnd; // [LBA]
    std::vector<uint8_t> m_flush; // one chunk of the cache-emptying reads
    std::vector<uint8_t> m_delivered; // per sector of the track being read: a read delivered it
    int32_t m_trackStart = 0; // [LBA] of that track
    ReadProgress m_progress;
};

} // namespace tonvane
