// CDDB line machine: the server's bytes, cut into receives of varying size, through the whole
// session; then every match applied to a few tracks at an old and a UTF-8 protocol level. The
// same bytes also go through the READ TOC parser, which takes drive answers.
#include "net/cddb/CddbProtocol.h"
#include "net/cddb/CddbTransfer.h"
#include "net/cddb/DiscToc.h"

#include <cstdlib>
#include <vector>

namespace {

struct Sink : tonvane::CddbProtocol::Output {
    size_t sent = 0;
    int lastEvent = 0;
    void send(std::string_view command) override { sent += command.size(); }
    void event(int code) override
    {
        if (code < 4 || code > 6 || code < lastEvent)
            std::abort(); // the machine raises only 4, 5, 6 and in that order
        lastEvent = code;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tonvane;
    if (auto toc = parseReadTocFormat0(std::span<const uint8_t>(data, size))) {
        if (!isConsistent(*toc))
            std::abort();
        cddbQueryCommand(*toc);
    }
    if (size < 1)
        return 0;
    size_t step = 1 + data[0] % 64;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    size_t left = size - 1;
    Sink sink;
    CddbProtocol protocol("cddb query 0c012a02 2 150 14270 300\r\n");
    while (left > 0) {
        size_t piece = left < step ? left : step;
        protocol.receive(bytes, piece, sink);
        bytes += piece;
        left -= piece;
    }
    if (protocol.matches().size() > CddbProtocol::kMaxMatches)
        std::abort();
    std::vector<TrackEntry> tracks(3);
    applyCddbMatch(protocol.matches(), 0, 1, tracks);
    applyCddbMatch(protocol.matches(), 99, 6, tracks);
    return 0;
}
