#include "UpdateServer.h"
#include "net/update/UpdateChecker.h"

#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <sodium.h>
#include <sys/stat.h>

using namespace tonvane;
using namespace tonvane::test;
using namespace std::chrono_literals;

TEST(VersionFile, VersionsCompareAsTuples)
{
    const char* running = "0.2.7";
    EXPECT_TRUE(isNewerVersion("0.2.8", running));
    EXPECT_TRUE(isNewerVersion("0.3.0", running));
    EXPECT_TRUE(isNewerVersion("1.0.0", running));
    EXPECT_FALSE(isNewerVersion("0.2.7", running));
    EXPECT_TRUE(isNewerVersion("0.2.10", running));
    EXPECT_FALSE(isNewerVersion("0.1.9", running)) << "an older release is no upgrade";
    EXPECT_FALSE(isNewerVersion("0.1.99", running));
    EXPECT_FALSE(isNewerVersion("0.2.6", running));
    EXPECT_TRUE(isNewerVersion("0.3.0", "0.2.99"));
    EXPECT_TRUE(isNewerVersion("1", running)) << "major decides before the missing parts are reached";
    EXPECT_FALSE(isNewerVersion("0.2", running));
    EXPECT_FALSE(isNewerVersion("0.x.9", running));
    EXPECT_FALSE(isNewerVersion("", running));
    EXPECT_TRUE(isNewerVersion("99999999999999.0.0", running));
}

TEST(VersionFile, FindsThePlatformLineAnywhere)
{
    std::string body = "# versions\nWin32 9.9.9 http://example.invalid/win/setup.exe\r\n"
                       "Linux64 9.9.9 http://example.invalid/other\n"
                       "Linux 0.3.1 http://127.0.0.1/files/tonvane-0.3.1.run\r\n";
    std::optional<UpdateInfo> info = parseVersionFile(body, "Linux", "0.2.7");
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->newer);
    EXPECT_EQ(info->versionText, "0.3.1");
    EXPECT_EQ(info->downloadUrl, "http://127.0.0.1/files/tonvane-0.3.1.run");

    EXPECT_FALSE(parseVersionFile("Win32 1.0.0 http://x/y\n", "Linux", "0.2.7")) << "no line for this platform";
    EXPECT_FALSE(parseVersionFile("", "Linux", "0.2.7"));
    std::optional<UpdateInfo> bare = parseVersionFile("Linux 0.3.0", "Linux", "0.2.7");
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->newer);
    EXPECT_TRUE(bare->versionText.empty() && bare->downloadUrl.empty()) << "no space: no text and no URL";
    std::optional<UpdateInfo> same = parseVersionFile("Linux=0.2.7 http://x/y", "Linux", "0.2.7");
    ASSERT_TRUE(same);
    EXPECT_FALSE(same->newer);
}

TEST(UpdateDownload, UrlPartsAndFileNames)
{
    std::string host, path;
    EXPECT_TRUE(splitDownloadUrl("http://tonvane.org/files/setup.run", host, path));
    EXPECT_EQ(host, "tonvane.org");
    EXPECT_EQ(path, "/files/setup.run");
    EXPECT_FALSE(splitDownloadUrl("tonvane.org/files/setup.run", host, path));
    EXPECT_FALSE(splitDownloadUrl("http://tonvane.org", host, path));
    EXPECT_EQ(downloadFileName("http://a/b\\c/setup.run"), "setup.run");
    EXPECT_EQ(downloadFileName("http://a/b/.."), "");
    EXPECT_EQ(downloadFileName("http://a/b/"), "");
}

