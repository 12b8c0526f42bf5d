#include "session/LoudnessMeter.h"

#include "session/GatedLoudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tonvane {

namespace {

constexpr unsigned kChannels = 2;
constexpr unsigned long kSampleRate = 44100; // [Hz]
constexpr size_t kFrameBytes = 4; // [bytes] two 16-bit samples
constexpr uint32_t kSubBlockFrames = 4410; // [frames] 100 ms: blocks of 400 ms overlap by 75%
constexpr uint32_t kSubBlocksPerBlock = 4;
constexpr double kFullScale = 32768; // [int16 units]
constexpr size_t kSliceFrames = 4096; // copied into aligned samples at a time for libebur128

// Hands the frames to libebur128 for the true peak; false when it refuses.
bool addToTruePeak(ebur128_state* state, const uint8_t* pcm, size_t frames)
{
    // The PCM is little-endian like the host (x86, ARM); copying also gives the samples their
    // alignment, which a byte pointer into the stream does not promise.
    int16_t samples[kSliceFrames * kChannels];
    while (frames > 0) {
        size_t slice = std::min(frames, kSliceFrames);
        std::memcpy(samples, pcm, slice * kFrameBytes);
        if (ebur128_add_frames_short(state, samples, slice) != EBUR128_SUCCESS)
            return false;
        pcm += slice * kFrameBytes;
        frames -= slice;
    }
    return true;
}

} // namespace

LoudnessMeter::LoudnessMeter(int32_t trackCount, PeakKind peak)
    : m_tracks(static_cast<size_t>(std::max(trackCount, 0))), m_peak(peak)
{
}

LoudnessMeter::~LoudnessMeter()
{
    for (Track& track : m_tracks)
        if (track.truePeak)
            ebur128_destroy(&track.truePeak);
}

LoudnessMeter::Track* LoudnessMeter::at(int32_t trackIndex)
{
    return trackIndex >= 0 && static_cast<size_t>(trackIndex) < m_tracks.size()
               ? &m_tracks[static_cast<size_t>(trackIndex)]
               : nullptr;
}

const LoudnessMeter::Track* LoudnessMeter::at(int32_t trackIndex) const
{
    return const_cast<LoudnessMeter*>(this)->at(trackIndex);
}

void LoudnessMeter::endSubBlock(Track& track)
{
    double sum = track.filter.takeSumOfSquares();
    track.filter.flushTiny();
    if (++track.subBlocks >= kSubBlocksPerBlock) {
        double blockSum = track.recent[0] + track.recent[1] + track.recent[2] + sum;
        track.blocks.push_back(blockSum / double(kSubBlocksPerBlock * kSubBlockFrames));
    }
    track.recent = {track.recent[1], track.recent[2], sum};
    track.subBlockFrames = 0;
}

void LoudnessMeter::feed(int32_t trackIndex, const uint8_t* pcm, size_t bytes)
{
    Track* track = at(trackIndex);
    if (!track || track->failed)
        return;
    size_t frames = bytes / kFrameBytes;
    if (m_peak == PeakKind::True) {
        if (!track->truePeak)
            track->truePeak = ebur128_init(kChannels, kSampleRate, EBUR128_MODE_TRUE_PEAK);
        if (!track->truePeak || !addToTruePeak(track->truePeak, pcm, frames)) {
            track->failed = true;
            return;
        }
    }
    track->bytes += bytes;
    while (frames > 0) {
        size_t piece = std::min<size_t>(frames, kSubBlockFrames - track->subBlockFrames);
        track->filter.run(pcm, piece);
        track->subBlockFrames += static_cast<uint32_t>(piece);
        if (track->subBlockFrames == kSubBlockFrames)
            endSubBlock(*track);
        pcm += piece * kFrameBytes;
        frames -= piece;
    }
}

uint64_t LoudnessMeter::bytesFed(int32_t trackIndex) const
{
    const Track* track = at(trackIndex);
    return track ? track->bytes : 0;
}

double LoudnessMeter::peakOf(const Track& track) const
{
    if (m_peak == PeakKind::Sample)
        return track.filter.peak() / kFullScale;
    double highest = 0;
    for (unsigned channel = 0; channel < kChannels && track.truePeak; ++channel) {
        double peak = 0;
        if (ebur128_true_peak(track.truePeak, channel, &peak) == EBUR128_SUCCESS)
            highest = std::max(highest, peak);
    }
    return highest;
}

std::optional<Loudness> LoudnessMeter::track(int32_t trackIndex) const
{
    return album({trackIndex});
}

std::optional<Loudness> LoudnessMeter::album(const std::vector<int32_t>& trackIndexes) const
{
    std::vector<const std::vector<double>*> blockLists;
    double peak = 0;
    for (int32_t index : trackIndexes) {
        const Track* track = at(index);
        if (!track || track->bytes == 0 || track->failed)
            continue;
        blockLists.push_back(&track->blocks);
        peak = std::max(peak, peakOf(*track));
    }
    std::optional<double> integrated = gatedLoudness(blockLists);
    if (!integrated || !std::isfinite(*integrated))
        return std::nullopt;
    return Loudness{*integrated, peak};
}

} // namespace tonvane
