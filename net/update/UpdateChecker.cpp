#include "net/update/UpdateChecker.h"

#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"

#include <chrono>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace tonvane {

namespace {

constexpr uint32_t kNoUpdateTextMs = 2000; // [ms] "There are no available updates" stays this long
constexpr char kSignatureSuffix[] = ".sig";
constexpr mode_t kVerifiedInstaller = 0700;
constexpr uint64_t kMaxVersionFileBytes = 64 * 1024; // [bytes]

// The settings file is outside input: "DeleteUpdateFile" is never a licence to delete any path.
// Only a regular file directly inside our own download folder (links resolved) is removed.
void removeLeftOverInstaller(const std::string& named, const std::string& folder)
{
    char folderReal[PATH_MAX];
    char fileReal[PATH_MAX];
    if (named.empty() || folder.empty() || ::realpath(folder.c_str(), folderReal) == nullptr
        || ::realpath(named.c_str(), fileReal) == nullptr)
        return; // already gone is fine
    std::string file(fileReal);
    std::string inside = std::string(folderReal) + "/";
    bool directlyInside = file.compare(0, inside.size(), inside) == 0 && file.find('/', inside.size()) == std::string::npos;
    struct stat info {};
    if (directlyInside && ::lstat(fileReal, &info) == 0 && S_ISREG(info.st_mode))
        ::unlink(fileReal);
}

} // namespace

UpdateChecker::UpdateChecker(UpdateUi& ui, UpdateCheckerOptions options) : m_ui(ui), m_options(std::move(options))
{
    if (m_options.cacheDirectory.empty())
        m_options.cacheDirectory = updateCacheDirectory();
}

UpdateChecker::~UpdateChecker()
{
    stop();
}

ProgramLauncher& UpdateChecker::launcher()
{
    return m_options.launcher ? *m_options.launcher : m_systemLauncher;
}

HttpClientOptions UpdateChecker::httpOptions() const
{
    HttpClientOptions options;
    options.port = m_options.port;
    options.resolver = m_options.resolver;
    return options;
}

std::u16string UpdateChecker::webPage() const
{
    if (!m_options.webPage.empty())
        return m_options.webPage;
    return currentLanguage() == kSpanish ? product::kWebPageSpanish : product::kWebPage;
}

UpdateInfo UpdateChecker::lastInfo() const
{
    std::lock_guard lock(m_mutex);
    return m_lastInfo;
}

void UpdateChecker::startUp()
{
    WideString leftOver;
    if (settings::readString(product::kProductKey, u"", settings::kValueDeleteUpdateFile, leftOver)) {
        removeLeftOverInstaller(leftOver.toUtf8(), m_options.cacheDirectory);
        settings::deleteUpdateFileValue(product::kProductKey);
        launcher().openWebPage(webPage());
    }
    stop();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }
    if (m_options.delayedCheck)
        startThread(m_delayedThread, delayedCheckMain, this);
}

void UpdateChecker::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        if (m_activeFetch)
            m_activeFetch->cancel();
        m_wake.notify_all();
    }
    m_delayedThread.join();
}

void* UpdateChecker::delayedCheckMain(void* self)
{
    auto* checker = static_cast<UpdateChecker*>(self);
    {
        std::unique_lock lock(checker->m_mutex);
        if (checker->m_wake.wait_for(lock, std::chrono::milliseconds(checker->m_options.checkDelayMs),
                                     [checker] { return checker->m_stopping; }))
            return nullptr;
    }
    checker->runCheck(true);
    return nullptr;
}

void UpdateChecker::check()
{
    runCheck(false);
}

void UpdateChecker::runCheck(bool background)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_checking || (background && m_stopping))
            return;
        m_checking = true;
    }
    checkOnce(background);
    std::lock_guard lock(m_mutex);
    m_checking = false;
}

bool UpdateChecker::stopping() const
{
    std::lock_guard lock(m_mutex);
    return m_stopping;
}

