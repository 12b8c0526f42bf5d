#include "net/musicbrainz/MusicBrainzClient.h"

#include "core/ProductConfig.h"
#include "core/foundation/Utf.h"
#include "net/musicbrainz/MusicBrainzJson.h"
#include "net/musicbrainz/WebFetch.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace tonvane {

namespace {

constexpr char kIncludes[] = "inc=artist-credits+recordings+isrcs&fmt=json";
constexpr std::chrono::milliseconds kRequestInterval{1000}; // the web service's limit per client
constexpr long kStatusOk = 200;
constexpr long kStatusNotFound = 404;
constexpr long kStatusUnavailable = 503;

// Waits until a second has passed since the previous request of this process.
void keepToRateLimit()
{
    static std::mutex mutex;
    static std::chrono::steady_clock::time_point next{};
    std::lock_guard lock(mutex);
    auto now = std::chrono::steady_clock::now();
    if (now < next)
        std::this_thread::sleep_for(next - now);
    next = std::chrono::steady_clock::now() + kRequestInterval;
}

WebResponse request(const std::string& url, const MusicBrainzOptions& options)
{
    WebFetchOptions fetch;
    fetch.userAgent = musicBrainzUserAgent();
    fetch.timeoutMs = options.timeoutMs;
    fetch.maxBodyBytes = options.maxReplyBytes;
    fetch.cancel = options.cancel;
    keepToRateLimit();
    WebResponse response = fetchUrl(url, fetch);
    bool cancelled = options.cancel != nullptr && options.cancel->load();
    if (response.transferred && response.status == kStatusUnavailable && response.retryAfterSeconds > 0 &&
        response.retryAfterSeconds <= options.maxRetryAfterSeconds && !cancelled) {
        std::this_thread::sleep_for(std::chrono::seconds(response.retryAfterSeconds));
        keepToRateLimit();
        response = fetchUrl(url, fetch);
    }
    return response;
}

// Fills lookup from a 200 reply; false with the error set otherwise.
bool takeReply(const WebResponse& response, MusicBrainzLookup& lookup, size_t audioTrackCount)
{
    if (!response.transferred) {
        lookup.error = "no answer from MusicBrainz: " + response.error;
        return false;
    }
    if (response.status == kStatusUnavailable) {
        lookup.error = "MusicBrainz is busy (HTTP 503); try again later";
        return false;
    }
    if (response.status != kStatusOk) {
        lookup.error = "MusicBrainz answered with HTTP status " + std::to_string(response.status);
        return false;
    }
    std::optional<std::vector<MusicBrainzMatch>> matches =
        parseMusicBrainzReleases(response.body, lookup.discId, audioTrackCount, lookup.error);
    if (!matches)
        return false;
    lookup.matches = std::move(*matches);
    return true;
}

} // namespace

std::string musicBrainzUserAgent()
{
    return std::string("Tonvane/") + product::kVersion + " ( " + utf16ToUtf8(product::kWebPage) + " )";
}

MusicBrainzLookup lookUpMusicBrainz(const MusicBrainzToc& toc, size_t audioTrackCount, const MusicBrainzOptions& options)
{
    MusicBrainzLookup lookup;
    lookup.discId = musicBrainzDiscId(toc);
    std::string base = options.server + "/ws/2/discid/" + lookup.discId + "?";

    WebResponse exact = request(base + kIncludes, options);
    if (!(exact.transferred && exact.status == kStatusNotFound)) {
        lookup.ok = takeReply(exact, lookup, audioTrackCount);
        if (!lookup.ok || !lookup.matches.empty())
            return lookup;
    }
    // The id is unknown (or lists no usable release): look for releases with the same layout.
    lookup.fuzzy = true;
    WebResponse fuzzy = request(base + "toc=" + musicBrainzTocQuery(toc) + "&cdstubs=no&" + kIncludes, options);
    if (fuzzy.transferred && fuzzy.status == kStatusNotFound) {
        lookup.ok = true; // nothing like this disc
        return lookup;
    }
    lookup.ok = takeReply(fuzzy, lookup, audioTrackCount);
    return lookup;
}

} // namespace tonvane
