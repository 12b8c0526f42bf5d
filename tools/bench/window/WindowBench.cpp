// bench-window: the window program itself (build/app/tonvane) on an Xvfb of its own, with
// openbox and xcompmgr when installed, and the ten-minute music disc as an image drive:
//   (a) start-up: from the process start to the first picture of the main window on the screen
//       (the root's pixels polled until they change), target under 150 ms;
//   (b) resident memory with the disc page shown (VmRSS, VmHWM), target under 40 MiB;
//   (c) the disc converted to FLAC through the window (File > Convert, the folder chooser
//       accepted) against `tonvane rip` of the same disc: the life of each process's "rip"
//       thread, target within 5 %; and the user-interface thread's processor time during the
//       window's rip (the main thread: /proc/PID/task/PID/stat), target under 5 % of a core,
//       with the render pool's threads (named "render") that draw the window's bands for it.
//       Once from the image at memory speed (the processors are the limit), once through
//       an emulated 8x drive (REM TONVANE SPEED 600 in a copy of the sheet; the drive is), and
//       once more through the 8x drive as a secure rip (the stored read mode; AccurateRip at a
//       refused port, so every track is read twice) against `tonvane rip --secure`, the window
//       following each track's state as it ends: the user-interface thread's share is the figure.
//   (d) a keystroke in the text entry over a track's title (F2): from the key press sent to the
//       window to its title's pixels changing on the screen, target within one frame (16 ms).
// Runs alternate (window, command line, ...); medians and spreads are printed, never judged.
//
//   bench-window [CUE [runs]]   (default build/bench-music/disc.cue, 3 runs)
#include "core/ProductConfig.h"
#include "core/foundation/Clock.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "session/RipPreferences.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace tonvane;

