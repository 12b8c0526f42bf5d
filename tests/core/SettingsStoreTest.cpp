#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/SettingsStore.h"
#include "core/ProductConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace tonvane;
using namespace tonvane::settings;

namespace {
constexpr std::u16string_view kProduct = product::kProductKey;

class Settings : public ::testing::Test {
protected:
    std::string file() const { return m_dir.path() + "/tonvane/settings.reg"; }
    std::string bad() const { return file() + ".bad"; }

    test::TempDir m_dir;
    test::ScopedEnv m_env{"XDG_CONFIG_HOME", m_dir.path().c_str()};
};
} // namespace

TEST_F(Settings, DwordsAndStringsRoundTripThroughTheFile)
{
    EXPECT_TRUE(writeDword(kProduct, u"\\Main", u"Lang", 5));
    EXPECT_TRUE(writeString(kProduct, u"\\Encoders", u"Path", u"/home/ana/Música/"));
    uint32_t lang = 0;
    WideString path;
    EXPECT_TRUE(readDword(kProduct, u"\\Main", u"Lang", lang));
    EXPECT_EQ(lang, 5u);
    EXPECT_TRUE(readString(kProduct, u"\\Encoders", u"Path", path));
    EXPECT_EQ(path.view(), u"/home/ana/Música/");
    // Overwrite keeps one value; names compare without case as registry names do.
    EXPECT_TRUE(writeDword(kProduct, u"\\Main", u"LANG", 2));
    EXPECT_TRUE(readDword(kProduct, u"\\Main", u"lang", lang));
    EXPECT_EQ(lang, 2u);

    std::string text = test::readFile(file());
    EXPECT_NE(text.find("[SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2\\Main]\n\"Lang\"=dword:00000002\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\"Path\"=\"/home/ana/Música/\""), std::string::npos) << text;
}

TEST_F(Settings, WrongTypeReadsAsMissing)
{
    ASSERT_TRUE(writeString(kProduct, u"\\Main", u"Lang", u"8"));
    uint32_t lang = 99;
    EXPECT_FALSE(readDword(kProduct, u"\\Main", u"Lang", lang));
    EXPECT_EQ(lang, 99u);
    ASSERT_TRUE(writeDword(kProduct, u"\\Encoders", u"Path", 1));
    WideString path;
    EXPECT_FALSE(readString(kProduct, u"\\Encoders", u"Path", path));
}

TEST_F(Settings, ReadsNeverCreateKeysOrFilesWritesDo)
{
    uint32_t value;
    EXPECT_FALSE(readDword(kProduct, u"\\FreeDB", u"Auto", value));
    EXPECT_FALSE(test::fileExists(file()));
    EXPECT_FALSE(test::fileExists(m_dir.path() + "/tonvane"));

    ASSERT_TRUE(writeDword(kProduct, u"\\Main", u"x", 1));
    EXPECT_FALSE(readDword(kProduct, u"\\FreeDB", u"Auto", value));
    auto parsed = SettingsFile::parse(test::readFile(file()));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->findKey(u"SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2\\FreeDB"), nullptr);
    EXPECT_NE(parsed->findKey(u"SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2\\Main"), nullptr);
}

TEST_F(Settings, EmptySuffixAddressesTheProductKeyItself)
{
    EXPECT_EQ(fullKeyPath(kProduct, u""), u"SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2");
    EXPECT_EQ(fullKeyPath(kProduct, u"\\Main"), u"SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2\\Main");
    EXPECT_EQ(fullKeyPath(kProduct, u"Main"), u"SOFTWARE\\ORVAL SOFTWARE\\Tonvane 0.2\\Main");

    EXPECT_FALSE(deleteUpdateFileValue(kProduct)); // nothing to delete yet
    ASSERT_TRUE(writeUpdateFileValue(kProduct, u"/home/ana/.cache/tonvane/setup.run"));
    WideString stored;
    ASSERT_TRUE(readString(kProduct, u"", u"DeleteUpdateFile", stored));
    EXPECT_EQ(stored.view(), u"/home/ana/.cache/tonvane/setup.run");
    EXPECT_TRUE(deleteUpdateFileValue(kProduct));
    EXPECT_FALSE(readString(kProduct, u"", u"DeleteUpdateFile", stored));
}

