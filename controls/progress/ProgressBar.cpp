#include "controls/progress/ProgressBar.h"

#include "controls/theme/ControlTheme.h"

#include <algorithm>

namespace tonvane {

void ProgressBar::setRange(uint64_t range)
{
    if (range == m_range)
        return;
    m_range = range;
    requestRepaint();
}

bool ProgressBar::setValue(uint64_t value)
{
    if (value == m_value)
        return false;
    m_value = value;
    requestRepaint();
    return true;
}

double ProgressBar::fraction() const
{
    if (m_range == 0)
        return 0;
    return std::min(1.0, static_cast<double>(m_value) / static_cast<double>(m_range));
}

void ProgressBar::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr)
        return;
    double done = fraction();
    theme->drawProgress(surface, {0, 0, width(), height()}, done,
                        done >= 1 ? palette::kProgressComplete : palette::kProgressRunning);
}

} // namespace tonvane
