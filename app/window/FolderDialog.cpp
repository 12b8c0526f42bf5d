#include "app/window/FolderDialog.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "core/foundation/Utf.h"
#include "graphics/text/TextLayout.h"
#include "windowing/message/KeyCodes.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

namespace tonvane {

namespace {

constexpr uint32_t kShown = style::kVisible;
constexpr int32_t kRowHeight = 20; // [pixels]
constexpr uint32_t kRowState = 0; // how the theme is asked for an ordinary row
constexpr uint32_t kSelectedRowState = 0x9; // and for the selected one
constexpr int32_t kNewFolderWidth = 120; // [pixels]
constexpr int kMaxNewFolderNumber = 1000; // "New folder 1000" is the last name tried
constexpr const char* kZenity = "zenity";
constexpr const char* kKdialog = "kdialog";

// Where the chooser opens: the folder asked for, else the home folder, else the root.
std::string startFolder(const std::string& wanted)
{
    std::error_code error;
    if (!wanted.empty() && std::filesystem::is_directory(wanted, error))
        return wanted;
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0' && std::filesystem::is_directory(home, error))
        return home;
    return "/";
}

std::string parentOf(const std::string& folder)
{
    std::filesystem::path path(folder);
    std::filesystem::path parent = path.parent_path();
    return parent.empty() ? folder : parent.string();
}

// The program's full path from PATH, or empty.
std::string findOnPath(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        size_t colon = rest.find(':');
        std::string_view folder = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (folder.empty())
            continue;
        std::string candidate = std::string(folder) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

} // namespace

FolderDialog::FolderDialog(LayeredWindow& owner, std::string start)
    : DialogWindow(owner, std::u16string(uiText(kTextConvert).view()), kHeight)
{
    m_path.setFlags(kTextVerticalCentre);
    m_path.create(0, 0, 100, 20, kShown);
    ItemList::Routines routines;
    routines.drawItem = [this](Surface& s, int32_t index, const IntRect& r) {
        ControlTheme* theme = controlTheme();
        if (theme == nullptr || index < 0 || index >= int32_t(m_entries.size()))
            return;
        std::u16string name = utf8ToUtf16(m_entries[size_t(index)]);
        theme->drawDropListRow(s, r, index == m_current ? kSelectedRowState : kRowState, name.c_str(),
                               int32_t(name.size()));
    };
    routines.onItemClick = [this](int32_t index, uint32_t, int32_t, int32_t) { select(index); };
    routines.onItemDoubleClick = [this](int32_t index) { openEntry(index); };
    m_list.setRoutines(routines);
    m_list.setListFlags(ItemList::kNoSelection);
    m_list.setLineStep(kRowHeight);
    m_list.create(0, 0, 100, 100, kShown);
    m_list.setCellSize(100, kRowHeight);
    m_ok.setCaption(Caption::text(kTextOk));
    m_ok.setOnClick([this] { accept(); });
    m_ok.create(0, 0, 100, 25, kShown);
    m_cancel.setCaption(Caption::text(kTextCancel));
    m_cancel.setOnClick([this] { close(); });
    m_cancel.create(0, 0, 100, 25, kShown);
    m_newFolder.setCaption(Caption::text(kTextNewFolder));
    m_newFolder.setOnClick([this] { makeNewFolder(); });
    m_newFolder.create(0, 0, kNewFolderWidth, 25, kShown);
    show(startFolder(start));
}

void FolderDialog::show(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    m_folder = folder;
    m_entries.clear();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::error_code kind;
        std::string name = entry.path().filename().string();
        if (!name.empty() && name[0] != '.' && entry.is_directory(kind))
            m_entries.push_back(name);
    }
    std::sort(m_entries.begin(), m_entries.end());
    if (folder != "/")
        m_entries.insert(m_entries.begin(), "..");
    m_path.setCaption(Caption::of(utf8ToUtf16(m_folder)));
    m_current = -1;
    m_list.setItemCount(int32_t(m_entries.size()));
    m_list.setPositions(0, 1);
    m_list.requestRepaint();
}

void FolderDialog::openEntry(int32_t index)
{
    if (index < 0 || index >= int32_t(m_entries.size()))
        return;
    const std::string& name = m_entries[size_t(index)];
    show(name == ".." ? parentOf(m_folder) : (m_folder == "/" ? "/" + name : m_folder + "/" + name));
}

void FolderDialog::select(int32_t index)
{
    if (index < 0 || index >= int32_t(m_entries.size()) || index == m_current)
        return;
    int32_t old = std::exchange(m_current, index);
    m_list.redrawItem(old);
    m_list.redrawItem(index);
    // Into view. The vertical position is 1 at the top; (1 - position) x range pixels of rows
    // are above the view.
    IntRect view = m_list.viewport();
    double viewHeight = view.y1 - view.y0;
    double range = double(m_list.contentHeight()) - viewHeight;
    if (range <= 0)
        return;
    double above = (1 - m_list.verticalPosition()) * range;
    double rowTop = double(index) * kRowHeight, rowBottom = rowTop + kRowHeight;
    if (rowTop < above)
        above = rowTop;
    else if (rowBottom > above + viewHeight)
        above = rowBottom - viewHeight;
    else
        return;
    m_list.setPositions(m_list.horizontalPosition(), std::clamp(1 - above / range, 0.0, 1.0));
}

void FolderDialog::moveSelection(int32_t key)
{
    int32_t last = int32_t(m_entries.size()) - 1;
    if (last < 0)
        return;
    IntRect view = m_list.viewport();
    int32_t page = std::max(1, (view.y1 - view.y0) / kRowHeight - 1);
    int32_t from = m_current;
    int32_t to = from;
    switch (key) {
    case vk::VK_UP:
        to = from < 0 ? last : from - 1;
        break;
    case vk::VK_DOWN:
        to = from + 1;
        break;
    case vk::VK_HOME:
        to = 0;
        break;
    case vk::VK_END:
        to = last;
        break;
    case vk::VK_PRIOR:
        to = from < 0 ? 0 : from - page;
        break;
    case vk::VK_NEXT:
        to = from < 0 ? std::min(page, last) : from + page;
        break;
    default:
        return;
    }
    select(std::clamp(to, 0, last));
}

bool FolderDialog::makeNewFolder()
{
    std::string base = utf16ToUtf8(uiText(kTextNewFolder).view());
    std::string prefix = m_folder == "/" ? "/" : m_folder + "/";
    for (int number = 1; number <= kMaxNewFolderNumber; ++number) {
        std::string name = number == 1 ? base : base + " " + std::to_string(number);
        if (::mkdir((prefix + name).c_str(), 0777) == 0) {
            show(m_folder);
            auto found = std::find(m_entries.begin(), m_entries.end(), name);
            if (found != m_entries.end())
                select(int32_t(found - m_entries.begin()));
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

void FolderDialog::keyDown(uint32_t key)
{
    switch (key) {
    case vk::VK_UP:
    case vk::VK_DOWN:
    case vk::VK_HOME:
    case vk::VK_END:
    case vk::VK_PRIOR:
    case vk::VK_NEXT:
        moveSelection(int32_t(key));
        return;
    case vk::VK_RETURN:
        // A row chosen in the list opens; a focused button is pressed; else OK.
        if (m_current >= 0 && m_list.hasFocus()) {
            openEntry(m_current);
            return;
        }
        if (m_cancel.hasFocus()) {
            close();
            return;
        }
        if (m_newFolder.hasFocus()) {
            makeNewFolder();
            return;
        }
        accept();
        return;
    default:
        DialogWindow::keyDown(key);
        return;
    }
}

void FolderDialog::accept()
{
    accepted = true;
    close();
}

void FolderDialog::placeWidgets(int32_t w, int32_t h)
{
    m_path.setRect(12, h - 28, std::max(0, w - 32 - kNewFolderWidth), 20);
    m_newFolder.setRect(std::max(0, w - 12 - kNewFolderWidth), h - 31, kNewFolderWidth, 25);
    m_list.setRect(12, 56, std::max(0, w - 24), std::max(0, h - 92));
    m_list.setCellSize(std::max(0, w - 24), kRowHeight);
    m_ok.setRect(w / 2 - 116, 16, 100, 25);
    m_cancel.setRect(w / 2 + 16, 16, 100, 25);
}

std::vector<std::string> DesktopChooser::command(const std::string& start)
{
    // TONVANE_FOLDER_CHOOSER=own: ours even where the desktop has one (tests drive ours).
    const char* wanted = std::getenv("TONVANE_FOLDER_CHOOSER");
    if (wanted != nullptr && std::string_view(wanted) == "own")
        return {};
    std::string from = startFolder(start);
    if (std::string zenity = findOnPath(kZenity); !zenity.empty())
        return {zenity, "--file-selection", "--directory", "--filename=" + (from == "/" ? from : from + "/")};
    if (std::string kdialog = findOnPath(kKdialog); !kdialog.empty())
        return {kdialog, "--getexistingdirectory", from};
    return {};
}

bool DesktopChooser::start(const std::vector<std::string>& command, Done done)
{
    if (command.empty() || m_reader.joinable())
        return false;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    // Everything the child needs is built here: posix_spawn's child only duplicates the pipe
    // onto its standard output and executes.
    std::vector<char*> argv;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    pid_t child = -1;
    int failed = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (failed != 0) {
        ::close(pipeFds[0]);
        return false;
    }
    m_child = child;
    m_output = pipeFds[0];
    m_reader = std::thread([this, done = std::move(done)] { read(done); });
    return true;
}

void DesktopChooser::read(Done done)
{
    std::string out;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(m_output, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0 && out.size() < 65536)
            out.append(buffer, size_t(got));
    ::close(m_output);
    int status = 0;
    {
        // Reaped under the lock: the destructor's SIGTERM never reaches a reused process id.
        std::lock_guard lock(m_mutex);
        while (::waitpid(m_child, &status, 0) < 0 && errno == EINTR) {
        }
        m_reaped = true;
    }
    std::optional<std::string> folder;
    std::string line = out.substr(0, out.find('\n'));
    std::error_code error;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && !line.empty() && std::filesystem::is_directory(line, error))
        folder = line;
    done(folder);
}

DesktopChooser::~DesktopChooser()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_child > 0 && !m_reaped)
            ::kill(m_child, SIGTERM);
    }
    if (m_reader.joinable())
        m_reader.join();
}

std::optional<std::string> chooseOwnFolder(LayeredWindow& owner, const std::string& start)
{
    FolderDialog dialog(owner, start);
    dialog.run();
    if (!dialog.accepted)
        return std::nullopt;
    return dialog.folder();
}

} // namespace tonvane