// One GET that stop() ends early; none starts once stop() was called.
bool UpdateChecker::fetch(HttpClient& http, const std::string& host, const std::string& path)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return false;
        m_activeFetch = &http;
    }
    bool fetched = http.get(host, path, m_options.versionTimeoutMs);
    std::lock_guard lock(m_mutex);
    m_activeFetch = nullptr;
    return fetched;
}

void UpdateChecker::checkOnce(bool background)
{
    m_ui.showStatus(kTextCheckingUpdates);

    std::string body;
    bool fetched = false;
    {
        HttpClientOptions options = httpOptions();
        options.maxBodyBytes = kMaxVersionFileBytes;
        HttpClient http(options);
        http.setBodyBuffer(&body);
        fetched = fetch(http, m_options.host, m_options.versionPath);
    }
    if (background && stopping())
        return;

    std::string signature;
    bool signedByUs = fetched && fetchSignature(m_options.host, m_options.versionPath, signature)
                      && verifySignature(std::span(reinterpret_cast<const uint8_t*>(body.data()), body.size()),
                                         std::span(reinterpret_cast<const uint8_t*>(signature.data()), signature.size()),
                                         std::span<const uint8_t, kUpdatePublicKeyBytes>(m_options.publicKey));
    std::optional<UpdateInfo> info;
    if (signedByUs)
        info = parseVersionFile(body, m_options.platformKey, m_options.runningVersion);
    {
        std::lock_guard lock(m_mutex);
        m_lastInfo = info.value_or(UpdateInfo{});
    }
    if (!info || !info->newer) {
        m_ui.showStatus(kTextNoUpdates);
        m_ui.clearStatusAfter(kNoUpdateTextMs);
        return;
    }

    m_ui.showStatus(kTextUpdatesAvailable);
    UpdateDownload download(info->downloadUrl, m_options.cacheDirectory, httpOptions(), m_options.downloadTimeoutMs);
    int result = m_ui.runDownloadDialog(WideString::fromUtf8(info->versionText), WideString::fromUtf8(info->downloadUrl),
                                        download);
    download.cancel(); // the dialog has returned: no download thread may outlive it
    if (result == kDialogFinished)
        installDownloaded(download);
    else if (!download.filePath().empty())
        ::unlink(download.filePath().c_str()); // a partial, unverified file is of no use
    m_ui.clearStatus();
}

void UpdateChecker::installDownloaded(UpdateDownload& download)
{
    const std::string& path = download.filePath();
    std::string signature;
    std::string host;
    std::string urlPath;
    bool verified = download.complete() && splitDownloadUrl(download.url(), host, urlPath)
                    && fetchSignature(host, urlPath, signature)
                    && verifyFileSignature(path, std::span(reinterpret_cast<const uint8_t*>(signature.data()), signature.size()),
                                           std::span<const uint8_t, kUpdatePublicKeyBytes>(m_options.publicKey));
    if (!verified) {
        // Never start what we cannot prove is ours: drop it and send the user to the web page
        // (unless the program is closing and stopped the check).
        if (!path.empty())
            ::unlink(path.c_str());
        if (!stopping())
            launcher().openWebPage(webPage());
        return;
    }
    if (::chmod(path.c_str(), kVerifiedInstaller) != 0) {
        ::unlink(path.c_str());
        launcher().openWebPage(webPage());
        return;
    }
    settings::writeUpdateFileValue(product::kProductKey, WideString::fromUtf8(path));
    launcher().startProgram(path);
    m_ui.closeMainWindow();
}

bool UpdateChecker::fetchSignature(const std::string& host, const std::string& path, std::string& signature)
{
    HttpClientOptions options = httpOptions();
    options.maxBodyBytes = kUpdateSignatureBytes;
    HttpClient http(options);
    http.setBodyBuffer(&signature);
    return fetch(http, host, path + kSignatureSuffix) && signature.size() == kUpdateSignatureBytes;
}

} // namespace tonvane
