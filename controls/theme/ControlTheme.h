#pragma once
#include "graphics/image/Image.h"
#include "graphics/image/ImageStrip.h"
#include "graphics/surface/IntRect.h"
#include "graphics/text/FontList.h"

#include <cstdint>
#include <string_view>

namespace tonvane {

class Surface;

// The colours every control is drawn in, straight ARGB.
namespace palette {
constexpr uint32_t kAccent = 0xC8C0D0E0; // frame fill, ring dots, menu hover, icon tint
constexpr uint32_t kMenuItemFace = 0xC8C0D0E0;
constexpr uint32_t kMenuItemHotFace = 0xC880A0C0; // also the list selection
constexpr uint32_t kMenuBarFace = 0xC8A0C0E0;
constexpr uint32_t kText = 0xFF000000;
constexpr uint32_t kMenuText = 0xFF000000;
constexpr uint32_t kLink = 0xFF2020FF; // links and the hover underline
constexpr uint32_t kPanelFill = 0xD0FFFFFF;
constexpr uint32_t kDisabledText = 0xE0C0C0C0;
constexpr uint32_t kButtonFace = 0xE080A4C4;
constexpr uint32_t kCloseHot = 0xFFC02008;
constexpr uint32_t kCaptionButtonHot = 0xFF0820C0;
constexpr uint32_t kCheckMark = 0xFF20C840;
constexpr uint32_t kProgressRunning = 0xFF2040C0;
constexpr uint32_t kProgressComplete = 0xFF20C040;
constexpr uint32_t kProgressFailed = 0xFFD02828; // a track that did not end whole
// A track's end state beside its play time: a word and a mark in one of three colours.
constexpr uint32_t kVerdictGood = 0xFF108A30; // accurate
constexpr uint32_t kVerdictNeutral = 0xFF707070; // not checked, not in the database, stopped
constexpr uint32_t kVerdictBad = 0xFFC01818; // not accurate, failed
constexpr uint32_t kCaptionText = 0xC0FFFFFF;
constexpr uint32_t kFrameHighlight = 0xA0FFFFFF;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kGrey = 0xC0C0C0C0;
constexpr uint32_t kDark = 0xC0202090;
} // namespace palette

// Each colour channel c (as c / 255) becomes c + x (1 - c): towards white for x > 0, towards
// black for x < 0. The alpha byte stays.
uint32_t tint(uint32_t colour, double x);

// Sizes the look depends on [pixels].
namespace metrics {
constexpr int32_t kScrollBar = 16;
constexpr int32_t kControlHeight = 22; // labels, closed drop-down box
constexpr int32_t kCheckBox = 16;
constexpr int32_t kButtonMargin = 4;
constexpr int32_t kMenuSeparator = 5;
constexpr int32_t kPopupMargin = 4;
constexpr int32_t kPopupBorder = 2;
constexpr int32_t kMenuGap = 3;
constexpr int32_t kFrameRadius = 5;
constexpr int32_t kCaptionBar = 20;
constexpr int32_t kEntryPadding = 4; // [pixels] from a text entry's edge to its text
} // namespace metrics

// What a one-line text entry shows. Pixel positions are measured from the start of the text.
struct TextEntryLook {
    std::u16string_view text;
    double scroll = 0; // [pixels] of the text hidden left of the inner edge
    double selectionLeft = 0; // [pixels]; equal to selectionRight: no selection
    double selectionRight = 0;
    double caretX = 0; // [pixels]
    bool caretShown = false;
    uint32_t state = 0; // 0x1000 focused, 0x1 disabled
    std::u16string_view placeholder; // shown in grey while the text is empty
};

// Orientation of scroll bars and remembered values.
enum class Orientation : int32_t { Horizontal = 1, Vertical = 2 };

// The one object that draws every control and answers the geometry that depends on the look.
// Operations record into the surface's display list and leave its clip, origin, font and text
// colour as they found them. Read-only after start-up apart from the remembered icon images;
// painting is serialised per window by the surface lock.
class ControlTheme {
public:
    ControlTheme();

