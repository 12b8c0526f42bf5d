#include "session/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tonvane {

namespace {

constexpr unsigned kChannels = 2;
constexpr unsigned long kSampleRate = 44100; // [Hz]
constexpr size_t kFrameBytes = 4; // [bytes] two 16-bit samples
constexpr size_t kSliceFrames = 4096; // copied into aligned samples at a time

} // namespace

LoudnessMeter::LoudnessMeter(int32_t trackCount, PeakKind peak)
    : m_tracks(static_cast<size_t>(std::max(trackCount, 0))), m_peak(peak)
{
}

LoudnessMeter::~LoudnessMeter()
{
    for (Track& track : m_tracks)
        if (track.state)
            ebur128_destroy(&track.state);
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

void LoudnessMeter::feed(int32_t trackIndex, const uint8_t* pcm, size_t bytes)
{
    Track* track = at(trackIndex);
    if (!track || track->failed)
        return;
    if (!track->state) {
        int mode = EBUR128_MODE_I | (m_peak == PeakKind::True ? EBUR128_MODE_TRUE_PEAK : EBUR128_MODE_SAMPLE_PEAK);
        track->state = ebur128_init(kChannels, kSampleRate, mode);
        if (!track->state) {
            track->failed = true;
            return;
        }
    }
    track->bytes += bytes;
    // The PCM is little-endian like the host (x86, ARM); copying also gives the samples their
    // alignment, which a byte pointer into the stream does not promise.
    int16_t samples[kSliceFrames * kChannels];
    size_t frames = bytes / kFrameBytes;
    while (frames > 0) {
        size_t slice = std::min(frames, kSliceFrames);
        std::memcpy(samples, pcm, slice * kFrameBytes);
        if (ebur128_add_frames_short(track->state, samples, slice) != EBUR128_SUCCESS) {
            track->failed = true;
            return;
        }
        pcm += slice * kFrameBytes;
        frames -= slice;
    }
}

uint64_t LoudnessMeter::bytesFed(int32_t trackIndex) const
{
    const Track* track = at(trackIndex);
    return track ? track->bytes : 0;
}

double LoudnessMeter::peakOf(ebur128_state* state) const
{
    double highest = 0;
    for (unsigned channel = 0; channel < kChannels; ++channel) {
        double peak = 0;
        int result = m_peak == PeakKind::True ? ebur128_true_peak(state, channel, &peak)
                                              : ebur128_sample_peak(state, channel, &peak);
        if (result == EBUR128_SUCCESS)
            highest = std::max(highest, peak);
    }
    return highest;
}

std::optional<Loudness> LoudnessMeter::track(int32_t trackIndex) const
{
    const Track* track = at(trackIndex);
    if (!track || !track->state || track->failed)
        return std::nullopt;
    double integrated = 0;
    if (ebur128_loudness_global(track->state, &integrated) != EBUR128_SUCCESS || !std::isfinite(integrated))
        return std::nullopt;
    return Loudness{integrated, peakOf(track->state)};
}

std::optional<Loudness> LoudnessMeter::album(const std::vector<int32_t>& trackIndexes) const
{
    std::vector<ebur128_state*> states;
    double peak = 0;
    for (int32_t index : trackIndexes) {
        const Track* track = at(index);
        if (!track || !track->state || track->failed)
            continue;
        states.push_back(track->state);
        peak = std::max(peak, peakOf(track->state));
    }
    double integrated = 0;
    if (states.empty() ||
        ebur128_loudness_global_multiple(states.data(), states.size(), &integrated) != EBUR128_SUCCESS ||
        !std::isfinite(integrated))
        return std::nullopt;
    return Loudness{integrated, peak};
}

} // namespace tonvane
