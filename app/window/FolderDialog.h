#pragma once
#include "app/window/DialogWindow.h"
#include "controls/button/PushButton.h"
#include "controls/label/Label.h"
#include "controls/list/ItemList.h"

#include <functional>
#include <mutex>
#include <optional>
#include <sys/types.h>
#include <thread>
#include <string>
#include <vector>

namespace tonvane {

// Our own folder chooser, for desktops without zenity or kdialog: the current path, a list of
// its folders with ".." to go up (a click selects a row, a double click or Return opens it; the
// keys Up, Down, Home, End, Page Up and Page Down move the selection), "New folder" makes a
// numbered folder in the one shown and selects it, OK (or Return without a selected row)
// accepts the folder shown, Cancel (or Esc, or Return on Cancel) gives nothing.
class FolderDialog final : public DialogWindow {
public:
    static constexpr int32_t kHeight = 320; // [pixels]

    FolderDialog(LayeredWindow& owner, std::string start);

    bool accepted = false;
    const std::string& folder() const { return m_folder; }
    const std::vector<std::string>& entries() const { return m_entries; }
    // Opens entry i (".." goes up).
    void openEntry(int32_t index);
    // The selected row, -1 for none.
    int32_t current() const { return m_current; }
    void select(int32_t index);
    // Makes "New folder" (or "New folder 2", ...) in the folder shown and selects it; false when
    // the system refused.
    bool makeNewFolder();
    void accept() override;
    void keyDown(uint32_t key) override;
    ItemList& list() { return m_list; }
    PushButton& cancelButton() { return m_cancel; }
    PushButton& newFolderButton() { return m_newFolder; }

protected:
    void placeWidgets(int32_t width, int32_t height) override;

private:
    void show(std::string folder);

    void moveSelection(int32_t key);

    std::string m_folder;
    int32_t m_current = -1;
    std::vector<std::string> m_entries; // ".." first (below the root), then the folders, sorted
    Label m_path{&panel()};
    ItemList m_list{&panel()};
    PushButton m_ok{&panel()};
    PushButton m_cancel{&panel()};
    PushButton m_newFolder{&panel()};
};

// Our chooser run modally from `start` (the home folder when it does not exist): the folder, or
// nothing when the user cancels.
std::optional<std::string> chooseOwnFolder(LayeredWindow& owner, const std::string& start);

// The desktop's own folder chooser (zenity, else kdialog, as found on PATH) as a child process,
// so that the window's thread keeps running (and painting) while it is open: started with
// posix_spawn (nothing is allocated between fork and exec), its standard output read on a thread
// of its own, which hands the answer to `done` once the child exited: the first line when it is
// a folder, nothing when cancelled. The destructor ends a child still open (SIGTERM) and joins.
class DesktopChooser {
public:
    using Done = std::function<void(std::optional<std::string> folder)>;

    DesktopChooser() = default;
    ~DesktopChooser();
    DesktopChooser(const DesktopChooser&) = delete;
    DesktopChooser& operator=(const DesktopChooser&) = delete;

    // The chooser's command line starting in `start`; empty when the desktop has none or
    // TONVANE_FOLDER_CHOOSER=own asks for ours.
    static std::vector<std::string> command(const std::string& start);
    // False when the child could not be started (then done is never called).
    bool start(const std::vector<std::string>& command, Done done);

private:
    void read(Done done);

    std::mutex m_mutex;
    pid_t m_child = -1;
    bool m_reaped = false;
    int m_output = -1;
    std::thread m_reader;
};

} // namespace tonvane
