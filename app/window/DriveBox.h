#pragma once
#include "controls/dropdown/DropDownBox.h"
#include "controls/label/Label.h"
#include "controls/widget/Widget.h"

#include <functional>
#include <string>
#include <vector>

namespace tonvane {

// "Drive:" and a drop-down box of the drives that hold an audio disc, shown on the disc page
// only while there is more than one. Choosing another drive asks for its disc (onChoose).
class DriveBox : public Widget {
public:
    static constexpr int32_t kLabelWidth = 56; // [pixels] as the album box's label
    static constexpr int32_t kBoxLeft = 64; // [pixels] from the widget's left edge
    static constexpr int32_t kListHeight = 120; // [pixels] the open list

    explicit DriveBox(Widget* parent);

    void setOnChoose(std::function<void(const std::string& drive)> onChoose) { m_onChoose = std::move(onChoose); }
    // The drives holding a disc (enumeration order) and the one shown; the widget shows itself
    // when there are two or more.
    void setDrives(std::vector<std::string> drives, const std::string& current);
    const std::vector<std::string>& drives() const { return m_drives; }
    bool wanted() const { return m_drives.size() >= 2; }
    DropDownBox& box() { return m_box; }

    // How a drive is named in the box: a real drive by its device path, an image drive by its
    // CUE sheet's file name.
    static std::u16string driveLabel(const std::string& drive);

    void layout() override;

private:
    Label m_label{this};
    DropDownBox m_box{this};
    std::vector<std::string> m_drives;
    std::function<void(const std::string&)> m_onChoose;
};

} // namespace tonvane
