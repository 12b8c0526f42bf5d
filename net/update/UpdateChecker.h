#pragma once
#include "core/ProductConfig.h"
#include "core/foundation/Thread.h"
#include "core/foundation/WideString.h"
#include "core/language/Language.h"
#include "net/http/HttpClient.h"
#include "net/update/ProgramLauncher.h"
#include "net/update/UpdateDownload.h"
#include "net/update/UpdateSignature.h"
#include "net/update/VersionFile.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace tonvane {

// What the update check needs from the main window and its download dialog.
class UpdateUi {
public:
    virtual void showStatus(TextId text) = 0;
    virtual void clearStatus() = 0;
    virtual void clearStatusAfter(uint32_t milliseconds) = 0;
    // The modal download dialog: "Do you want to upgrade to version %s?", a start button that
    // calls download.start(...), cancel that calls download.cancel(). 0 when the download
    // finished, 2 when it was cancelled.
    virtual int runDownloadDialog(const WideString& version, const WideString& url, UpdateDownload& download) = 0;
    // Posts the close request to the main window.
    virtual void closeMainWindow() = 0;

protected:
    ~UpdateUi() = default;
};

struct UpdateCheckerOptions {
    std::string host = product::kUpdateHost;
    uint16_t port = 80;
    std::string versionPath = product::kVersionFilePath;
    std::string platformKey = product::kUpdatePlatformKey;
    std::string runningVersion = product::kVersion;
    std::u16string webPage; // empty: the product page in the interface's language
    uint32_t checkDelayMs = 6000;
    bool delayedCheck = true; // false: startUp only cleans up after an update (the check is off)
    uint32_t versionTimeoutMs = 10000;
    uint32_t downloadTimeoutMs = UpdateDownload::kTimeoutMs;
    std::array<uint8_t, kUpdatePublicKeyBytes> publicKey = std::to_array(product::kUpdateSigningKey);
    std::string cacheDirectory; // empty: updateCacheDirectory()
    ProgramLauncher* launcher = nullptr; // null: the system launcher
    HostResolver resolver = resolveHostIpv4;
};

// Asks the update server for a newer version, lets the user download it, and starts the
// installer only when its Ed25519 signature verifies. The version file is signed as well
// ("<path>.sig"): otherwise anyone on the path could offer an older, once-signed installer.
class UpdateChecker {
public:
    // The dialog results of the download dialog.
    static constexpr int kDialogFinished = 0;
    static constexpr int kDialogCancelled = 2;

    explicit UpdateChecker(UpdateUi& ui, UpdateCheckerOptions options = {});
    ~UpdateChecker();
    UpdateChecker(const UpdateChecker&) = delete;
    UpdateChecker& operator=(const UpdateChecker&) = delete;

    // Once the main window exists: after an update (the value "DeleteUpdateFile" is stored)
    // deletes that installer when it is a regular file directly inside the download folder,
    // removes the value either way and opens the product page; then starts the delayed check.
    void startUp();
    // Runs the whole check, download and installer start on the calling thread. A check that
    // starts while another one runs (menu command during the delayed check) does nothing.
    void check();
    // Ends the delayed check and waits for its thread. A fetch in progress (version file or
    // signature) is cancelled, and no further fetch starts until the next startUp.
    void stop();

    // The delayed check's thread was started and not yet joined (by stop).
    bool delayedCheckStarted() const { return m_delayedThread.joinable(); }
    // The version file's answer of the last check.
    UpdateInfo lastInfo() const;

private:
    static void* delayedCheckMain(void* self);
    void runCheck(bool background);
    void checkOnce(bool background);
    void installDownloaded(UpdateDownload& download);
    bool fetch(HttpClient& http, const std::string& host, const std::string& path);
    bool stopping() const;
    bool fetchSignature(const std::string& host, const std::string& path, std::string& signature);
    std::u16string webPage() const;
    HttpClientOptions httpOptions() const;
    ProgramLauncher& launcher();

    UpdateUi& m_ui;
    UpdateCheckerOptions m_options;
    SystemLauncher m_systemLauncher;
    Thread m_delayedThread;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    HttpClient* m_activeFetch = nullptr; // the fetch in progress, for stop()
    bool m_checking = false;
    UpdateInfo m_lastInfo;
};

} // namespace tonvane
