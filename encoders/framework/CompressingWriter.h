#pragma once
#include "encoders/FormatWriter.h"

#include <cstdio>

namespace tonvane {

// The life shared by the MP3, Vorbis, FLAC and Opus writers, whose encoder library writes into one
// stdio stream: open creates the file and sets the library up, write feeds it, finish flushes it
// and closes everything. Any failure on the way (library, full disk, a torn sample frame) leaves
// the writer Failed: later writes are refused and finish answers false, because the file is not
// whole. A derived class's destructor calls release(), since its library state is its own.
class CompressingWriter : public FormatWriter {
public:
    ~CompressingWriter() override;

    bool open(std::u16string_view path, uint32_t quality, const TrackTags& tags, uint64_t totalBytes) final;
    bool write(const uint8_t* pcm, size_t bytes) final;
    bool finish() final;

protected:
    CompressingWriter() = default;
    CompressingWriter(const CompressingWriter&) = delete;
    CompressingWriter& operator=(const CompressingWriter&) = delete;

    // The file is open and the writer encoding: set the library up and write what comes before
    // the audio. False (or a fail() on the way) fails the open.
    virtual bool startEncoder(uint32_t quality, const TrackTags& tags, uint64_t totalBytes) = 0;
    // Called only while encoding, with bytes > 0 and pcm not null.
    virtual bool encodeBytes(const uint8_t* pcm, size_t bytes) = 0;
    // Called only while encoding: push out the last audio and complete the headers.
    virtual void flushEncoder() = 0;
    // Frees the library state (which may still write through the open file).
    virtual void releaseEncoder() = 0;

    bool encoding() const { return m_state == State::Encoding; }
    void fail();
    // Appends bytes to the file, or fails the writer.
    bool writeFile(const void* bytes, size_t count);
    std::FILE* file() const { return m_file; }
    // Releases the library state, then closes the file; false when closing the file failed.
    bool release();

private:
    enum class State { Closed, Encoding, Failed };

    State m_state = State::Closed;
    std::FILE* m_file = nullptr;
};

} // namespace tonvane
