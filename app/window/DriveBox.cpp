#include "app/window/DriveBox.h"

#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "core/foundation/WideString.h"
#include "core/language/Language.h"
#include "graphics/text/TextLayout.h"

#include <algorithm>

namespace tonvane {

namespace {
constexpr uint32_t kShown = 14;
constexpr std::string_view kImagePrefix = "image:";
} // namespace

DriveBox::DriveBox(Widget* parent) : Widget(parent)
{
    m_label.setCaption(Caption::text(kTextDriveLabel));
    m_label.setFlags(kTextVerticalCentre);
    m_label.create(0, 0, kLabelWidth, metrics::kControlHeight, kShown);
    m_box.setListHeight(kListHeight);
    m_box.setRowText([this](int32_t row) {
        return row >= 0 && size_t(row) < m_drives.size() ? driveLabel(m_drives[size_t(row)]) : std::u16string();
    });
    m_box.setOnChoose([this](int32_t row) {
        if (row >= 0 && size_t(row) < m_drives.size() && m_onChoose)
            m_onChoose(m_drives[size_t(row)]);
    });
    m_box.create(0, 0, 100, metrics::kControlHeight, kShown);
}

void DriveBox::setDrives(std::vector<std::string> drives, const std::string& current)
{
    m_drives = std::move(drives);
    m_box.setRowCount(int32_t(m_drives.size()));
    auto at = std::find(m_drives.begin(), m_drives.end(), current);
    m_box.setChosen(at == m_drives.end() ? -1 : int32_t(at - m_drives.begin()));
    setStyle(style::kVisible, wanted() ? style::kVisible : 0);
    m_box.requestRepaint();
}

std::u16string DriveBox::driveLabel(const std::string& drive)
{
    std::string shown = drive;
    if (shown.starts_with(kImagePrefix)) {
        size_t slash = shown.rfind('/');
        shown = slash == std::string::npos ? shown.substr(kImagePrefix.size()) : shown.substr(slash + 1);
    }
    return std::u16string(WideString::fromUtf8(shown).view());
}

void DriveBox::layout()
{
    int32_t h = height();
    m_label.setRect(0, 0, kLabelWidth, h);
    m_box.setRect(kBoxLeft, 0, std::max(0, width() - kBoxLeft), h);
}

} // namespace tonvane
