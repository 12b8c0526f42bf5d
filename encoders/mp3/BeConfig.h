#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace tonvane {

// The BladeEnc-style configuration block of the MP3 encoder interface, LAME variant: byte-packed,
// little-endian integers, every byte not named below is 0.
inline constexpr size_t kBeConfigSize = 331; // [bytes]
using BeConfigBlock = std::array<uint8_t, kBeConfigSize>;

namespace beconfig {
// Field offsets [bytes] and their widths (4 bytes unless noted).
inline constexpr size_t kKind = 0;
inline constexpr size_t kVersion = 4;
inline constexpr size_t kStructSize = 8;
inline constexpr size_t kSampleRate = 12; // [Hz]
inline constexpr size_t kResampleRate = 16; // [Hz] 0 = none
inline constexpr size_t kMode = 20;
inline constexpr size_t kBitrate = 24; // [kbit/s]
inline constexpr size_t kMaxBitrate = 28; // [kbit/s] used in VBR mode only
inline constexpr size_t kPreset = 32;
inline constexpr size_t kMpegVersion = 36;
inline constexpr size_t kPsyModel = 40;
inline constexpr size_t kEmphasis = 44;
inline constexpr size_t kPrivate = 48;
inline constexpr size_t kCrc = 52;
inline constexpr size_t kCopyright = 56;
inline constexpr size_t kOriginal = 60;
inline constexpr size_t kWriteVbrHeader = 64;
inline constexpr size_t kEnableVbr = 68;
inline constexpr size_t kVbrQuality = 72;
inline constexpr size_t kVbrBitrate = 76; // [kbit/s]
inline constexpr size_t kVbrMethod = 80;
inline constexpr size_t kDisableReservoir = 84;
inline constexpr size_t kStrictIso = 88;
inline constexpr size_t kQuality = 92; // 2 bytes

inline constexpr uint32_t kKindLame = 256;
inline constexpr uint32_t kCurrentVersion = 1;
inline constexpr uint32_t kModeStereo = 0;
inline constexpr uint32_t kModeJointStereo = 1;
inline constexpr uint32_t kModeDualChannel = 2;
inline constexpr uint32_t kModeMono = 3;
inline constexpr uint32_t kMpeg2 = 0;
inline constexpr uint32_t kMpeg1 = 1;
inline constexpr int32_t kPresetNone = -1;
inline constexpr int32_t kPresetNormal = 0;
inline constexpr int32_t kPresetLow = 1;
inline constexpr int32_t kPresetHigh = 2;
inline constexpr int32_t kPresetVeryHigh = 5;
inline constexpr uint32_t kVbrMethodDefault = 4;
} // namespace beconfig

// Constant bitrates [kbit/s] by MP3 quality index.
inline constexpr std::array<uint32_t, 14> kMp3Bitrates = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
inline constexpr uint32_t kCdSampleRate = 44100; // [Hz]

// Index clamped to the table: below 0 gives 0, above 13 gives 13. The index is the stored 32-bit
// value read as signed, so 0xFFFFFFFF is -1 and gives 0.
uint32_t clampMp3Index(int32_t index);
// The block for 44.1 kHz joint-stereo MPEG-1 CBR at kMp3Bitrates[clamped index], very-high-quality
// preset, original bit, no CRC, Info header frame on, bit reservoir off.
BeConfigBlock makeMp3Config(int32_t qualityIndex);

uint32_t readLe32(const uint8_t* at);
uint16_t readLe16(const uint8_t* at);
void writeLe32(uint8_t* at, uint32_t value);
void writeLe16(uint8_t* at, uint16_t value);

} // namespace tonvane
