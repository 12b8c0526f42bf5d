#pragma once
#include "encoders/mp3/BeConfig.h"

#include <cstdint>

namespace tonvane {

// The BladeEnc-style MP3 encoder interface (beInitStream ... beCloseStream) on libmp3lame.
using BeError = uint32_t;
inline constexpr BeError kBeErrSuccessful = 0;
inline constexpr BeError kBeErrInvalidFormat = 1; // not a LAME block, or a wrong version or size
inline constexpr BeError kBeErrInvalidFormatParameters = 2; // the library refused the values
inline constexpr BeError kBeErrNoMoreHandles = 3;
inline constexpr BeError kBeErrInvalidHandle = 4;
inline constexpr BeError kBeErrBufferTooSmall = 5;
inline constexpr BeError kBeErrEncodingFailed = 6;

struct BeStreamState;
using BeStream = BeStreamState*;

// Reads the configuration block and opens a stream. samplesPerBlock: 16-bit samples (all
// channels counted) every beEncodeChunk takes; outputBufferSize: [bytes] the smallest output
// buffer each call needs.
BeError beInitStream(const BeConfigBlock& config, uint32_t* samplesPerBlock, uint32_t* outputBufferSize,
                     BeStream* stream);
// Encodes samples interleaved 16-bit values (at most samplesPerBlock) into output, which holds
// outputBufferSize bytes; produced: the MP3 bytes written there.
BeError beEncodeChunk(BeStream stream, uint32_t samples, const int16_t* pcm, uint8_t* output, uint32_t* produced);
// Flushes the encoder's last frames into output.
BeError beDeinitStream(BeStream stream, uint8_t* output, uint32_t* produced);
// The stream's first frame completed: with the header frame switched on, the encoder sends an
// empty placeholder first and this gives the Info/LAME frame (frame count, sizes, encoder delay
// and padding) to write over it once the stream is flushed. produced is 0 when there is none.
BeError beInfoFrame(BeStream stream, uint8_t* output, uint32_t outputBytes, uint32_t* produced);
BeError beCloseStream(BeStream stream);

} // namespace tonvane
