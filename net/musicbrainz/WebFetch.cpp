#include "net/musicbrainz/WebFetch.h"

#include <curl/curl.h>

#include <charconv>
#include <memory>
#include <mutex>
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

bool startsWithIgnoringCase(std::string_view text, std::string_view lowerPrefix)
{
    if (text.size() < lowerPrefix.size())
        return false;
    for (size_t i = 0; i < lowerPrefix.size(); ++i) {
        char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != lowerPrefix[i])
            return false;
    }
    return true;
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

void initialiseOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

} // namespace

WebResponse fetchUrl(const std::string& url, const WebFetchOptions& options)
{
    WebResponse response;
    initialiseOnce();
    std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl) {
        response.error = "the HTTP library could not start";
        return response;
    }
    Transfer transfer{&options, &response};
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, static_cast<long>(options.maxRedirects));
    curl_easy_setopt(handle, CURLOPT_USERAGENT, options.userAgent.c_str());
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(options.timeoutMs));
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, std::min<long>(kConnectTimeoutMs, options.timeoutMs));
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L); // time-outs without SIGALRM: other threads run
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, ""); // whatever the library can decode
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    if (options.maxBodyBytes > 0)
        curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBodyBytes));

    CURLcode result = curl_easy_perform(handle);
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
    if (result == CURLE_FILESIZE_EXCEEDED)
        response.tooLarge = true;
    if (response.tooLarge) {
        response.body.clear();
        response.error = "the answer is larger than " + std::to_string(options.maxBodyBytes / (1024 * 1024)) + " MiB";
        return response;
    }
    if (result != CURLE_OK) {
        response.body.clear();
        response.error = curl_easy_strerror(result);
        return response;
    }
    response.transferred = true;
    return response;
}

} // namespace tonvane
