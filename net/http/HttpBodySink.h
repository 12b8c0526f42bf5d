#pragma once
#include <cstddef>
#include <cstdint>

namespace tonvane {

// Receiver of a response body, called on the connection's event thread.
class HttpBodySink {
public:
    // Once, when the headers announce a non-zero Content-Length.
    virtual void onLength(uint64_t length) = 0;
    // Every piece of the body, in order.
    virtual void onData(const char* bytes, size_t count) = 0;

protected:
    ~HttpBodySink() = default;
};

} // namespace tonvane
