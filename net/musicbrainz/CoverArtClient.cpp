#include "net/musicbrainz/CoverArtClient.h"

#include "net/musicbrainz/MusicBrainzClient.h"
#include "net/musicbrainz/MusicBrainzJson.h"
#include "net/musicbrainz/WebFetch.h"

#include <string_view>

namespace tonvane {

namespace {

constexpr std::string_view kJpegMagic = "\xFF\xD8\xFF";
constexpr std::string_view kPngMagic = "\x89PNG\r\n\x1A\n";
constexpr long kStatusOk = 200;
constexpr long kStatusNotFound = 404;

} // namespace

std::string imageTypeOf(const std::string& bytes)
{
    if (bytes.starts_with(kJpegMagic))
        return "image/jpeg";
    if (bytes.starts_with(kPngMagic))
        return "image/png";
    return {};
}

std::string coverFileName(const CoverPicture& picture)
{
    return picture.mimeType == "image/png" ? "cover.png" : "cover.jpg";
}

CoverArtResult fetchFrontCover(const std::string& releaseId, const CoverArtOptions& options)
{
    CoverArtResult result;
    if (!isMusicBrainzId(releaseId)) {
        result.error = "the match names no release";
        return result;
    }
    WebFetchOptions fetch;
    fetch.userAgent = musicBrainzUserAgent();
    fetch.timeoutMs = options.timeoutMs;
    fetch.maxBodyBytes = options.maxImageBytes;
    fetch.cancel = options.cancel;
    WebResponse response = fetchUrl(options.server + "/release/" + releaseId + "/front-500", fetch);
    if (!response.transferred) {
        result.error = "no cover from the Cover Art Archive: " + response.error;
        return result;
    }
    if (response.status == kStatusNotFound) {
        result.missing = true;
        return result;
    }
    if (response.status != kStatusOk) {
        result.error = "the Cover Art Archive answered with HTTP status " + std::to_string(response.status);
        return result;
    }
    std::string type = imageTypeOf(response.body);
    if (type.empty()) {
        result.error = "the cover is neither JPEG nor PNG";
        return result;
    }
    auto picture = std::make_shared<CoverPicture>();
    picture->bytes.assign(response.body.begin(), response.body.end());
    picture->mimeType = type;
    result.picture = std::move(picture);
    return result;
}

} // namespace tonvane