namespace {

constexpr int32_t kScreenWidth = 1024; // [pixels]
constexpr int32_t kScreenHeight = 768;
constexpr int32_t kProbe = 64; // [pixels] side of the square watched at the screen's centre
constexpr uint32_t kFlac = 2; // EncoderFormat
constexpr uint32_t kEightTimes = 8 * 75; // [sectors/s]
constexpr uint64_t kFirstFrameTimeoutMs = 10000;
constexpr uint64_t kRipTimeoutMs = 30 * 60 * 1000;
constexpr uint64_t kRipStartTimeoutMs = 60 * 1000; // [ms] from the keys to the rip thread
constexpr int kIdleAfterFirstFrameMs = 3000; // the show animation, the disc loaded and drawn
constexpr double kStartTargetMs = 150;
constexpr double kMemoryTargetMiB = 40;
constexpr double kRipTargetRatio = 1.05;
constexpr double kUiCpuTargetPercent = 5;
constexpr double kKeystrokeTargetMs = 16; // one frame at 60 Hz
constexpr int kKeystrokes = 40; // per run: they fit the entry's 1 024 bytes many times over
constexpr uint64_t kKeystrokeTimeoutMs = 2000;
constexpr uint32_t kRowSeparator = 0xC0C0C0; // the rows' vertical separator, opaque
constexpr int kSeparatorRun = 40; // [pixels] of it in a row

uint64_t nowNs() { return monotonicNs(); }

struct Spread {
    double median = 0, low = 0, high = 0;
};
Spread spreadOf(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

pid_t spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment)
{
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
        environment.emplace_back(*entry);
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> argv, envp;
    std::vector<std::string> args = arguments;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        sleepMs(20);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

int run(const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
{
    pid_t pid = spawn(arguments, environment);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A field of /proc/PID/status in KiB ("VmRSS", "VmHWM").
double statusKiB(pid_t pid, const std::string& field)
{
    std::istringstream lines(readText("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::atof(line.c_str() + field.size() + 1);
    return 0;
}

// User + system time [s] in a stat line of /proc: fields 14 and 15, in clock ticks.
double statCpuSeconds(const std::string& path)
{
    std::string stat = readText(path);
    size_t end = stat.rfind(')'); // the name may hold spaces
    if (end == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(end + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index)
        if (index >= 14)
            ticks += std::atof(field.c_str());
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double threadCpuSeconds(pid_t pid, pid_t tid)
{
    return statCpuSeconds("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/stat");
}

double processCpuSeconds(pid_t pid) { return statCpuSeconds("/proc/" + std::to_string(pid) + "/stat"); }

// User + system time [s] of the process's threads of that name.
double namedThreadsCpuSeconds(pid_t pid, const std::string& name)
{
    std::string folder = "/proc/" + std::to_string(pid) + "/task";
    double seconds = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(folder, error))
        if (readText(task.path().string() + "/comm") == name + "\n")
            seconds += statCpuSeconds(task.path().string() + "/stat");
    return seconds;
}

// Whether the process has a thread of that name now.
bool hasThread(pid_t pid, const std::string& name)
{
    std::string folder = "/proc/" + std::to_string(pid) + "/task";
    DIR* tasks = opendir(folder.c_str());
    if (tasks == nullptr)
        return false;
    bool found = false;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        std::string comm = readText(folder + "/" + entry->d_name + "/comm");
        if (comm == name + "\n") {
            found = true;
            break;
        }
    }
    closedir(tasks);
    return found;
}

struct RipTiming {
    bool ok = false;
    double seconds = 0; // the rip thread's life
    double uiCpu = 0; // [s] of the main thread meanwhile
    double renderCpu = 0; // [s] of the render pool's threads, which draw the window's bands
    double processCpu = 0; // [s] of the whole process meanwhile
};

// Waits for the rip thread of pid to start and end, watching every 5 ms.
RipTiming timeRipThread(pid_t pid)
{
    RipTiming timing;
    uint64_t deadline = nowNs() + kRipTimeoutMs * 1000000;
    uint64_t startDeadline = nowNs() + kRipStartTimeoutMs * 1000000;
    while (!hasThread(pid, "rip")) {
        if (nowNs() > startDeadline) {
            std::printf("bench-window: no rip started within %llu s\n", static_cast<unsigned long long>(kRipStartTimeoutMs / 1000));
            return timing;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return timing;
        sleepMs(5);
    }
    uint64_t start = nowNs();
    double uiBefore = threadCpuSeconds(pid, pid), processBefore = processCpuSeconds(pid);
    double renderBefore = namedThreadsCpuSeconds(pid, "render");
    double uiAfter = uiBefore, processAfter = processBefore, renderAfter = renderBefore;
    for (int round = 0; hasThread(pid, "rip") && nowNs() < deadline; ++round) {
        // The last reading before the thread goes: the process may end right after it.
        uiAfter = threadCpuSeconds(pid, pid);
        processAfter = processCpuSeconds(pid);
        if (round % 20 == 0)
            renderAfter = namedThreadsCpuSeconds(pid, "render");
        sleepMs(5);
    }
    timing.renderCpu = renderAfter - renderBefore;
    timing.seconds = static_cast<double>(nowNs() - start) / 1e9;
    timing.uiCpu = uiAfter - uiBefore;
    timing.processCpu = processAfter - processBefore;
    timing.ok = nowNs() < deadline;
    return timing;
}

class Desktop {
public:
    bool start()
    {
        for (int number = 151; number < 199 && m_display.empty(); ++number)
            if (!std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock"))
                m_display = ":" + std::to_string(number);
        m_server = spawn({"/usr/bin/Xvfb", m_display, "-screen", "0", std::to_string(kScreenWidth) + "x" +
                                                                          std::to_string(kScreenHeight) + "x24",
                          "-nolisten", "tcp"},
                         {});
        for (int i = 0; i < 100 && m_connection == nullptr; ++i) {
            sleepMs(50);
            m_connection = XOpenDisplay(m_display.c_str());
        }
        if (m_connection == nullptr)
            return false;
        if (std::filesystem::exists("/usr/bin/openbox")) {
            m_manager = spawn({"/usr/bin/openbox", "--sm-disable"}, environment());
            sleepMs(1500); // its start-up, before it manages windows
        }
        if (std::filesystem::exists("/usr/bin/xcompmgr")) {
            m_compositor = spawn({"/usr/bin/xcompmgr"}, environment());
            Atom owner = XInternAtom(m_connection, "_NET_WM_CM_S0", False);
            for (int i = 0; i < 100 && XGetSelectionOwner(m_connection, owner) == None; ++i)
                sleepMs(20);
        }
        return true;
    }
    ~Desktop()
    {
        if (m_connection != nullptr)
            XCloseDisplay(m_connection);
        stop(m_compositor);
        stop(m_manager);
        stop(m_server);
    }
    std::vector<std::string> environment() const { return {"DISPLAY=" + m_display}; }
    bool managed() const { return m_manager > 0; }
    bool composited() const { return m_compositor > 0; }

    Display* connection() const { return m_connection; }

    // A rectangle of the screen's pixels, rows top-down.
    std::vector<unsigned long> grab(int x, int y, int width, int height)
    {
        std::vector<unsigned long> pixels;
        XImage* image = XGetImage(m_connection, DefaultRootWindow(m_connection), x, y, unsigned(width),
                                  unsigned(height), AllPlanes, ZPixmap);
        if (image == nullptr)
            return pixels;
        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column)
                pixels.push_back(XGetPixel(image, column, row) & 0xFFFFFF);
        XDestroyImage(image);
        return pixels;
    }

    // The square at the screen's centre, where the main window (centred) first shows.
    std::vector<unsigned long> probe()
    {
        std::vector<unsigned long> pixels;
        XImage* image = XGetImage(m_connection, DefaultRootWindow(m_connection), (kScreenWidth - kProbe) / 2,
                                  (kScreenHeight - kProbe) / 2, kProbe, kProbe, AllPlanes, ZPixmap);
        if (image == nullptr)
            return pixels;
        for (int y = 0; y < kProbe; ++y)
            for (int x = 0; x < kProbe; ++x)
                pixels.push_back(XGetPixel(image, x, y));
        XDestroyImage(image);
        return pixels;
    }

private:
    std::string m_display;
    pid_t m_server = -1, m_manager = -1, m_compositor = -1;
    Display* m_connection = nullptr;
};

// A fresh settings folder: English chosen, no automatic lookup, FLAC the default format.
std::string freshSettings(const std::string& work, int run, bool secure)
{
    std::string config = work + "/config" + std::to_string(run);
    std::filesystem::remove_all(config);
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, 1);
    settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
    settings::writeDword(product::kProductKey, settings::kEncodersKey, settings::kValueDefaultFormat, kFlac);
    // The conversion asks AccurateRip first: a refused local port keeps the run local and quick.
    settings::writeString(product::kProductKey, u"\\AccurateRip", u"Server", u"127.0.0.1:9");
    if (secure) {
        RipPreferences preferences;
        preferences.readMode = ReadMode::Secure;
        storeRipPreferences(preferences);
    }
    return config;
}

struct WindowRun {
    bool shown = false;
    double firstFrameMs = 0;
    double rssMiB = 0, hwmMiB = 0;
    RipTiming rip;
};

WindowRun runWindow(Desktop& desktop, const std::string& cue, const std::string& work, int index, bool rip, bool secure)
{
    WindowRun result;
    std::string config = freshSettings(work, index, secure);
    std::string out = work + "/window" + std::to_string(index);
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    std::vector<std::string> environment = desktop.environment();
    environment.push_back("XDG_CONFIG_HOME=" + config);
    environment.push_back("XDG_MUSIC_DIR=" + out);
    environment.push_back("TONVANE_UPDATE_HOST=127.0.0.1:9"); // no update check leaves the machine
    environment.push_back("TONVANE_FOLDER_CHOOSER=own");
    std::vector<unsigned long> empty = desktop.probe();
    uint64_t start = nowNs();
    pid_t pid = spawn({TONVANE_BINARY, "--drive", "image:" + cue, "--server", "127.0.0.1:9"}, environment);
    while (nowNs() - start < kFirstFrameTimeoutMs * 1000000) {
        if (desktop.probe() != empty) {
            result.shown = true;
            break;
        }
        sleepMs(1);
    }
    result.firstFrameMs = static_cast<double>(nowNs() - start) / 1e6;
    sleepMs(kIdleAfterFirstFrameMs);
    result.rssMiB = statusKiB(pid, "VmRSS") / 1024;
    result.hwmMiB = statusKiB(pid, "VmHWM") / 1024;
    if (rip) {
        // File > Convert (F10 opens File with its first row, Convert, hot), then Return accepts
        // the folder chooser.
        std::vector<std::string> xdotool{"/usr/bin/xdotool", "search", "--sync", "--name", "^Tonvane 0\\.2\\.7$",
                                         "windowactivate", "--sync", "key", "--delay", "300", "F10", "Return"};
        run(xdotool, desktop.environment());
        sleepMs(1500);
        run({"/usr/bin/xdotool", "key", "Return"}, desktop.environment());
        result.rip = timeRipThread(pid);
    }
    stop(pid);
    return result;
}

// The first track row's separator on the screen (its column and the run's top), found from its
// pixels; nullopt when no disc page shows.
std::optional<std::pair<int, int>> firstRowSeparator(Desktop& desktop)
{
    std::vector<unsigned long> screen = desktop.grab(0, 0, kScreenWidth, kScreenHeight);
    if (screen.empty())
        return std::nullopt;
    for (int y = 0; y + kSeparatorRun < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x) {
            int run = 0;
            while (run < kSeparatorRun && screen[size_t(y + run) * kScreenWidth + size_t(x)] == kRowSeparator)
                ++run;
            if (run == kSeparatorRun && (y == 0 || screen[size_t(y - 1) * kScreenWidth + size_t(x)] != kRowSeparator))
                return std::pair{x, y};
        }
    return std::nullopt;
}

// (d): the program with the disc page, F2 on the first row, then keystrokes sent to its window
// one at a time, each timed until the title's pixels change. [ms] per keystroke.
std::vector<double> runKeystrokes(Desktop& desktop, const std::string& cue, const std::string& work, int index)
{
    std::vector<double> latencies;
    std::string config = freshSettings(work, index, false);
    std::vector<std::string> environment = desktop.environment();
    environment.push_back("XDG_CONFIG_HOME=" + config);
    environment.push_back("TONVANE_UPDATE_HOST=127.0.0.1:9");
    pid_t pid = spawn({TONVANE_BINARY, "--drive", "image:" + cue, "--server", "127.0.0.1:9"}, environment);
    std::optional<std::pair<int, int>> separator;
    for (int i = 0; i < 100 && !separator; ++i) {
        sleepMs(100);
        separator = firstRowSeparator(desktop);
    }
    std::string id;
    {
        // The window's id, for the key events.
        int pipeEnds[2];
        if (separator && pipe(pipeEnds) == 0) {
            pid_t search = fork();
            if (search == 0) {
                dup2(pipeEnds[1], 1);
                setenv("DISPLAY", desktop.environment()[0].substr(8).c_str(), 1);
                execl("/usr/bin/xdotool", "xdotool", "search", "--name", "^Tonvane 0\\.2\\.7$", nullptr);
                _exit(127);
            }
            close(pipeEnds[1]);
            char buffer[64] = {};
            ssize_t got = read(pipeEnds[0], buffer, sizeof buffer - 1);
            close(pipeEnds[0]);
            waitpid(search, nullptr, 0);
            if (got > 0)
                id = std::string(buffer, size_t(got)).substr(0, std::string(buffer).find('\n'));
        }
    }
    if (!separator || id.empty()) {
        stop(pid);
        return latencies;
    }
    // The title's line: 32 pixels below the row's top (the separator starts 8 below it).
    int titleX = separator->first + 100, titleY = separator->second - 8 + 32;
    run({"/usr/bin/xdotool", "mousemove", "--sync", std::to_string(titleX), std::to_string(titleY), "click", "1",
         "mousemove", "2", "2", "key", "F2"},
        desktop.environment());
    sleepMs(500);
    Display* display = desktop.connection();
    Window target = Window(std::strtoul(id.c_str(), nullptr, 10));
    KeyCode code = XKeysymToKeycode(display, XK_a);
    const int probeX = separator->first + 8, probeY = titleY - 12, probeWidth = 400, probeHeight = 24;
    for (int i = 0; i < kKeystrokes; ++i) {
        std::vector<unsigned long> before = desktop.grab(probeX, probeY, probeWidth, probeHeight);
        XEvent event{};
        event.xkey.display = display;
        event.xkey.window = target;
        event.xkey.root = DefaultRootWindow(display);
        event.xkey.same_screen = True;
        event.xkey.keycode = code;
        uint64_t sent = nowNs();
        for (int type : {KeyPress, KeyRelease}) {
            event.xkey.type = type;
            XSendEvent(display, target, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &event);
        }
        XFlush(display);
        bool changed = false;
        while (!changed && nowNs() - sent < kKeystrokeTimeoutMs * 1000000)
            changed = desktop.grab(probeX, probeY, probeWidth, probeHeight) != before;
        if (changed)
            latencies.push_back(static_cast<double>(nowNs() - sent) / 1e6);
        sleepMs(40); // the next key after the picture has settled, well before the caret blinks
    }
    stop(pid);
    return latencies;
}

RipTiming runCommandLine(const std::string& cue, const std::string& work, int index, bool secure)
{
    std::string config = freshSettings(work, 100 + index, false);
    std::string out = work + "/cli" + std::to_string(index);
    std::filesystem::remove_all(out);
    std::vector<std::string> arguments{TONVANE_BINARY, "rip", "--drive", "image:" + cue, "--format", "flac",
                                       "--no-lookup", "--no-accuraterip", "--out", out};
    if (secure)
        arguments.push_back("--secure");
    pid_t pid = spawn(arguments, {"XDG_CONFIG_HOME=" + config});
    RipTiming timing = timeRipThread(pid);
    int status = 0;
    waitpid(pid, &status, 0);
    timing.ok = timing.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return timing;
}

size_t filesIn(const std::string& folder, const std::string& extension)
{
    size_t count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        count += entry.path().extension() == extension;
    return count;
}

// The same sheet beside the original, read by an emulated drive of that speed [sectors/s].
std::string sheetAtSpeed(const std::string& cue, uint32_t sectorsPerSecond)
{
    std::string copy = cue.substr(0, cue.rfind('.')) + "-" + std::to_string(sectorsPerSecond) + ".cue";
    std::ofstream out(copy);
    out << "REM TONVANE SPEED " << sectorsPerSecond << "\n" << readText(cue);
    return out ? copy : std::string();
}

} // namespace

int main(int argc, char** argv)
{
    std::string cue = argc > 1 ? argv[1] : TONVANE_MUSIC_DIR "/disc.cue";
    int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/xdotool"})
        if (!std::filesystem::exists(tool)) {
            std::printf("bench-window: %s is not installed (tools/install-deps.sh installs it); skipped\n", tool);
            return 0;
        }
    if (!std::filesystem::exists(cue)) {
        std::printf("bench-window: %s is missing (tools/bench/pipeline/make-music-disc.sh builds it)\n", cue.c_str());
        return 1;
    }
    const std::string work = (access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::string("/tmp")) +
                             "/tonvane-bench-window-" + std::to_string(getpid());
    std::filesystem::create_directories(work);
    Desktop desktop;
    if (!desktop.start()) {
        std::printf("bench-window: Xvfb did not start\n");
        return 1;
    }
    std::printf("desktop: Xvfb%s%s; disc %s; %d runs\n", desktop.managed() ? " + openbox" : "",
                desktop.composited() ? " + xcompmgr" : "", cue.c_str(), runs);

    std::vector<double> firstFrame, rss, hwm, keystrokes;
    // Memory speed (the processors are the limit) and an 8x drive (the drive is).
    struct Pass {
        const char* name;
        std::string sheet;
        bool secure = false;
        std::vector<double> window, cli, ratio, uiPercent, renderPercent, windowCpu, cliCpu;
    };
    std::string eightTimes = sheetAtSpeed(cue, kEightTimes);
    std::vector<Pass> passes{{"memory-speed image", cue, false, {}, {}, {}, {}, {}, {}, {}},
                             {"8x drive (600 sectors/s)", eightTimes, false, {}, {}, {}, {}, {}, {}, {}},
                             {"secure, 8x drive", eightTimes, true, {}, {}, {}, {}, {}, {}, {}}};
    int index = 0;
    for (int i = 0; i < runs; ++i) {
        std::vector<double> typed = runKeystrokes(desktop, cue, work, index++);
        Spread k = spreadOf(typed);
        std::printf("run %d, keystrokes: %zu of %d seen, median %.2f ms (%.2f-%.2f)\n", i + 1, typed.size(), kKeystrokes,
                    k.median, k.low, k.high);
        keystrokes.insert(keystrokes.end(), typed.begin(), typed.end());
        for (Pass& pass : passes) {
            WindowRun window = runWindow(desktop, pass.sheet, work, index, true, pass.secure);
            RipTiming cli = runCommandLine(pass.sheet, work, index, pass.secure);
            size_t windowFiles = filesIn(work + "/window" + std::to_string(index), ".flac");
            size_t cliFiles = filesIn(work + "/cli" + std::to_string(index), ".flac");
            ++index;
            std::printf("run %d, %s: first frame %.1f ms%s; VmRSS %.1f MiB, VmHWM %.1f MiB; rip window %.2f s (%zu "
                        "files, UI thread %.2f s CPU, render threads %.2f s), command line %.2f s (%zu files)%s\n",
                        i + 1, pass.name, window.firstFrameMs, window.shown ? "" : " (NOT SEEN)", window.rssMiB,
                        window.hwmMiB, window.rip.seconds, windowFiles, window.rip.uiCpu, window.rip.renderCpu,
                        cli.seconds, cliFiles,
                        window.rip.ok && cli.ok ? "" : " (a rip FAILED)");
            std::fflush(stdout);
            firstFrame.push_back(window.firstFrameMs);
            rss.push_back(window.rssMiB);
            hwm.push_back(window.hwmMiB);
            if (window.rip.ok && cli.ok && window.rip.seconds > 0 && cli.seconds > 0) {
                pass.window.push_back(window.rip.seconds);
                pass.cli.push_back(cli.seconds);
                pass.ratio.push_back(window.rip.seconds / cli.seconds);
                pass.uiPercent.push_back(100 * window.rip.uiCpu / window.rip.seconds);
                pass.renderPercent.push_back(100 * window.rip.renderCpu / window.rip.seconds);
                pass.windowCpu.push_back(window.rip.processCpu);
                pass.cliCpu.push_back(cli.processCpu);
            }
        }
    }
    Spread f = spreadOf(firstFrame), r = spreadOf(rss), h = spreadOf(hwm);
    std::printf("start-up to the first frame on screen: median %.1f ms (%.1f-%.1f)   target < %.0f ms: %.2f of it\n",
                f.median, f.low, f.high, kStartTargetMs, f.median / kStartTargetMs);
    std::printf("disc page shown: VmRSS median %.1f MiB (%.1f-%.1f), VmHWM %.1f MiB (%.1f-%.1f)   target < %.0f MiB: "
                "%.2f of it\n",
                r.median, r.low, r.high, h.median, h.low, h.high, kMemoryTargetMiB, r.median / kMemoryTargetMiB);
    Spread k = spreadOf(keystrokes);
    std::printf("keystroke in the title entry to the screen: median %.2f ms (%.2f-%.2f)   target < %.0f ms: %.2f of it\n",
                k.median, k.low, k.high, kKeystrokeTargetMs, k.median / kKeystrokeTargetMs);
    for (const Pass& pass : passes) {
        Spread w = spreadOf(pass.window), c = spreadOf(pass.cli), q = spreadOf(pass.ratio), u = spreadOf(pass.uiPercent),
               wc = spreadOf(pass.windowCpu), cc = spreadOf(pass.cliCpu), d = spreadOf(pass.renderPercent);
        std::printf("FLAC rip, %s: window %.2f s (%.2f-%.2f), command line %.2f s (%.2f-%.2f); window / command "
                    "line per pair %.3f (%.3f-%.3f)   target <= %.2f\n",
                    pass.name, w.median, w.low, w.high, c.median, c.low, c.high, q.median, q.low, q.high, kRipTargetRatio);
        std::printf("  processor time: window process %.1f s (%.1f-%.1f), command line %.1f s (%.1f-%.1f); "
                    "user-interface thread %.2f%% of a core (%.2f-%.2f)   target < %.0f%%; the render threads that draw "
                    "its bands another %.2f%% (%.2f-%.2f)\n",
                    wc.median, wc.low, wc.high, cc.median, cc.low, cc.high, u.median, u.low, u.high, kUiCpuTargetPercent,
                    d.median, d.low, d.high);
    }
    std::filesystem::remove_all(work);
    return 0;
}
