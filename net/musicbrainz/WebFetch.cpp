#include "net/musicbrainz/WebFetch.h"

#include "net/http/HttpAddress.h"
#include "net/musicbrainz/CurlLibrary.h"

#include <charconv>
#include <memory>
#include <string_view>

namespace tonvane {

namespace {

constexpr std::string_view kRetryAfter = "retry-after:";
constexpr uint32_t kMaxRetryAfterDigits = 6;
constexpr long kConnectTimeoutMs = 10000; // [ms] within the whole limit

struct Transfer {
    const WebFetchOptions* options = nullptr;
    WebResponse* response = nullptr;
};

size_t onBody(char* bytes, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    size_t length = size * count;
    uint64_t limit = transfer->options->maxBodyBytes;
    if (limit > 0 && transfer->response->body.size() + length > limit) {
        transfer->response->tooLarge = true;
        return 0; // ends the transfer with CURLE_WRITE_ERROR
    }
    transfer->response->body.append(bytes, length);
    return length;
}

size_t onHeader(char* bytes, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    std::string_view line(bytes, size * count);
    if (line.starts_with("HTTP/"))
        transfer->response->retryAfterSeconds = 0; // a new response after a redirect
    if (startsWithIgnoringCase(line, kRetryAfter)) {
        std::string_view value = line.substr(kRetryAfter.size());
        while (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        uint32_t seconds = 0;
        auto [end, failure] = std::from_chars(value.data(), value.data() + std::min<size_t>(value.size(), kMaxRetryAfterDigits), seconds);
        if (failure == std::errc() && end != value.data())
            transfer->response->retryAfterSeconds = seconds;
    }
    return size * count;
}

// libcurl's progress call: a non-zero answer aborts the transfer.
int stopWhenCancelled(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0;
}

struct EasyDeleter {
    const CurlLibrary* curl;
    void operator()(CURL* handle) const { curl->easyCleanup(handle); }
};

} // namespace

WebResponse fetchUrl(const std::string& url, const WebFetchOptions& options)
{
    WebResponse response;
    const CurlLibrary* library = CurlLibrary::get();
    if (!library) {
        response.error = "the HTTP library (libcurl.so.4) could not be loaded";
        return response;
    }
    std::unique_ptr<CURL, EasyDeleter> curl(library->easyInit(), EasyDeleter{library});
    if (!curl) {
        response.error = "the HTTP library could not start";
        return response;
    }
    Transfer transfer{&options, &response};
    CURL* handle = curl.get();
    library->easySetopt(handle, CURLOPT_URL, url.c_str());
    library->easySetopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    library->easySetopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    library->easySetopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    library->easySetopt(handle, CURLOPT_MAXREDIRS, static_cast<long>(options.maxRedirects));
    library->easySetopt(handle, CURLOPT_USERAGENT, options.userAgent.c_str());
    library->easySetopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(options.timeoutMs));
    library->easySetopt(handle, CURLOPT_CONNECTTIMEOUT_MS, std::min<long>(kConnectTimeoutMs, options.timeoutMs));
    library->easySetopt(handle, CURLOPT_NOSIGNAL, 1L); // time-outs without SIGALRM: other threads run
    library->easySetopt(handle, CURLOPT_ACCEPT_ENCODING, ""); // whatever the library can decode
    library->easySetopt(handle, CURLOPT_WRITEFUNCTION, onBody);
    library->easySetopt(handle, CURLOPT_WRITEDATA, &transfer);
    library->easySetopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
    library->easySetopt(handle, CURLOPT_HEADERDATA, &transfer);
    if (options.maxBodyBytes > 0)
        library->easySetopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBodyBytes));
    if (options.cancel != nullptr) {
        if (options.cancel->load()) {
            response.error = "cancelled";
            return response;
        }
        library->easySetopt(handle, CURLOPT_NOPROGRESS, 0L);
        library->easySetopt(handle, CURLOPT_XFERINFOFUNCTION, stopWhenCancelled);
        library->easySetopt(handle, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(options.cancel));
    }

    CURLcode result = library->easyPerform(handle);
    library->easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
    if (result == CURLE_FILESIZE_EXCEEDED)
        response.tooLarge = true;
    if (response.tooLarge) {
        response.body.clear();
        response.error = "the answer is larger than " + std::to_string(options.maxBodyBytes / (1024 * 1024)) + " MiB";
        return response;
    }
    if (result != CURLE_OK) {
        response.body.clear();
        response.error = result == CURLE_ABORTED_BY_CALLBACK ? "cancelled" : library->easyStrerror(result);
        return response;
    }
    response.transferred = true;
    return response;
}

} // namespace tonvane
