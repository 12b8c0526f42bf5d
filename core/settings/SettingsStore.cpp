#include "core/settings/SettingsStore.h"

#include <atomic>
#include <cstdio>
#include <sys/stat.h>

#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsFile.h"
#include "core/ProductConfig.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tonvane::settings {

namespace {

constexpr char kFileName[] = "settings.reg";
constexpr char kLockSuffix[] = ".lock";
constexpr char kBadSuffix[] = ".bad";

enum class FileState { Missing, Valid, Corrupt, Unreadable };

// Holds an flock on the lock file beside the settings file while alive. The data file itself is
// replaced by rename, so it cannot carry the lock.
class FileLock {
public:
    FileLock(const std::string& path, int operation, bool create)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
        if (m_fd < 0)
            return;
        while (::flock(m_fd, operation) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // closing releases the lock
    }
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

FileState loadFile(const std::string& path, SettingsFile& file)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? FileState::Missing : FileState::Unreadable;
    std::string text;
    char buffer[65536];
    bool tooLarge = false;
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return FileState::Unreadable;
        }
        if (n == 0)
            break;
        if (text.size() + static_cast<size_t>(n) > SettingsFile::kMaxFileBytes) {
            tooLarge = true;
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (tooLarge)
        return FileState::Corrupt;
    auto parsed = SettingsFile::parse(text);
    if (!parsed)
        return FileState::Corrupt;
    file = std::move(*parsed);
    return FileState::Valid;
}

// Moves a file that cannot be read aside as settings.reg.bad, or .bad.1, .bad.2 ... when an
// earlier one is still there (never overwritten), and says so on standard error once per run.
void keepCorruptFileAside(const std::string& path)
{
    constexpr int kMaxKept = 100;
    std::string bad = path + kBadSuffix;
    struct stat info{};
    for (int n = 1; n <= kMaxKept && ::lstat(bad.c_str(), &info) == 0; ++n)
        bad = path + kBadSuffix + "." + std::to_string(n);
    if (::rename(path.c_str(), bad.c_str()) != 0)
        return;
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        std::fprintf(stderr, "tonvane: the settings file %s could not be read; it was kept as %s and the defaults "
                             "apply\n",
                     path.c_str(), bad.c_str());
}

bool writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool makeDirectories(const std::string& path)
{
    for (size_t slash = 1; slash <= path.size(); ++slash) {
        if (slash != path.size() && path[slash] != '/')
            continue;
        std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool replaceFile(const std::string& path, const SettingsFile& file)
{
    std::string temporary = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(::gettid());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool written = writeAll(fd, file.serialize()) && ::fsync(fd) == 0;
    written = (::close(fd) == 0) && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Reads the file under a shared lock. A corrupt file is moved aside under the exclusive lock.
bool readSettings(SettingsFile& file)
{
    const std::string path = settingsFilePath();
    FileState state;
    {
        // No lock file yet means no writer has ever run here; the rename-based writes keep a
        // lock-free read consistent anyway. Reads never create anything.
        FileLock lock(path + kLockSuffix, LOCK_SH, false);
        state = loadFile(path, file);
    }
    if (state != FileState::Corrupt)
        return state == FileState::Valid;
    FileLock lock(path + kLockSuffix, LOCK_EX, true);
    if (loadFile(path, file) == FileState::Corrupt)
        keepCorruptFileAside(path);
    return false;
}

// Read-modify-write under the exclusive lock. change answers whether the operation succeeded;
// the file is rewritten only then.
bool updateSettings(const std::function<bool(SettingsFile&)>& change)
{
    const std::string directory = settingsDirectory();
    if (!makeDirectories(directory))
        return false;
    const std::string path = settingsFilePath();
    FileLock lock(path + kLockSuffix, LOCK_EX, true);
    if (!lock.held())
        return false;
    SettingsFile file;
    switch (loadFile(path, file)) {
    case FileState::Valid:
    case FileState::Missing:
        break;
    case FileState::Corrupt:
        keepCorruptFileAside(path);
        file = SettingsFile();
        break;
    case FileState::Unreadable:
        return false; // rewriting it would destroy values we could not read
    }
    if (!change(file))
        return false;
    return replaceFile(path, file);
}

bool validName(std::u16string_view name)
{
    return name.size() <= SettingsFile::kMaxNameLength;
}

} // namespace

std::string settingsDirectory()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/tonvane";
    const char* home = std::getenv("HOME");
    std::string base;
    if (home && home[0] == '/') {
        base = home;
    } else if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) {
        base = entry->pw_dir;
    } else {
        base = "/tmp";
    }
    return base + "/.config/tonvane";
}

std::string settingsFilePath()
{
    return settingsDirectory() + "/" + kFileName;
}

std::u16string fullKeyPath(std::u16string_view keyPath, std::u16string_view suffix)
{
    WideString path(keyPath);
    path.joinKeyPath(suffix);
    std::u16string full(path.view());
    while (!full.empty() && full.back() == u'\\')
        full.pop_back();
    return full;
}

bool readDword(std::u16string_view keyPath, std::u16string_view suffix, std::u16string_view name, uint32_t& value)
{
    SettingsFile file;
    if (!readSettings(file))
        return false;
    const auto* stored = file.findValue(fullKeyPath(keyPath, suffix), name);
    if (!stored || stored->type != SettingsFile::Type::Dword)
        return false;
    value = stored->dword;
    return true;
}

bool writeDword(std::u16string_view keyPath, std::u16string_view suffix, std::u16string_view name, uint32_t value)
{
    if (!validName(name))
        return false;
    std::u16string key = fullKeyPath(keyPath, suffix);
    return updateSettings([&](SettingsFile& file) {
        SettingsFile::Value stored;
        stored.name = name;
        stored.type = SettingsFile::Type::Dword;
        stored.dword = value;
        file.setValue(key, std::move(stored));
        return true;
    });
}

bool readString(std::u16string_view keyPath, std::u16string_view suffix, std::u16string_view name, WideString& value)
{
    SettingsFile file;
    if (!readSettings(file))
        return false;
    const auto* stored = file.findValue(fullKeyPath(keyPath, suffix), name);
    if (!stored || stored->type != SettingsFile::Type::String || stored->text.size() > SettingsFile::kMaxValueLength)
        return false;
    value.assign(stored->text);
    return true;
}

bool writeString(std::u16string_view keyPath, std::u16string_view suffix, std::u16string_view name,
                 std::u16string_view value)
{
    if (!validName(name) || value.size() > SettingsFile::kMaxValueLength)
        return false;
    std::u16string key = fullKeyPath(keyPath, suffix);
    return updateSettings([&](SettingsFile& file) {
        SettingsFile::Value stored;
        stored.name = name;
        stored.type = SettingsFile::Type::String;
        stored.text = value;
        file.setValue(key, std::move(stored));
        return true;
    });
}

bool deleteUpdateFileValue(std::u16string_view keyPath)
{
    std::u16string key = fullKeyPath(keyPath, u"");
    return updateSettings([&](SettingsFile& file) { return file.deleteValue(key, kValueDeleteUpdateFile); });
}

bool writeUpdateFileValue(std::u16string_view keyPath, std::u16string_view path)
{
    return writeString(keyPath, u"", kValueDeleteUpdateFile, path);
}

bool readWindowRect(std::u16string_view keyPath, WindowRect& rect)
{
    uint32_t value;
    if (!readDword(keyPath, kMainKey, kValueLeft, value))
        return false;
    rect.left = static_cast<int32_t>(value);
    if (!readDword(keyPath, kMainKey, kValueBottom, value))
        return false;
    rect.bottom = static_cast<int32_t>(value);
    if (!readDword(keyPath, kMainKey, kValueRight, value))
        return false;
    rect.right = static_cast<int32_t>(value);
    if (!readDword(keyPath, kMainKey, kValueTop, value))
        return false;
    rect.top = static_cast<int32_t>(value);
    return true;
}

bool writeWindowRect(std::u16string_view keyPath, int32_t left, int32_t bottom, int32_t width, int32_t height)
{
    // One rewrite of the file for the four values: each rewrite is a locked read, a temporary
    // file, an fsync and a rename.
    std::u16string key = fullKeyPath(keyPath, kMainKey);
    const std::pair<std::u16string_view, int32_t> values[] = {
        {kValueLeft, left}, {kValueBottom, bottom}, {kValueRight, left + width}, {kValueTop, bottom + height}};
    return updateSettings([&](SettingsFile& file) {
        for (const auto& [name, number] : values) {
            SettingsFile::Value stored;
            stored.name = name;
            stored.type = SettingsFile::Type::Dword;
            stored.dword = static_cast<uint32_t>(number);
            file.setValue(key, std::move(stored));
        }
        return true;
    });
}

uint32_t readDwordOr(std::u16string_view suffix, std::u16string_view name, uint32_t fallback, bool writeBack)
{
    uint32_t value;
    if (readDword(product::kProductKey, suffix, name, value))
        return value;
    if (writeBack)
        writeDword(product::kProductKey, suffix, name, fallback);
    return fallback;
}

WideString readStringOr(std::u16string_view suffix, std::u16string_view name, std::u16string_view fallback,
                        bool writeBack)
{
    WideString value;
    if (readString(product::kProductKey, suffix, name, value))
        return value;
    if (writeBack)
        writeString(product::kProductKey, suffix, name, fallback);
    return WideString(fallback);
}

WideString freeDbServer()
{
    return readStringOr(kFreeDbKey, kValueServer, product::kDefaultFreeDbServer, true);
}

WideString freeDbUser()
{
    return readStringOr(kFreeDbKey, kValueUser, u"", false);
}

} // namespace tonvane::settings
