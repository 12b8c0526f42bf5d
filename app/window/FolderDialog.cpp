#include "app/window/FolderDialog.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "core/foundation/Utf.h"
#include "graphics/text/TextLayout.h"

#include <fcntl.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

namespace tonvane {

namespace {

constexpr uint32_t kShown = style::kVisible;
constexpr int32_t kRowHeight = 20; // [pixels]
constexpr const char* kZenity = "/usr/bin/zenity";
constexpr const char* kKdialog = "/usr/bin/kdialog";

std::string parentOf(const std::string& folder)
{
    std::filesystem::path path(folder);
    std::filesystem::path parent = path.parent_path();
    return parent.empty() ? folder : parent.string();
}

// Runs a chooser program and answers the first line of its output, or nothing when it was
// cancelled (a non-zero exit) or gave nothing.
std::optional<std::string> runChooser(const std::vector<std::string>& arguments)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return std::nullopt;
    pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::string out;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0)
            out.append(buffer, size_t(got));
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    std::string line = out.substr(0, out.find('\n'));
    if (line.empty() || !std::filesystem::is_directory(line))
        return std::nullopt;
    return line;
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
        theme->drawDropListRow(s, r, 0, name.c_str(), int32_t(name.size()));
    };
    routines.onItemClick = [this](int32_t index, uint32_t, int32_t, int32_t) { openEntry(index); };
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
    std::error_code error;
    show(std::filesystem::is_directory(start, error) ? start : std::string("/"));
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

void FolderDialog::accept()
{
    accepted = true;
    close();
}

void FolderDialog::placeWidgets(int32_t w, int32_t h)
{
    m_path.setRect(12, h - 28, std::max(0, w - 24), 20);
    m_list.setRect(12, 56, std::max(0, w - 24), std::max(0, h - 92));
    m_list.setCellSize(std::max(0, w - 24), kRowHeight);
    m_ok.setRect(w / 2 - 116, 16, 100, 25);
    m_cancel.setRect(w / 2 + 16, 16, 100, 25);
}

std::optional<std::string> chooseOutputFolder(LayeredWindow& owner, const std::string& start)
{
    std::string from = start.empty() || start.back() == '/' ? start : start + "/";
    // TONVANE_FOLDER_CHOOSER=own: ours even where the desktop has one (tests drive ours).
    const char* wanted = std::getenv("TONVANE_FOLDER_CHOOSER");
    bool desktopAllowed = wanted == nullptr || std::string_view(wanted) != "own";
    if (desktopAllowed && ::access(kZenity, X_OK) == 0)
        return runChooser({kZenity, "--file-selection", "--directory", "--filename=" + from});
    if (desktopAllowed && ::access(kKdialog, X_OK) == 0)
        return runChooser({kKdialog, "--getexistingdirectory", start});
    FolderDialog dialog(owner, start);
    dialog.run();
    if (!dialog.accepted)
        return std::nullopt;
    return dialog.folder();
}

} // namespace tonvane
