#pragma once
#include "core/foundation/Thread.h"
#include "net/http/HttpClient.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace tonvane {

// What the download dialog shows; called on the download's threads.
class DownloadProgress {
public:
    // The announced length: the progress bar's range.
    virtual void onDownloadLength(uint64_t length) = 0;
    // Bytes received so far.
    virtual void onDownloadProgress(uint64_t received) = 0;
    // The download thread has ended; complete is false after a time-out, a write error or a
    // cancel.
    virtual void onDownloadEnded(bool complete) = 0;

protected:
    ~DownloadProgress() = default;
};

// Host and path of "scheme://host/path": host between "//" and the next "/", path from there.
bool splitDownloadUrl(const std::string& url, std::string& host, std::string& path);
// The file name after the URL's last "/" or "\" (within its first 260 characters); empty when
// that is no usable name.
std::string downloadFileName(const std::string& url);
// $XDG_CACHE_HOME/tonvane (else ~/.cache/tonvane); empty when neither is known.
std::string updateCacheDirectory();

// Fetches the installer into the cache folder on a thread of its own. The file is created
// readable and writable by the user only; it becomes executable only after its signature
// verified (UpdateChecker).
class UpdateDownload : private HttpBodySink {
public:
    // [ms] the longest wait for the next byte: a slow installer download is not cut off while
    // it keeps moving.
    static constexpr uint32_t kTimeoutMs = 30000;

    UpdateDownload(std::string url, std::string directory, HttpClientOptions options, uint32_t timeoutMs = kTimeoutMs);
    ~UpdateDownload();
    UpdateDownload(const UpdateDownload&) = delete;
    UpdateDownload& operator=(const UpdateDownload&) = delete;

    // Starts the download thread (once). A URL without a file name fetches nothing and ends at
    // once; one without a host ("setup.run") creates the file by that name, empty, and ends.
    bool start(DownloadProgress* progress);
    // Ends a running download and waits for its thread.
    void cancel();
    // Waits for the download thread.
    void wait();

    const std::string& url() const { return m_url; }
    // The file the download writes (empty when the URL names none).
    const std::string& filePath() const { return m_filePath; }
    // After the thread has ended: every byte arrived and was written.
    bool complete() const { return m_complete; }

private:
    static void* threadMain(void* self);
    void run();
    void onLength(uint64_t length) override;
    void onData(const char* bytes, size_t count) override;

    std::string m_url;
    std::string m_filePath;
    uint32_t m_timeoutMs;
    HttpClient m_http;
    DownloadProgress* m_progress = nullptr;
    Thread m_thread;
    int m_file = -1;
    uint64_t m_received = 0;
    bool m_writeFailed = false;
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_complete{false};
};

} // namespace tonvane
