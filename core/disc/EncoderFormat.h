#pragma once
#include <cstdint>

namespace tonvane {

// EncoderFormat values and their output file extensions.
enum EncoderFormat : int32_t {
    kFormatMp3 = 0,
    kFormatVorbis = 1,
    kFormatFlac = 2,
    kFormatWav = 3,
    kFormatOpus = 4,
};
inline constexpr int32_t kFormatCount = 5;
// ".mp3", ".ogg", ".flac", ".Wav" (capital W, as the Windows build named them), ".opus"; null
// otherwise.
const char16_t* formatExtension(int32_t format);

} // namespace tonvane