    // 0: the inner rectangle of a frame of that size and style.
    IntRect contentRect(int32_t width, int32_t height, uint32_t style) const;
    // 1: the scroll-bar strip along the right edge (vertical) or the bottom (horizontal) of the
    // content rectangle of `rect`.
    IntRect scrollBarRect(Orientation orientation, const IntRect& rect, uint32_t style) const;
    // 2: caption-button, sizing-border, caption, scroll-bar and client codes; 0 outside.
    int32_t frameHitTest(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t style) const;
    // 3: the icon strip (not owned) whose cells the next item drawings use.
    void setIconImage(const ImageStrip* strip, int32_t cellSize);
    // 4: a copy recoloured towards the accent; null when it cannot be copied.
    ImagePtr tintImage(const Image& source) const;
    // 5: the icon (not owned) at the left of every caption.
    void setCaptionIcon(const Image* icon);
    // 6: window or popup frame. hotButtons: 1 close, 2 maximise, 4 minimise.
    void drawFrame(Surface& surface, int32_t width, int32_t height, uint32_t style, bool active, uint32_t hotButtons,
                   const Image* icon, const char16_t* caption) const;
    // 7: the caption strip alone (to refresh the caption buttons).
    void drawCaption(Surface& surface, int32_t width, int32_t height, uint32_t style, uint32_t hotButtons,
                     const char16_t* caption = nullptr) const;
    // 8: the box covering the caption buttons.
    IntRect captionButtonsRect(int32_t width, int32_t height, uint32_t style) const;
    // 9: one value for the vertical orientation and one for the other.
    void setOrientationValue(int32_t value, Orientation orientation);
    int32_t orientationValue(Orientation orientation) const;
    // 10: rounded panel with an optional accent bar at the left.
    void drawPanel(Surface& surface, const IntRect& rect, int32_t leftBarWidth) const;
    // 11: one popup menu row: 0x8 separator, 0x2 hot, 0x1 disabled, 0x10 submenu arrow; the
    // caption may carry an accelerator after a tab. iconIndex -1: none.
    void drawMenuItem(Surface& surface, const IntRect& rect, uint32_t state, const char16_t* caption, int32_t length,
                      int32_t iconIndex) const;
    // 12: push button. face 0: the button face.
    void drawButton(Surface& surface, const IntRect& rect, uint32_t state, const char16_t* caption, int32_t length,
                    int32_t iconIndex, uint32_t face) const;
    // 13: 16 x 16 box, 0x800 ticked, 0x1 disabled, 0x2 hot.
    void drawCheckBox(Surface& surface, const IntRect& rect, uint32_t state) const;
    // 14: status bar, with a size grip at the bottom-right corner when asked.
    void drawStatusBar(Surface& surface, const IntRect& rect, bool sizeGrip) const;
    // 15: one status pane with an optional icon frame of the remembered strip (-1: none).
    void drawStatusPane(Surface& surface, const IntRect& rect, const char16_t* text, int32_t length,
                        int32_t iconFrame) const;
    // 16, 17: the menu bar and one of its titles (0x2 hot, 0x4 open, 0x1 disabled).
    void drawMenuBar(Surface& surface, const IntRect& rect) const;
    void drawMenuBarItem(Surface& surface, const IntRect& rect, uint32_t state, const char16_t* caption) const;
    // 18: progress bar; the fraction is clamped to 0..1.
    void drawProgress(Surface& surface, const IntRect& rect, double fraction, uint32_t colour) const;
    // 19: closed drop-down box (0x2 hot or open, 0x1 disabled).
    void drawDropDownBox(Surface& surface, const IntRect& rect, uint32_t state, const char16_t* text,
                         int32_t length, std::u16string_view badge = {}) const;
    // 20: one row of an open drop-down list (0x8 selected).
    void drawDropListRow(Surface& surface, const IntRect& rect, uint32_t state, const char16_t* text,
                         int32_t length, std::u16string_view badge = {}) const;
    // A short mark (a source's name, "MB") in a small rounded box: the dark accent's outline,
    // the pale panel inside, the text in the bold font; vertically centred on the row, from
    // left. Answers the x where the row's text may start (left when the badge is empty).
    double drawBadge(Surface& surface, const IntRect& row, double left, std::u16string_view badge,
                     bool disabled = false) const;
    // 21: a tree row with an icon and an 11 x 11 expander box (0x10 expanded).
    void drawTreeItem(Surface& surface, const IntRect& rect, uint32_t state, const char16_t* text, int32_t length,
                      int32_t iconIndex) const;
    // 22: the rounded gradient face of drop-down boxes, list rows and scroll-bar parts.
    // shape 0: rounded corners; 1: square corners.
    void drawFace(Surface& surface, const IntRect& rect, int32_t shape, uint32_t colour, uint32_t state,
                  double opacity) const;

    // 23: a one-line text entry: frame, selection, text and caret, the text shifted left by
    // the look's scroll and kept inside the frame.
    void drawTextEntry(Surface& surface, const IntRect& rect, const TextEntryLook& look) const;
    Font* font() const { return m_font.get(); }
    Font* captionFont() const { return m_captionFont.get(); }
    uint32_t frameBorder() const { return m_frameBorder; }
    uint32_t lightFace() const { return m_lightFace; }

private:
    void drawCaptionButtons(Surface& surface, int32_t width, int32_t height, uint32_t style,
                            uint32_t hotButtons) const;
    void drawIconCell(Surface& surface, const ImageStrip* strip, int32_t index, double x, double y) const;
    void drawBar(Surface& surface, double cx, double cy, double length, double thickness, double angle,
                 uint32_t colour) const;
    // A round-ended stroke from (x0, y0) to (x1, y1).
    void drawStroke(Surface& surface, double x0, double y0, double x1, double y1, double thickness,
                    uint32_t colour) const;

    FontRef m_font; // "Tahoma" 8
    FontRef m_captionFont; // "Tahoma" 8 bold
    uint32_t m_frameBorder;
    uint32_t m_lightFace;
    const ImageStrip* m_icons = nullptr;
    ImageStrip m_tintedIcons; // the disabled look of the remembered strip
    int32_t m_iconCell = 16; // [pixels]
    const Image* m_captionIcon = nullptr;
    int32_t m_verticalValue = 0;
    int32_t m_otherValue = 0;
};

// The process-wide theme, set once at start-up before any window exists.
ControlTheme* controlTheme();
void setControlTheme(ControlTheme* theme);

} // namespace tonvane
