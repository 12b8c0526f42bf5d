#pragma once
#include "controls/widget/Widget.h"

#include <cstdint>

namespace tonvane {

// A horizontal bar showing how much of a range is done, drawn by the theme's progress drawing:
// the running colour below the end, the complete colour at it.
class ProgressBar : public Widget {
public:
    explicit ProgressBar(Widget* parent) : Widget(parent) {}

    // The value that fills the bar (a byte count, say); 0: nothing is filled.
    void setRange(uint64_t range);
    // Repaints only when the value changes; false when it did not.
    bool setValue(uint64_t value);
    uint64_t range() const { return m_range; }
    uint64_t value() const { return m_value; }
    // value / range, at most 1; 0 without a range.
    double fraction() const;

    void paint(Surface& surface) override;

private:
    uint64_t m_range = 0;
    uint64_t m_value = 0;
};

} // namespace tonvane
