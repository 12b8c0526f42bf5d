// HTTP response parser: arbitrary responses, cut into receives of varying size, with a body
// buffer and a sink; the two must agree and stay within the body limit.
#include "net/http/HttpResponseParser.h"

#include <cstdlib>
#include <string>

namespace {

constexpr uint64_t kLimit = 64 * 1024; // [bytes]

struct Sink : tonvane::HttpBodySink {
    std::string data;
    int lengths = 0;
    void onLength(uint64_t length) override
    {
        if (++lengths > 1 || length == 0 || length > kLimit)
            std::abort();
    }
    void onData(const char* bytes, size_t count) override { data.append(bytes, count); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tonvane;
    if (size < 1)
        return 0;
    size_t step = 1 + data[0] % 97;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    size_t left = size - 1;
    std::string buffer;
    Sink sink;
    HttpResponseParser parser(kLimit);
    parser.setTargets(&buffer, &sink);
    while (left > 0) {
        size_t piece = left < step ? left : step;
        parser.feed(bytes, piece);
        bytes += piece;
        left -= piece;
    }
    if (data[0] & 0x80)
        parser.finish();
    if (buffer != sink.data || buffer.size() > kLimit || parser.bodyBytes() != buffer.size())
        std::abort();
    return 0;
}