namespace {

class FakeUi : public UpdateUi, public DownloadProgress {
public:
    void showStatus(TextId text) override
    {
        std::lock_guard lock(m_mutex);
        statuses.push_back(text);
        m_changed.notify_all();
    }
    void clearStatus() override
    {
        std::lock_guard lock(m_mutex);
        ++clears;
    }
    void clearStatusAfter(uint32_t milliseconds) override
    {
        std::lock_guard lock(m_mutex);
        delayedClears.push_back(milliseconds);
        m_changed.notify_all();
    }
    int runDownloadDialog(const WideString& version, const WideString& url, UpdateDownload& download) override
    {
        {
            std::lock_guard lock(m_mutex);
            ++dialogs;
            dialogVersion = version.toUtf8();
            dialogUrl = url.toUtf8();
            m_ended = false;
        }
        if (cancelDialog)
            return UpdateChecker::kDialogCancelled;
        download.start(this);
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, 10s, [this] { return m_ended; });
        return m_complete ? UpdateChecker::kDialogFinished : UpdateChecker::kDialogCancelled;
    }
    void closeMainWindow() override
    {
        std::lock_guard lock(m_mutex);
        ++closes;
    }
    void onDownloadLength(uint64_t length) override
    {
        std::lock_guard lock(m_mutex);
        announced = length;
    }
    void onDownloadProgress(uint64_t received) override
    {
        std::lock_guard lock(m_mutex);
        progress = received;
    }
    void onDownloadEnded(bool complete) override
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_complete = complete;
        m_changed.notify_all();
    }
    bool waitForStatus(TextId text, std::chrono::milliseconds limit)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] {
            return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
        });
    }
    std::vector<TextId> statusList()
    {
        std::lock_guard lock(m_mutex);
        return statuses;
    }

    bool cancelDialog = false;
    std::vector<TextId> statuses;
    std::vector<uint32_t> delayedClears;
    int clears = 0;
    int dialogs = 0;
    int closes = 0;
    std::string dialogVersion;
    std::string dialogUrl;
    uint64_t announced = 0;
    uint64_t progress = 0;

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_ended = false;
    bool m_complete = false;
};

// Records web pages (never starts a browser in tests); starts programs for real when asked.
class FakeLauncher : public ProgramLauncher {
public:
    bool openWebPage(std::u16string_view url) override
    {
        pages.emplace_back(url);
        return true;
    }
    bool startProgram(const std::string& path) override
    {
        programs.push_back(path);
        return reallyStart && SystemLauncher().startProgram(path);
    }
    bool reallyStart = false;
    std::vector<std::u16string> pages;
    std::vector<std::string> programs;
};

class UpdateCheck : public ::testing::Test {
protected:
    UpdateCheckerOptions optionsFor(const LocalServer& server)
    {
        UpdateCheckerOptions options;
        options.host = "127.0.0.1";
        options.port = server.port();
        options.runningVersion = "0.2.7";
        options.publicKey = m_keys.publicKey;
        options.launcher = &m_launcher;
        options.versionTimeoutMs = 3000;
        options.downloadTimeoutMs = 3000;
        options.checkDelayMs = 60000;
        return options;
    }
    // A refused local port and a delay no test waits out: nothing is ever fetched.
    static UpdateCheckerOptions refusedOptions(FakeLauncher& launcher)
    {
        UpdateCheckerOptions options;
        options.host = "127.0.0.1";
        options.port = unusedLocalPort();
        options.launcher = &launcher;
        options.checkDelayMs = 60000;
        return options;
    }
    std::string installerPath() const { return m_cache.path() + "/tonvane/tonvane-setup.sh"; }
    std::string script() const { return "#!/bin/sh\necho started > '" + marker() + "'\n"; }
    std::string marker() const { return m_dir.path() + "/installer-ran"; }
    std::string versionFile() const
    {
        return "# Tonvane releases\nWin32 0.3.0 http://127.0.0.1/files/setup.exe\n"
               "Linux 0.3.0 http://127.0.0.1/files/tonvane-setup.sh\n";
    }
    // The version file and its signature, as the update server publishes them.
    std::map<std::string, std::string> signedVersion(const std::string& body) const
    {
        return {{"/version/tonvane.txt", body}, {"/version/tonvane.txt.sig", m_keys.sign(body)}};
    }
    std::map<std::string, std::string> withSignedVersion(std::map<std::string, std::string> files) const
    {
        files.merge(signedVersion(versionFile()));
        return files;
    }

    TempDir m_dir;
    TempDir m_config;
    TempDir m_cache;
    ScopedEnv m_configEnv{"XDG_CONFIG_HOME", m_config.path().c_str()};
    ScopedEnv m_cacheEnv{"XDG_CACHE_HOME", m_cache.path().c_str()};
    KeyPair m_keys;
    FakeUi m_ui;
    FakeLauncher m_launcher;
};