TEST_F(Settings, RectangleReadStopsAtFirstMissingValue)
{
    WindowRect rect;
    EXPECT_FALSE(readWindowRect(kProduct, rect));
    ASSERT_TRUE(writeDword(kProduct, u"\\Main", u"x", 187));
    ASSERT_TRUE(writeDword(kProduct, u"\\Main", u"x2", 837));
    ASSERT_TRUE(writeDword(kProduct, u"\\Main", u"y2", 609));
    rect = {};
    EXPECT_FALSE(readWindowRect(kProduct, rect)); // "y" missing
    EXPECT_EQ(rect.left, 187);
    EXPECT_EQ(rect.right, 0); // not read: the reading stopped at "y"

    ASSERT_TRUE(writeWindowRect(kProduct, 187, 159, 650, 450));
    ASSERT_TRUE(readWindowRect(kProduct, rect));
    EXPECT_EQ(rect.left, 187);
    EXPECT_EQ(rect.bottom, 159);
    EXPECT_EQ(rect.right, 837);
    EXPECT_EQ(rect.top, 609);
}

TEST_F(Settings, DefaultsAreWrittenBackOnlyWhereTheyShouldBe)
{
    EXPECT_EQ(readDwordOr(kEncodersKey, kValueDefaultFormat, kDefaultFormat, true), 1u);
    EXPECT_EQ(readDwordOr(kEncodersKey, kValueMp3Quality, kDefaultMp3Quality, false), 8u);
    uint32_t value;
    EXPECT_TRUE(readDword(kProduct, kEncodersKey, kValueDefaultFormat, value));
    EXPECT_FALSE(readDword(kProduct, kEncodersKey, kValueMp3Quality, value));
    EXPECT_EQ(freeDbServer().view(), u"gnudb.gnudb.org");
    WideString server;
    EXPECT_TRUE(readString(kProduct, kFreeDbKey, kValueServer, server));
    EXPECT_EQ(server.view(), u"gnudb.gnudb.org");
}

TEST_F(Settings, OddNamesAndTextsSurviveTheFileFormat)
{
    std::u16string name = u"a=b\nc\"d[e]%f";
    std::u16string text = u"line1\nline2\t\"quoted\" 100% ] [x]=y";
    text.push_back(char16_t(0xD800)); // unpaired surrogate
    text.push_back(u'\0');
    text += u"😀";
    ASSERT_TRUE(writeString(kProduct, u"\\Main", name, text));
    ASSERT_TRUE(writeDword(kProduct, u"\\Main", u"after", 7));
    WideString back;
    ASSERT_TRUE(readString(kProduct, u"\\Main", name, back));
    EXPECT_EQ(std::u16string(back.view()), text);
    uint32_t after;
    ASSERT_TRUE(readDword(kProduct, u"\\Main", u"after", after));
    EXPECT_EQ(after, 7u);
    // One line per value: the newline in the name and text did not break the file apart.
    std::string raw = test::readFile(file());
    EXPECT_EQ(std::count(raw.begin(), raw.end(), '\n'), 5); // header, key, two values, end
}

TEST_F(Settings, AValueOf10MBIsRefusedAndLosesNothing)
{
    ASSERT_TRUE(writeDword(kProduct, u"\\Main", u"Lang", 3));
    std::u16string huge(5u << 20, u'x'); // 10 MB of UTF-16
    EXPECT_FALSE(writeString(kProduct, u"\\Encoders", u"Path", huge));
    uint32_t lang;
    ASSERT_TRUE(readDword(kProduct, u"\\Main", u"Lang", lang));
    EXPECT_EQ(lang, 3u);
    WideString path;
    EXPECT_FALSE(readString(kProduct, u"\\Encoders", u"Path", path));
}

TEST_F(Settings, CorruptOrTruncatedFilesReadAsMissingAndAreKeptAside)
{
    ASSERT_TRUE(writeDword(kProduct, u"\\Main", u"Lang", 3));
    std::string whole = test::readFile(file());

    const std::string damaged[] = {
        whole.substr(0, whole.size() - 4),               // cut short: end line missing
        "garbage\x01\x02 not settings",                   // edited into garbage
        std::string("Tonvane settings 1\n[K]\n\"v\"=dword:zz\n; end\n"),
        std::string("Tonvane settings 1\n\"orphan\"=dword:00000001\n; end\n"),
        std::string("Tonvane settings 1\n[K]\n\"v\"=\"\xC3\"\n; end\n"), // bad UTF-8
        whole + "trailing\n",
        std::string(),
    };
    for (const std::string& bytes : damaged) {
        test::writeFile(file(), bytes);
        uint32_t lang = 0;
        EXPECT_FALSE(readDword(kProduct, u"\\Main", u"Lang", lang));
        EXPECT_FALSE(test::fileExists(file())) << "corrupt file left in place";
        ASSERT_TRUE(test::fileExists(bad()));
        EXPECT_EQ(test::readFile(bad()), bytes);
        // The next write starts a fresh file.
        ASSERT_TRUE(writeDword(kProduct, u"\\Main", u"x", 10));
        uint32_t x;
        EXPECT_TRUE(readDword(kProduct, u"\\Main", u"x", x));
        EXPECT_FALSE(readDword(kProduct, u"\\Main", u"Lang", lang));
        ::unlink(bad().c_str());
    }
}

