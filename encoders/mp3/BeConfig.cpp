#include "encoders/mp3/BeConfig.h"

#include <algorithm>

namespace tonvane {

uint32_t clampMp3Index(int32_t index)
{
    return static_cast<uint32_t>(std::clamp<int32_t>(index, 0, static_cast<int32_t>(kMp3Bitrates.size()) - 1));
}

BeConfigBlock makeMp3Config(int32_t qualityIndex)
{
    using namespace beconfig;
    const uint32_t index = clampMp3Index(qualityIndex);
    const uint32_t maxIndex = std::min<uint32_t>(index + 2, kMp3Bitrates.size() - 1);

    BeConfigBlock block{};
    uint8_t* b = block.data();
    writeLe32(b + kKind, kKindLame);
    writeLe32(b + kVersion, kCurrentVersion);
    writeLe32(b + kStructSize, kBeConfigSize);
    writeLe32(b + kSampleRate, kCdSampleRate);
    writeLe32(b + kResampleRate, 0);
    writeLe32(b + kMode, kModeJointStereo);
    writeLe32(b + kBitrate, kMp3Bitrates[index]);
    writeLe32(b + kMaxBitrate, kMp3Bitrates[maxIndex]);
    writeLe32(b + kPreset, static_cast<uint32_t>(kPresetVeryHigh));
    writeLe32(b + kMpegVersion, kMpeg1);
    writeLe32(b + kOriginal, 1);
    writeLe32(b + kWriteVbrHeader, 1);
    writeLe32(b + kEnableVbr, 0);
    writeLe32(b + kVbrMethod, kVbrMethodDefault);
    writeLe32(b + kDisableReservoir, 1);
    writeLe16(b + kQuality, 0);
    return block;
}

uint32_t readLe32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

uint16_t readLe16(const uint8_t* at)
{
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

void writeLe32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void writeLe16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

} // namespace tonvane