bool waitForFile(const std::string& path)
{
    for (int i = 0; i < 250; ++i) {
        if (fileExists(path))
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

} // namespace

TEST_F(UpdateCheck, SignedInstallerIsMadeExecutableAndStarted)
{
    LocalServer server(updateServer(withSignedVersion(
                           {{"/files/tonvane-setup.sh", script()}, {"/files/tonvane-setup.sh.sig", m_keys.sign(script())}})),
                       4);
    m_launcher.reallyStart = true;
    UpdateChecker checker(m_ui, optionsFor(server));
    checker.check();

    EXPECT_EQ(m_ui.statuses, (std::vector<TextId>{kTextCheckingUpdates, kTextUpdatesAvailable}));
    EXPECT_EQ(m_ui.dialogs, 1);
    EXPECT_EQ(m_ui.dialogVersion, "0.3.0");
    EXPECT_EQ(m_ui.dialogUrl, "http://127.0.0.1/files/tonvane-setup.sh");
    EXPECT_EQ(m_ui.announced, script().size());
    EXPECT_EQ(m_ui.progress, script().size());
    EXPECT_EQ(m_launcher.programs, (std::vector<std::string>{installerPath()}));
    EXPECT_TRUE(m_launcher.pages.empty());
    EXPECT_EQ(m_ui.closes, 1);
    EXPECT_EQ(m_ui.clears, 1);
    EXPECT_EQ(readFile(installerPath()), script());
    struct stat info {};
    ASSERT_EQ(::stat(installerPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    WideString stored;
    ASSERT_TRUE(settings::readString(product::kProductKey, u"", settings::kValueDeleteUpdateFile, stored));
    EXPECT_EQ(stored.toUtf8(), installerPath());
    ASSERT_TRUE(waitForFile(marker())) << "the test installer did not run";
    for (int i = 0; i < 100 && readFile(marker()) != "started\n"; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(readFile(marker()), "started\n");

    // The next start removes the installer and the value, and opens the product page.
    checker.startUp();
    checker.stop();
    EXPECT_FALSE(fileExists(installerPath()));
    EXPECT_FALSE(settings::readString(product::kProductKey, u"", settings::kValueDeleteUpdateFile, stored));
    EXPECT_EQ(m_launcher.pages, (std::vector<std::u16string>{product::kWebPage}));
}

TEST_F(UpdateCheck, BadOrMissingSignatureStartsNothingAndDeletesTheFile)
{
    KeyPair stranger;
    std::vector<std::pair<const char*, std::map<std::string, std::string>>> cases = {
        {"signed by another key",
         withSignedVersion({{"/files/tonvane-setup.sh", script()}, {"/files/tonvane-setup.sh.sig", stranger.sign(script())}})},
        {"signature of other bytes",
         withSignedVersion({{"/files/tonvane-setup.sh", script() + "rm -rf ~\n"},
                            {"/files/tonvane-setup.sh.sig", m_keys.sign(script())}})},
        {"no signature", withSignedVersion({{"/files/tonvane-setup.sh", script()}})},
        {"truncated signature",
         withSignedVersion({{"/files/tonvane-setup.sh", script()},
                            {"/files/tonvane-setup.sh.sig", m_keys.sign(script()).substr(0, 63)}})},
    };
    for (const auto& [what, files] : cases) {
        FakeUi ui;
        FakeLauncher launcher;
        LocalServer server(updateServer(files), 4);
        UpdateCheckerOptions options = optionsFor(server);
        options.launcher = &launcher;
        UpdateChecker checker(ui, options);
        checker.check();
        EXPECT_EQ(ui.dialogs, 1) << what;
        EXPECT_TRUE(launcher.programs.empty()) << what;
        EXPECT_EQ(ui.closes, 0) << what;
        EXPECT_FALSE(fileExists(installerPath())) << what;
        EXPECT_EQ(launcher.pages, (std::vector<std::u16string>{product::kWebPage})) << what;
        WideString stored;
        EXPECT_FALSE(settings::readString(product::kProductKey, u"", settings::kValueDeleteUpdateFile, stored)) << what;
    }
}

TEST_F(UpdateCheck, NoUpdateCases)
{
    KeyPair stranger;
    std::string older = "Linux 0.1.9 http://127.0.0.1/files/x\n";
    std::vector<std::pair<const char*, std::map<std::string, std::string>>> cases = {
        {"same version", signedVersion("Linux 0.2.7 http://127.0.0.1/files/x\n")},
        {"older version", signedVersion(older)},
        {"only another platform", signedVersion("Win32 0.3.0 http://127.0.0.1/files/x\n")},
        {"no version file", {}},
        {"unsigned version file", {{"/version/tonvane.txt", versionFile()}}},
        {"version file signed by another key",
         {{"/version/tonvane.txt", versionFile()}, {"/version/tonvane.txt.sig", stranger.sign(versionFile())}}},
        {"signature of another version file",
         {{"/version/tonvane.txt", versionFile()}, {"/version/tonvane.txt.sig", m_keys.sign(older)}}},
    };
    for (const auto& [what, files] : cases) {
        FakeUi ui;
        LocalServer server(updateServer(files), 2);
        UpdateCheckerOptions options = optionsFor(server);
        UpdateChecker checker(ui, options);
        checker.check();
        EXPECT_EQ(ui.statuses, (std::vector<TextId>{kTextCheckingUpdates, kTextNoUpdates})) << what;
        EXPECT_EQ(ui.delayedClears, (std::vector<uint32_t>{2000})) << what;
        EXPECT_EQ(ui.dialogs, 0) << what;
    }
    FakeUi unreachable;
    UpdateChecker checker(unreachable, refusedOptions(m_launcher));
    checker.check();
    EXPECT_EQ(unreachable.statuses, (std::vector<TextId>{kTextCheckingUpdates, kTextNoUpdates}));
}

TEST_F(UpdateCheck, CancelledDialogLeavesNothingBehind)
{
    LocalServer server(updateServer(signedVersion(versionFile())), 2);
    m_ui.cancelDialog = true;
    UpdateChecker checker(m_ui, optionsFor(server));
    checker.check();
    EXPECT_EQ(m_ui.dialogs, 1);
    EXPECT_TRUE(m_launcher.programs.empty());
    EXPECT_TRUE(m_launcher.pages.empty());
    EXPECT_EQ(m_ui.clears, 1);
}

TEST_F(UpdateCheck, StartUpCleansAnAlreadyMissingFileAndRunsTheDelayedCheck)
{
    ASSERT_TRUE(settings::writeUpdateFileValue(product::kProductKey, u"/nonexistent/tonvane-setup.sh"));
    LocalServer server(updateServer(signedVersion("Linux 0.2.7 http://127.0.0.1/x\n")), 2);
    UpdateCheckerOptions options = optionsFor(server);
    options.checkDelayMs = 50;
    UpdateChecker checker(m_ui, options);
    checker.startUp();
    WideString stored;
    EXPECT_FALSE(settings::readString(product::kProductKey, u"", settings::kValueDeleteUpdateFile, stored));
    EXPECT_EQ(m_launcher.pages, (std::vector<std::u16string>{product::kWebPage}));
    EXPECT_TRUE(m_ui.waitForStatus(kTextNoUpdates, 5s));
    checker.stop();
    EXPECT_EQ(m_ui.statusList(), (std::vector<TextId>{kTextCheckingUpdates, kTextNoUpdates}));
}

TEST_F(UpdateCheck, StartUpDeletesOnlyARegularFileDirectlyInTheDownloadFolder)
{
    std::string folder = m_cache.path() + "/tonvane";
    std::filesystem::create_directories(folder + "/sub");
    std::string precious = m_dir.path() + "/precious.txt";
    writeFile(precious, "keep");
    writeFile(m_cache.path() + "/outside.run", "keep");
    writeFile(folder + "/sub/nested.run", "keep");
    std::filesystem::create_symlink(precious, folder + "/link.run");
    struct Case {
        const char* what;
        std::string named; // the stored value
        std::string file; // what it reaches
        bool deleted;
    } cases[] = {
        {"our download", folder + "/tonvane-setup.run", folder + "/tonvane-setup.run", true},
        {"a file elsewhere", precious, precious, false},
        {"a way out with ..", folder + "/../outside.run", m_cache.path() + "/outside.run", false},
        {"a link inside to a file elsewhere", folder + "/link.run", precious, false},
        {"a file in a subfolder", folder + "/sub/nested.run", folder + "/sub/nested.run", false},
        {"the folder itself", folder, folder, false},
    };
    for (const Case& c : cases) {
        if (c.deleted)
            writeFile(c.file, "installer");
        ASSERT_TRUE(settings::writeUpdateFileValue(product::kProductKey, WideString::fromUtf8(c.named).view()));
        FakeLauncher launcher;
        UpdateChecker checker(m_ui, refusedOptions(launcher));
        checker.startUp();
        checker.stop();
        EXPECT_EQ(fileExists(c.file) || std::filesystem::is_directory(c.file), !c.deleted) << c.what;
        WideString stored;
        EXPECT_FALSE(settings::readString(product::kProductKey, u"", settings::kValueDeleteUpdateFile, stored)) << c.what;
        EXPECT_EQ(launcher.pages, (std::vector<std::u16string>{product::kWebPage})) << c.what;
    }
    EXPECT_EQ(readFile(precious), "keep");
}

TEST_F(UpdateCheck, StopBeforeTheDelayEndsWithoutChecking)
{
    UpdateChecker checker(m_ui, refusedOptions(m_launcher));
    auto start = std::chrono::steady_clock::now();
    checker.startUp();
    checker.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(m_ui.statusList().empty());
    EXPECT_TRUE(m_launcher.pages.empty()) << "no left-over installer, no web page";
}

TEST_F(UpdateCheck, DownloadWithoutUsableUrlFetchesNothing)
{
    struct Progress : DownloadProgress {
        void onDownloadLength(uint64_t) override {}
        void onDownloadProgress(uint64_t) override {}
        void onDownloadEnded(bool complete) override { ended = complete ? 1 : 0; }
        int ended = -1;
    } progress;
    // Without "/" the whole address is the file name: the file is made, and stays empty.
    UpdateDownload download("no-slashes-here", m_cache.path(), HttpClientOptions{});
    EXPECT_EQ(download.filePath(), m_cache.path() + "/no-slashes-here");
    ASSERT_TRUE(download.start(&progress));
    download.wait();
    EXPECT_EQ(progress.ended, 0);
    EXPECT_FALSE(download.complete());
    EXPECT_TRUE(fileExists(download.filePath()));
    EXPECT_EQ(readFile(download.filePath()), "");
}

TEST_F(UpdateCheck, TheProductPageFollowsTheInterfaceLanguage)
{
    for (LanguageId language : {kSpanish, kEnglish}) {
        setLanguage(language, nullptr);
        FakeLauncher launcher;
        ASSERT_TRUE(settings::writeUpdateFileValue(product::kProductKey, u"/nonexistent/tonvane-setup.sh"));
        UpdateChecker checker(m_ui, refusedOptions(launcher));
        checker.startUp();
        checker.stop();
        EXPECT_EQ(launcher.pages,
                  (std::vector<std::u16string>{language == kSpanish ? product::kWebPageSpanish : product::kWebPage}));
    }
}

TEST_F(UpdateCheck, DownloadLimitIsAnIdleTimeNotAWholeTime)
{
    // 12 bytes over about 1.2 s against a 500 ms limit: it keeps moving, so it completes.
    LocalServer server(
        [](ServerPeer& peer) {
            if (!peer.readRequestHead())
                return;
            peer.send("HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n");
            for (int i = 0; i < 12; ++i) {
                peer.pause(100);
                peer.send("z");
            }
            peer.waitForClientClose(2000);
        },
        1);
    struct Progress : DownloadProgress {
        void onDownloadLength(uint64_t) override {}
        void onDownloadProgress(uint64_t) override {}
        void onDownloadEnded(bool) override {}
    } progress;
    HttpClientOptions options;
    options.port = server.port();
    UpdateDownload download("http://127.0.0.1/files/slow.run", m_cache.path(), options, 500);
    ASSERT_TRUE(download.start(&progress));
    download.wait();
    EXPECT_TRUE(download.complete());
    EXPECT_EQ(readFile(m_cache.path() + "/slow.run"), std::string(12, 'z'));
}
