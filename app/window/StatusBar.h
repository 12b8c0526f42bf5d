#pragma once
#include "controls/widget/Caption.h"
#include "controls/widget/Widget.h"

#include <atomic>
#include <mutex>
#include <string>

namespace tonvane {

class ImageStrip;

// Who wrote a pane's message. A message stays until the next one replaces it or its owner takes
// it back; the update check's messages never cover a lookup's or a conversion's, which matter
// more to the person at the disc (the check runs by itself in the background).
enum class StatusOwner : uint8_t {
    None, // plain texts: a drive problem, a title shown whole
    UpdateCheck,
    Lookup,
    Conversion,
};

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

    struct Message {
        Caption caption;
        StatusOwner owner = StatusOwner::None;
    };

    // A pane number above 1 is ignored. These write without an owner.
    void setStatus(int32_t pane, TextId text);
    void setStatusText(int32_t pane, std::u16string text);
    // Writes owner's message unless the rule above keeps the one shown; false when refused.
    bool say(int32_t pane, StatusOwner owner, Caption caption);
    // Empties the pane when owner's message is still the one shown (text: when given, only that
    // text of the owner's); false otherwise.
    bool clear(int32_t pane, StatusOwner owner, const std::u16string* text = nullptr);
    std::u16string paneText(int32_t pane) const;
    StatusOwner owner(int32_t pane) const;
    // The pane's message as it is, and put back as it was (a tip that borrowed the pane).
    Message message(int32_t pane) const;
    void restore(int32_t pane, Message message);
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
    Message m_panes[2];
    const ImageStrip* m_icons = nullptr;
    std::atomic<int32_t> m_iconFrame{-1};
    std::atomic<bool> m_iconPainted{false}; // the last paint drew an icon
    bool m_maximised = false;
};

} // namespace tonvane
