#pragma once
#include "encoders/FormatWriter.h"

#include <cstdint>

namespace tonvane {

// PCM unchanged behind a canonical 44-byte RIFF/WAVE header. The header's two sizes are written
// for the expected length at open and rewritten at finish to what was really written, so a
// cancelled or failed track's file is valid, if shorter.
class WavWriter final : public FormatWriter {
public:
    static constexpr uint32_t kHeaderBytes = 44;

    WavWriter() = default;
    ~WavWriter() override;

    bool open(std::u16string_view path, uint32_t quality, const TrackTags& tags, uint64_t totalBytes) override;
    bool write(const uint8_t* pcm, size_t bytes) override;
    bool finish() override;

    // The 44 header bytes for dataBytes of audio.
    static void buildHeader(uint32_t dataBytes, uint8_t header[kHeaderBytes]);

private:
    int m_fd = -1;
    uint64_t m_dataBytes = 0; // [bytes] audio written so far
    bool m_failed = false;
};

} // namespace tonvane
