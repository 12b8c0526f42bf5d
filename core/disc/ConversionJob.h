#pragma once
#include "core/disc/EncoderFormat.h"
#include "core/disc/ProgressSink.h"
#include "core/disc/SafeFileName.h"
#include "core/disc/TrackEntry.h"
#include "core/foundation/Thread.h"
#include "core/foundation/WideString.h"
#include "core/language/Language.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace tonvane {

// What the commit of a whole track does when its final name exists by then: Refuse leaves the
// existing file alone (the track fails and its temporary file goes), Replace puts the new file in
// its place. Front ends decide before the rip starts; Refuse is the safe default.
enum class ExistingFiles : uint8_t { Refuse, Replace };

// The disc's audio tracks seen as work: the track array with the drive path and output folder,
// the running and cancel bytes, the sink and the rip thread. DiscModel is the array, count and
// drive path of this record plus the loaded flag.
struct ConversionJob {
    std::unique_ptr<TrackEntry[]> tracks; // null before the first disc
    int32_t allocated = 0; // entries in tracks; only the first count are used
    int32_t count = 0;
    std::atomic<uint8_t> running{0};
    std::atomic<uint8_t> cancel{0};
    WideString drivePath;
    WideString outputFolder; // ends in '/'
    ProgressSink* sink = nullptr;
    ExistingFiles existingFiles = ExistingFiles::Refuse;
    Thread ripThread;
    bool loaded = false;

    // Replaces the track array with n default entries (count 0).
    void resetTracks(int32_t n);

    // First selected entry after index (-1 for the start), or -1.
    int32_t nextSelected(int32_t index) const;
    int32_t firstSelected() const { return nextSelected(-1); }
    int32_t selectedCount() const;

    // Output folder + file name + extension of entry index, or empty for an unknown format.
    // Titled: "NN - Title" with the title made safe by safePathComponent; untitled (or a title
    // with nothing a name can hold): row 21 of the interface language, a space and index + 1.
    // Then the name suffix. The name is cut at a character boundary so that its temporary form
    // (".name.ext.part") fits 255 UTF-8 bytes.
    WideString outputPath(int32_t index) const;
    // Where the track is written until it is whole: the final name in the same folder with a '.'
    // in front and ".part" behind (".01 - Title.flac.part"), so that it is hidden and never taken
    // for a finished file. Empty when outputPath is.
    WideString partPath(int32_t index) const;
};

// The file name of entry index without folder, suffix and extension (see outputPath), at most
// maxBytes of UTF-8.
WideString outputFileName(const TrackEntry& entry, int32_t index, size_t maxBytes = kMaxFileNameBytes);

// "mm:ss" from milliseconds: minutes = ms / 60000, seconds = (ms / 1000) mod 60, both at least
// two digits.
WideString elapsedTimeText(uint64_t milliseconds);

} // namespace tonvane
