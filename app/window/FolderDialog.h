#pragma once
#include "app/window/DialogWindow.h"
#include "controls/button/PushButton.h"
#include "controls/label/Label.h"
#include "controls/list/ItemList.h"

#include <optional>
#include <string>
#include <vector>

namespace tonvane {

// Our own folder chooser, for desktops without zenity or kdialog: the current path, a list of
// its folders with ".." to go up (a click opens a folder), OK (or Return) accepts the folder
// shown, Cancel (or Esc) gives nothing.
class FolderDialog final : public DialogWindow {
public:
    static constexpr int32_t kHeight = 320; // [pixels]

    FolderDialog(LayeredWindow& owner, std::string start);

    bool accepted = false;
    const std::string& folder() const { return m_folder; }
    const std::vector<std::string>& entries() const { return m_entries; }
    // Opens entry i (".." goes up).
    void openEntry(int32_t index);
    void accept() override;

protected:
    void placeWidgets(int32_t width, int32_t height) override;

private:
    void show(std::string folder);

    std::string m_folder;
    std::vector<std::string> m_entries; // ".." first (below the root), then the folders, sorted
    Label m_path{&panel()};
    ItemList m_list{&panel()};
    PushButton m_ok{&panel()};
    PushButton m_cancel{&panel()};
};

// The output folder for a conversion: the desktop's own chooser (zenity, else kdialog) when one
// is installed, else FolderDialog; started in `start`. Nothing when the user cancels.
std::optional<std::string> chooseOutputFolder(LayeredWindow& owner, const std::string& start);

} // namespace tonvane
