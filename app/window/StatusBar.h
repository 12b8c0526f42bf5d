#pragma once
#include "controls/widget/Caption.h"
#include "controls/widget/Widget.h"

#include <atomic>
#include <mutex>
#include <string>

namespace tonvane {

class ImageStrip;

// The main window's status bar: two panes side by side, the right one 180 pixels wide, the left
// one the rest (less 18 pixels for the size grip when the window is not maximised). Each pane
// shows a text row or a literal, and the left one an optional icon frame (the busy globe).
// Texts may be set from worker threads: they are kept under a small lock and drawn by the
// repaint.
class StatusBar : public Widget {
public:
    static constexpr int32_t kHeight = 24; // [pixels]
    static constexpr int32_t kRightPaneWidth = 180; // [pixels]
    static constexpr int32_t kGripWidth = 18; // [pixels]
    static constexpr int32_t kIconSize = 16; // [pixels] a cell of the menu icon strip

    explicit StatusBar(Widget* parent) : Widget(parent) {}

    // A pane number above 1 is ignored.
    void setStatus(int32_t pane, TextId text);
    void setStatusText(int32_t pane, std::u16string text);
    std::u16string paneText(int32_t pane) const;
    void setIcons(const ImageStrip* strip) { m_icons = strip; }
    void setIconFrame(int32_t frame) { m_iconFrame = frame; }
    int32_t iconFrame() const { return m_iconFrame; }
    // Repaints after setIconFrame: only the icon's cell while the icon stays shown (the busy
    // globe turns 24 times a second), the whole bar when it appears or goes (the text moves).
    void repaintIcon();
    // The icon's cell in the bar's own coordinates.
    IntRect iconCell() const;
    void setMaximised(bool maximised) { m_maximised = maximised; }

    void paint(Surface& surface) override;

private:
    mutable std::mutex m_lock;
    Caption m_panes[2];
    const ImageStrip* m_icons = nullptr;
    std::atomic<int32_t> m_iconFrame{-1};
    std::atomic<bool> m_iconPainted{false}; // the last paint drew an icon
    bool m_maximised = false;
};

} // namespace tonvane
