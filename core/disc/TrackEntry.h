#pragma once
#include "core/disc/TrackTags.h"
#include "core/foundation/WideString.h"

#include <atomic>
#include <cstdint>

namespace tonvane {

inline constexpr uint32_t kSectorBytes = 2352; // [bytes] one CD-DA sector
inline constexpr uint32_t kSectorsPerSecond = 75;
inline constexpr uint32_t kPcmBytesPerSecond = 176400; // 44100 Hz x 2 channels x 2 bytes

// How a track's conversion ended; shown by the track list and the command line.
enum class TrackStatus : uint8_t {
    Pending, // not converted (yet)
    Converting,
    Done, // every byte read, the file finished and renamed to its final name
    Cancelled, // stopped by the user; no file is left under the final name
    Failed, // a read or write failed, or the final name was taken; no file left under it
};

struct LinkRect {
    int32_t left = 0, bottom = 0, right = 0, top = 0;
    bool set = false;
};

// One audio track of the loaded disc with the user's choices and texts.
struct TrackEntry {
    int32_t trackNumber = 0; // the disc's own number, 1-based
    int32_t start = 0; // [LBA] first sector
    int32_t length = 0; // [sectors]
    uint8_t selected = 1; // 1 = convert this track
    std::atomic<uint8_t> waiting{1}; // 1 while the rip thread pauses this track's full stream
    int32_t format = 1; // EncoderFormat: 0 MP3, 1 Ogg Vorbis, 2 FLAC, 3 WAV
    uint32_t quality = 0; // QualityIndex of the format
    WideString title;
    // Put before the extension of this track's file name, e.g. u" (2)" when the person chose to
    // keep an existing file of the same name; empty normally.
    WideString nameSuffix;
    std::atomic<double> progress{0.0}; // 0.0 to 1.0, written by the encoder thread
    // The part of the bar the reads fill before the encoder's own progress (secure reading reads
    // the whole track first); 0 when the encoder follows the drive. Set before the encoder starts.
    std::atomic<double> progressBase{0.0};
    LinkRect link; // where the row's encoder link was last drawn
    TrackTags tags;
    std::atomic<TrackStatus> status{TrackStatus::Pending};
    // 1 once a sector of this track could not be read and was given as silence; set by the rip
    // thread before that audio reaches the encoder, which then does not commit the file.
    std::atomic<uint8_t> damaged{0};

    uint64_t byteSize() const { return static_cast<uint64_t>(length) * kSectorBytes; }
    double playingSeconds() const { return static_cast<double>(byteSize()) / kPcmBytesPerSecond; }
};

} // namespace tonvane