TEST_F(Settings, HandEditedFilesWithCrlfBlankLinesAndCommentsStillRead)
{
    // A user who stored FLAC and then opened the file in a Windows editor keeps FLAC.
    ASSERT_TRUE(writeDword(kProduct, u"\\Encoders", u"Default", 2));
    std::string lines = test::readFile(file()), edited;
    for (size_t at = 0; at < lines.size();) {
        size_t end = lines.find('\n', at);
        std::string line = lines.substr(at, end - at);
        if (line.rfind("; end", 0) == 0)
            edited += "\r\n; a note of my own\r\n";
        edited += line + "\r\n";
        at = end + 1;
    }
    edited += "\r\n";
    test::writeFile(file(), edited);
    uint32_t format = 0;
    EXPECT_TRUE(readDword(kProduct, u"\\Encoders", u"Default", format));
    EXPECT_EQ(format, 2u);
    EXPECT_FALSE(test::fileExists(bad()));
}

TEST_F(Settings, DamagedFilesAreKeptAsNumberedBadFilesNeverOverwritten)
{
    const std::string first = "garbage one\n", second = "garbage two\n";
    ASSERT_TRUE(writeDword(kProduct, u"\\Main", u"x", 1)); // the folder exists
    test::writeFile(file(), first);
    uint32_t value = 0;
    EXPECT_FALSE(readDword(kProduct, u"\\Main", u"Lang", value));
    test::writeFile(file(), second);
    EXPECT_FALSE(readDword(kProduct, u"\\Main", u"Lang", value));
    EXPECT_EQ(test::readFile(bad()), first);
    ASSERT_TRUE(test::fileExists(bad() + ".1"));
    EXPECT_EQ(test::readFile(bad() + ".1"), second);
}

TEST(SettingsUnwritable, FolderThatCannotBeCreatedGivesFalseAndDefaults)
{
    // Nobody, root included, can create a folder inside /proc.
    test::ScopedEnv env("XDG_CONFIG_HOME", "/proc");
    EXPECT_FALSE(writeDword(kProduct, u"\\Main", u"Lang", 1));
    uint32_t value;
    EXPECT_FALSE(readDword(kProduct, u"\\Main", u"Lang", value));
    EXPECT_EQ(readDwordOr(kEncodersKey, kValueDefaultFormat, kDefaultFormat, true), 1u);
}

TEST_F(Settings, ConfigPathThatIsAFileGivesFalse)
{
    test::writeFile(m_dir.path() + "/tonvane", "not a folder");
    EXPECT_FALSE(writeDword(kProduct, u"\\Main", u"Lang", 1));
    uint32_t value;
    EXPECT_FALSE(readDword(kProduct, u"\\Main", u"Lang", value));
}

TEST(SettingsStress, TwoProcessesAndFourThreadsLoseNoValue)
{
    // tmpfs when available: the test is about locking, not about the disk's fsync speed.
    test::ScopedEnv tmp("TMPDIR", ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : nullptr);
    test::TempDir dir;
    test::ScopedEnv env("XDG_CONFIG_HOME", dir.path().c_str());
    constexpr int kWrites = 500;
    constexpr int kThreadsPerProcess = 2;

    auto writer = [](int process, int thread) {
        std::u16string name = u"p" + std::u16string(1, char16_t(u'0' + process)) + u"t" +
                              std::u16string(1, char16_t(u'0' + thread));
        bool ok = true;
        for (int i = 1; i <= kWrites; ++i)
            ok = writeDword(kProduct, u"\\Stress", name, static_cast<uint32_t>(i)) && ok;
        return ok;
    };
    auto runProcess = [&](int process) {
        std::vector<std::thread> threads;
        std::atomic<bool> ok{true};
        for (int t = 0; t < kThreadsPerProcess; ++t)
            threads.emplace_back([&, t] {
                if (!writer(process, t))
                    ok = false;
            });
        for (auto& thread : threads)
            thread.join();
        return ok.load();
    };

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(runProcess(1) ? 0 : 1);
    bool parentOk = runProcess(0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(parentOk);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    for (int process = 0; process < 2; ++process)
        for (int thread = 0; thread < kThreadsPerProcess; ++thread) {
            std::u16string name = u"p" + std::u16string(1, char16_t(u'0' + process)) + u"t" +
                                  std::u16string(1, char16_t(u'0' + thread));
            uint32_t value = 0;
            ASSERT_TRUE(readDword(kProduct, u"\\Stress", name, value));
            EXPECT_EQ(value, static_cast<uint32_t>(kWrites));
        }
    EXPECT_FALSE(test::fileExists(dir.path() + "/tonvane/settings.reg.bad"));
}
