#include "encoders/mp3/BladeEncoder.h"

#include <lame/lame.h>

#include <limits>
#include <new>

namespace tonvane {

struct BeStreamState {
    lame_global_flags* flags = nullptr;
    uint32_t channels = 0;
    uint32_t samplesPerBlock = 0; // 16-bit values, all channels
    uint32_t outputBufferSize = 0; // [bytes]
};

namespace {

// LAME's worst case for one call: 1.25 x samples per channel + 7200 bytes.
uint32_t outputBytesFor(uint32_t samplesPerChannel)
{
    return samplesPerChannel + samplesPerChannel / 4 + 7200;
}

void applyPreset(lame_global_flags* flags, int32_t preset)
{
    using namespace beconfig;
    // Encoder quality: 0 is the most careful search, 9 the fastest.
    switch (preset) {
    case kPresetNormal: lame_set_quality(flags, 5); break;
    case kPresetLow: lame_set_quality(flags, 9); break;
    case kPresetHigh: lame_set_quality(flags, 2); break;
    case kPresetVeryHigh: lame_set_quality(flags, 0); break;
    default: break; // kPresetNone and the voice/r3mix presets: the library's defaults
    }
}

MPEG_mode modeFor(uint32_t mode)
{
    using namespace beconfig;
    switch (mode) {
    case kModeStereo: return STEREO;
    case kModeJointStereo: return JOINT_STEREO;
    case kModeDualChannel: return DUAL_CHANNEL;
    case kModeMono: return MONO;
    default: return NOT_SET;
    }
}

bool applyConfig(lame_global_flags* flags, const BeConfigBlock& config)
{
    using namespace beconfig;
    const uint8_t* b = config.data();
    const MPEG_mode mode = modeFor(readLe32(b + kMode));
    if (mode == NOT_SET)
        return false;
    lame_set_in_samplerate(flags, static_cast<int>(readLe32(b + kSampleRate)));
    lame_set_num_channels(flags, mode == MONO ? 1 : 2);
    // 0 means no resampling; the library would otherwise pick a lower rate for low bitrates.
    const uint32_t resampleRate = readLe32(b + kResampleRate);
    lame_set_out_samplerate(flags, static_cast<int>(resampleRate != 0 ? resampleRate : readLe32(b + kSampleRate)));
    lame_set_mode(flags, mode);
    applyPreset(flags, static_cast<int32_t>(readLe32(b + kPreset)));
    lame_set_copyright(flags, readLe32(b + kCopyright) != 0);
    lame_set_extension(flags, readLe32(b + kPrivate) != 0);
    lame_set_original(flags, readLe32(b + kOriginal) != 0);
    lame_set_error_protection(flags, readLe32(b + kCrc) != 0);
    lame_set_emphasis(flags, static_cast<int>(readLe32(b + kEmphasis)));
    lame_set_strict_ISO(flags, readLe32(b + kStrictIso) != 0);
    lame_set_disable_reservoir(flags, readLe32(b + kDisableReservoir) != 0);
    lame_set_bWriteVbrTag(flags, readLe32(b + kWriteVbrHeader) != 0);
    // Tags are the caller's business: no ID3 from the library, neither in front nor at the end.
    lame_set_write_id3tag_automatic(flags, 0);

    if (readLe32(b + kEnableVbr) != 0) {
        lame_set_VBR(flags, vbr_default);
        lame_set_VBR_q(flags, static_cast<int>(readLe32(b + kVbrQuality)));
        lame_set_VBR_min_bitrate_kbps(flags, static_cast<int>(readLe32(b + kBitrate)));
        lame_set_VBR_max_bitrate_kbps(flags, static_cast<int>(readLe32(b + kMaxBitrate)));
    } else {
        lame_set_VBR(flags, vbr_off);
        lame_set_brate(flags, static_cast<int>(readLe32(b + kBitrate)));
    }

    // The quality word counts only when its high byte is the complement of its low byte.
    const uint16_t quality = readLe16(b + kQuality);
    if ((quality & 0xFF) == (~(quality >> 8) & 0xFF))
        lame_set_quality(flags, quality & 0xFF);

    if (lame_init_params(flags) < 0)
        return false;
    const uint32_t wantedVersion = readLe32(b + kMpegVersion) == kMpeg1 ? 1 : 0;
    return static_cast<uint32_t>(lame_get_version(flags)) == wantedVersion;
}

} // namespace

BeError beInitStream(const BeConfigBlock& config, uint32_t* samplesPerBlock, uint32_t* outputBufferSize,
                     BeStream* stream)
{
    using namespace beconfig;
    if (!samplesPerBlock || !outputBufferSize || !stream)
        return kBeErrInvalidFormatParameters;
    *stream = nullptr;
    const uint8_t* b = config.data();
    if (readLe32(b + kKind) != kKindLame || readLe32(b + kVersion) != kCurrentVersion ||
        readLe32(b + kStructSize) != kBeConfigSize)
        return kBeErrInvalidFormat;

    lame_global_flags* flags = lame_init();
    if (!flags)
        return kBeErrNoMoreHandles;
    if (!applyConfig(flags, config)) {
        lame_close(flags);
        return kBeErrInvalidFormatParameters;
    }
    auto* state = new (std::nothrow) BeStreamState;
    if (!state) {
        lame_close(flags);
        return kBeErrNoMoreHandles;
    }
    state->flags = flags;
    state->channels = static_cast<uint32_t>(lame_get_num_channels(flags));
    const uint32_t samplesPerChannel = static_cast<uint32_t>(lame_get_framesize(flags));
    state->samplesPerBlock = samplesPerChannel * state->channels;
    state->outputBufferSize = outputBytesFor(samplesPerChannel);
    *samplesPerBlock = state->samplesPerBlock;
    *outputBufferSize = state->outputBufferSize;
    *stream = state;
    return kBeErrSuccessful;
}

BeError beEncodeChunk(BeStream stream, uint32_t samples, const int16_t* pcm, uint8_t* output, uint32_t* produced)
{
    if (!stream || !stream->flags)
        return kBeErrInvalidHandle;
    if (!produced || !output || (samples > 0 && !pcm))
        return kBeErrInvalidFormatParameters;
    *produced = 0;
    if (samples > stream->samplesPerBlock)
        return kBeErrBufferTooSmall;
    const int perChannel = static_cast<int>(samples / stream->channels);
    // The library takes a non-const pointer but only reads the samples.
    short* input = const_cast<short*>(pcm);
    const int bytes = stream->channels == 1
                          ? lame_encode_buffer(stream->flags, input, input, perChannel, output,
                                               static_cast<int>(stream->outputBufferSize))
                          : lame_encode_buffer_interleaved(stream->flags, input, perChannel, output,
                                                           static_cast<int>(stream->outputBufferSize));
    if (bytes < 0)
        return kBeErrEncodingFailed;
    *produced = static_cast<uint32_t>(bytes);
    return kBeErrSuccessful;
}

BeError beDeinitStream(BeStream stream, uint8_t* output, uint32_t* produced)
{
    if (!stream || !stream->flags)
        return kBeErrInvalidHandle;
    if (!produced || !output)
        return kBeErrInvalidFormatParameters;
    *produced = 0;
    const int bytes = lame_encode_flush(stream->flags, output, static_cast<int>(stream->outputBufferSize));
    if (bytes < 0)
        return kBeErrEncodingFailed;
    *produced = static_cast<uint32_t>(bytes);
    return kBeErrSuccessful;
}

BeError beInfoFrame(BeStream stream, uint8_t* output, uint32_t outputBytes, uint32_t* produced)
{
    if (!stream || !stream->flags)
        return kBeErrInvalidHandle;
    if (!produced || !output)
        return kBeErrInvalidFormatParameters;
    *produced = 0;
    if (!lame_get_bWriteVbrTag(stream->flags))
        return kBeErrSuccessful;
    const size_t needed = lame_get_lametag_frame(stream->flags, output, outputBytes);
    if (needed > outputBytes)
        return kBeErrBufferTooSmall;
    *produced = static_cast<uint32_t>(needed);
    return kBeErrSuccessful;
}

BeError beCloseStream(BeStream stream)
{
    if (!stream)
        return kBeErrInvalidHandle;
    if (stream->flags)
        lame_close(stream->flags);
    delete stream;
    return kBeErrSuccessful;
}

} // namespace tonvane
