#include "controls/theme/ControlTheme.h"

#include "controls/theme/StyleBits.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/TextFit.h"
#include "graphics/text/TextLayout.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tonvane {

namespace {

using namespace style;

// The window system's hit-test codes that frames answer.
constexpr int32_t kHitNowhere = 0;
constexpr int32_t kHitClient = 1;
constexpr int32_t kHitCaption = 2;
constexpr int32_t kHitHorizontalScroll = 6;
constexpr int32_t kHitVerticalScroll = 7;
constexpr int32_t kHitMinimise = 8;
constexpr int32_t kHitMaximise = 9;
constexpr int32_t kHitLeft = 10;
constexpr int32_t kHitRight = 11;
constexpr int32_t kHitTop = 12;
constexpr int32_t kHitTopLeft = 13;
constexpr int32_t kHitTopRight = 14;
constexpr int32_t kHitBottom = 15;
constexpr int32_t kHitBottomLeft = 16;
constexpr int32_t kHitBottomRight = 17;
constexpr int32_t kHitClose = 20;

// Frame geometry [pixels].
constexpr int32_t kFrameInset = 5;
constexpr int32_t kSizingBorder = 5;
constexpr int32_t kSizingCorner = 10;
constexpr int32_t kCaptionStrip = 25; // the top strip that moves the window
constexpr int32_t kCloseWidth = 42;
constexpr int32_t kButtonWidth = 24; // maximise and minimise
constexpr int32_t kButtonHeight = 19;
constexpr int32_t kButtonRadius = 3;
constexpr int32_t kPanelRadius = 3;
constexpr int32_t kButtonRadiusFace = 5;
constexpr double kDisabledTint = 0.5;
constexpr double kDarkFaceTint = -0.35;
constexpr int32_t kExpanderBox = 11;

uint32_t withAlpha(uint32_t colour, uint32_t alpha)
{
    return (colour & 0x00FFFFFFu) | alpha << 24;
}

uint32_t scaledAlpha(uint32_t colour, double opacity)
{
    double a = std::clamp(opacity, 0.0, 1.0) * (colour >> 24);
    return withAlpha(colour, static_cast<uint32_t>(a));
}

// Saves what the theme's drawing changes on the surface and puts it back.
class PainterState {
public:
    explicit PainterState(Surface& surface)
        : m_surface(surface), m_clip(surface.getClip()), m_origin(surface.origin()), m_font(surface.font),
          m_colour(surface.text_colour)
    {
    }
    ~PainterState()
    {
        Origin now = m_surface.origin();
        m_surface.setOrigin(m_origin.dx - now.dx, m_origin.dy - now.dy);
        m_surface.setClip(m_clip.x0, m_clip.y0, m_clip.x1, m_clip.y1);
        m_surface.font = m_font;
        m_surface.text_colour = m_colour;
    }
    IntRect clip() const { return m_clip; }
    PainterState(const PainterState&) = delete;
    PainterState& operator=(const PainterState&) = delete;

private:
    Surface& m_surface;
    IntRect m_clip;
    Origin m_origin;
    Font* m_font;
    uint32_t m_colour;
};

bool inside(int32_t x, int32_t y, int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    return x >= x0 && x < x1 && y >= y0 && y < y1;
}

// Text of `length` units (-1: up to the zero), vertically centred in the box.
void drawLabel(Surface& surface, Font* font, uint32_t colour, const char16_t* text, int32_t length, uint32_t flags,
               double left, double bottom, double right, double top)
{
    if (text == nullptr || font == nullptr || right <= left)
        return;
    surface.font = font;
    surface.text_colour = colour;
    // One line: a text too long for it ends in an ellipsis instead of losing its last words.
    size_t units = 0;
    if (length < 0)
        while (units < kMaxZeroTerminatedText && text[units] != 0)
            ++units;
    else
        units = static_cast<size_t>(length);
    FittedText fitted = fitWithEllipsis(*font, std::u16string_view(text, units), right - left);
    drawText(surface, fitted.text.c_str(), int32_t(fitted.text.size()), flags | kTextVerticalCentre, left, bottom, right,
             top);
}

// The caption up to a tab, and what follows it (the accelerator).
void splitAtTab(const char16_t* text, int32_t length, int32_t& captionLength, const char16_t*& accelerator,
                int32_t& acceleratorLength)
{
    captionLength = 0;
    accelerator = nullptr;
    acceleratorLength = 0;
    if (text == nullptr)
        return;
    int32_t total = 0;
    if (length < 0)
        while (total < int32_t(kMaxZeroTerminatedText) && text[total] != 0)
            ++total;
    else
        total = length;
    int32_t tab = 0;
    while (tab < total && text[tab] != u'\t')
        ++tab;
    captionLength = tab;
    if (tab < total) {
        accelerator = text + tab + 1;
        acceleratorLength = total - tab - 1;
    }
}

} // namespace

uint32_t tint(uint32_t colour, double x)
{
    auto channel = [x](uint32_t c) {
        double v = c / 255.0;
        v += x * (1 - v);
        return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
    };
    return (colour & 0xFF000000u) | channel((colour >> 16) & 0xFF) << 16 | channel((colour >> 8) & 0xFF) << 8
        | channel(colour & 0xFF);
}

ControlTheme::ControlTheme()
    : m_font(getFont(u"Tahoma", 8, false, false)), m_captionFont(getFont(u"Tahoma", 8, true, false)),
      m_frameBorder(withAlpha(tint(palette::kAccent, -1.0), 0xFF)), m_lightFace(withAlpha(tint(palette::kAccent, 0.5), 0xFF))
{
}

IntRect ControlTheme::contentRect(int32_t width, int32_t height, uint32_t style) const
{
    IntRect r{0, 0, width, height};
    bool maximised = (style & kMaximised) != 0;
    if (style & (kSizable | kRounded)) {
        if (!maximised) {
            r.x0 += kFrameInset;
            r.y0 += kFrameInset;
        }
        r.x1 -= kFrameInset;
        r.y1 -= kFrameInset;
    } else if (!maximised) {
        int32_t inset = ((style & kOuterBorder) ? 1 : 0) + ((style & kInnerBorder) ? 1 : 0);
        r = {r.x0 + inset, r.y0 + inset, r.x1 - inset, r.y1 - inset};
    }
    if (style & kCaption)
        r.y1 -= metrics::kCaptionBar;
    if (style & kHorizontalScrollBar)
        r.y0 += metrics::kScrollBar;
    if (style & kVerticalScrollBar)
        r.x1 -= metrics::kScrollBar;
    return r;
}

IntRect ControlTheme::scrollBarRect(Orientation orientation, const IntRect& rect, uint32_t style) const
{
    IntRect c = contentRect(rect.x1 - rect.x0, rect.y1 - rect.y0, style);
    IntRect strip = orientation == Orientation::Vertical ? IntRect{c.x1, c.y0, c.x1 + metrics::kScrollBar, c.y1}
                                                         : IntRect{c.x0, c.y0 - metrics::kScrollBar, c.x1, c.y0};
    return {strip.x0 + rect.x0, strip.y0 + rect.y0, strip.x1 + rect.x0, strip.y1 + rect.y0};
}

int32_t ControlTheme::frameHitTest(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t style) const
{
    if (!inside(x, y, 0, 0, w, h))
        return kHitNowhere;
    if (!(style & kNoCaptionButtons)) {
        int32_t right = w - kFrameInset;
        int32_t bottom = h - kButtonHeight;
        if (style & kCloseButton) {
            if (inside(x, y, right - kCloseWidth, bottom, right, h))
                return kHitClose;
            right -= kCloseWidth;
        }
        if (style & kMaximiseButton) {
            if (inside(x, y, right - kButtonWidth, bottom, right, h))
                return kHitMaximise;
            right -= kButtonWidth;
        }
        if ((style & kMinimiseButton) && inside(x, y, right - kButtonWidth, bottom, right, h))
            return kHitMinimise;
    }
    bool maximised = (style & kMaximised) != 0;
    if ((style & kSizable) && !maximised) {
        bool left = x < kSizingBorder, right = x >= w - kSizingBorder;
        bool bottom = y < kSizingBorder, top = y >= h - kSizingBorder;
        bool nearLeft = x < kSizingCorner, nearRight = x >= w - kSizingCorner;
        bool nearBottom = y < kSizingCorner, nearTop = y >= h - kSizingCorner;
        if (left)
            return nearBottom ? kHitBottomLeft : nearTop ? kHitTopLeft : kHitLeft;
        if (right)
            return nearBottom ? kHitBottomRight : nearTop ? kHitTopRight : kHitRight;
        if (bottom)
            return nearLeft ? kHitBottomLeft : nearRight ? kHitBottomRight : kHitBottom;
        if (top)
            return nearLeft ? kHitTopLeft : nearRight ? kHitTopRight : kHitTop;
        if (y >= h - kCaptionStrip)
            return kHitCaption;
    } else if (style & kCaption) {
        // Also a maximised sizable frame: its caption still answers (double-click restores).
        if (y >= h - kCaptionStrip && x >= kFrameInset && x < w - kFrameInset)
            return kHitCaption;
    }
    IntRect c = contentRect(w, h, style);
    if ((style & kHorizontalScrollBar) && inside(x, y, c.x0, c.y0 - metrics::kScrollBar, c.x1, c.y0))
        return kHitHorizontalScroll;
    if ((style & kVerticalScrollBar) && inside(x, y, c.x1, c.y0, c.x1 + metrics::kScrollBar, c.y1))
        return kHitVerticalScroll;
    return kHitClient;
}

void ControlTheme::setIconImage(const ImageStrip* strip, int32_t cellSize)
{
    if (strip == m_icons && cellSize == m_iconCell)
        return; // the tinted copy is made once per strip
    m_icons = strip;
    m_iconCell = cellSize > 0 ? cellSize : 16;
    m_tintedIcons = ImageStrip();
    if (strip != nullptr && strip->image() != nullptr) {
        m_tintedIcons.setImage(tintImage(*strip->image()));
        m_tintedIcons.setFrameSize(m_iconCell, m_iconCell);
    }
}

ImagePtr ControlTheme::tintImage(const Image& source) const
{
    if (source.pixels == nullptr)
        return nullptr;
    ImagePtr copy(allocateImage(static_cast<uint32_t>(source.width), static_cast<uint32_t>(source.height)));
    if (!copy)
        return nullptr;
    // Each pixel's brightness carried by the accent's channel ratios (largest channel = 1).
    uint32_t ar = (palette::kAccent >> 16) & 0xFF, ag = (palette::kAccent >> 8) & 0xFF, ab = palette::kAccent & 0xFF;
    double largest = std::max({ar, ag, ab, 1u});
    double rr = ar / largest, rg = ag / largest, rb = ab / largest;
    size_t count = static_cast<size_t>(source.width) * static_cast<size_t>(source.height);
    for (size_t i = 0; i < count; ++i) {
        uint32_t p = source.pixels[i];
        double grey = (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3.0;
        auto c = [grey](double ratio) { return static_cast<uint32_t>(std::lround(grey * ratio)); };
        copy->pixels[i] = (p & 0xFF000000u) | c(rr) << 16 | c(rg) << 8 | c(rb);
    }
    return copy;
}

void ControlTheme::setCaptionIcon(const Image* icon)
{
    m_captionIcon = icon;
}

void ControlTheme::drawFrame(Surface& s, int32_t w, int32_t h, uint32_t style, bool active, uint32_t hotButtons,
                             const Image* icon, const char16_t* caption) const
{
    if (w <= 0 || h <= 0)
        return;
    PainterState saved(s);
    bool roundedFrame = (style & (kSizable | kRounded)) != 0;
    bool maximised = (style & kMaximised) != 0;
    uint32_t background = maximised ? withAlpha(palette::kAccent, 0xFF) : palette::kAccent;
    double radius = maximised ? 0 : metrics::kFrameRadius;
    // 1. Background.
    if (roundedFrame)
        s.roundedRectangle(0, 0, w, h, radius, 0, Paint::solid(background));
    else
        s.fillRectangle(0, 0, w, h, background);
    // 2. Caption bar.
    if (style & kCaption) {
        double top = h - kFrameInset, bottom = h - kCaptionStrip;
        // Darker than the frame so that the light caption text reads on it.
        s.roundedRectangle(kFrameInset, bottom, w - kFrameInset, top, 3, 0,
                           Paint::linearY(withAlpha(tint(palette::kAccent, -0.62), 0xE0),
                                          withAlpha(tint(palette::kAccent, -0.38), 0xE0), bottom, top));
        // 3. Caption icon and text.
        const Image* shown = icon != nullptr ? icon : m_captionIcon;
        double textLeft = kFrameInset + 5;
        if (shown != nullptr && shown->pixels != nullptr) {
            s.drawImage(kFrameInset, h - 24, shown->view(), 1);
            textLeft = kFrameInset + shown->width + 10;
        }
        IntRect buttons = captionButtonsRect(w, h, style);
        double textRight = (style & (kCloseButton | kMaximiseButton | kMinimiseButton)) && !(style & kNoCaptionButtons)
            ? buttons.x0 - 4
            : w - kFrameInset;
        uint32_t textColour = active ? palette::kCaptionText : withAlpha(palette::kCaptionText, 0x80);
        drawLabel(s, m_captionFont.get(), textColour, caption, -1, 0, textLeft, h - 24, textRight, h - 5);
    }
    // 4. Caption buttons.
    drawCaptionButtons(s, w, h, style, hotButtons);
    // 5. Border and highlight line along the outline.
    if (roundedFrame && !maximised) {
        s.roundedRectangleOutline(0, 0, w, h, radius, 0, 1, Paint::solid(m_frameBorder));
        s.roundedRectangleOutline(1, 1, w - 1, h - 1, radius - 1, 0, 1, Paint::solid(palette::kFrameHighlight));
    } else if (!maximised) {
        s.fillRectangle(0, h - 1, w, h, palette::kFrameHighlight);
    }
}

void ControlTheme::drawCaption(Surface& s, int32_t w, int32_t h, uint32_t style, uint32_t hotButtons,
                               const char16_t* caption) const
{
    PainterState saved(s);
    if (!s.setClip(0, h - kCaptionStrip, w, h))
        return;
    drawFrame(s, w, h, style, true, hotButtons, nullptr, caption);
}

IntRect ControlTheme::captionButtonsRect(int32_t w, int32_t h, uint32_t style) const
{
    int32_t left = w - kFrameInset;
    if (style & kCloseButton)
        left -= kCloseWidth;
    if (style & kMaximiseButton)
        left -= kButtonWidth;
    if (style & kMinimiseButton)
        left -= kButtonWidth;
    left -= 2;
    return {left, h - 20, w - 3, h - 1};
}

void ControlTheme::drawCaptionButtons(Surface& s, int32_t w, int32_t h, uint32_t style, uint32_t hotButtons) const
{
    if ((style & kNoCaptionButtons) || !(style & (kCloseButton | kMaximiseButton | kMinimiseButton)))
        return;
    struct Button {
        uint32_t bit; // in the style
        uint32_t hotBit;
        int32_t width;
        uint32_t hotColour;
    };
    const Button buttons[] = {{kCloseButton, 1, kCloseWidth, palette::kCloseHot},
                              {kMaximiseButton, 2, kButtonWidth, palette::kCaptionButtonHot},
                              {kMinimiseButton, 4, kButtonWidth, palette::kCaptionButtonHot}};
    double right = w - kFrameInset;
    double bottom = h - kButtonHeight, top = h - 1;
    for (const Button& b : buttons) {
        if (!(style & b.bit))
            continue;
        double left = right - b.width;
        bool hot = (hotButtons & b.hotBit) != 0;
        Paint fill = hot ? Paint::solid(b.hotColour) : Paint::linearY(0x30FFFFFF, 0x10FFFFFF, bottom, top);
        s.roundedRectangle(left, bottom, right, top, kButtonRadius, 0, fill);
        if (hot)
            s.roundedRectangle(left + 1, bottom + (top - bottom) / 2, right - 1, top - 1, kButtonRadius - 1, 0,
                               Paint::linearY(0x00FFFFFF, 0xE0FFFFFF, bottom + (top - bottom) / 2, top - 1));
        s.roundedRectangleOutline(left, bottom, right, top, kButtonRadius, 0, 1, Paint::solid(0xA0808080u));
        s.roundedRectangleOutline(left + 1, bottom + 1, right - 1, top - 1, kButtonRadius - 1, 0, 1,
                                  Paint::solid(0xA0FFFFFFu));
        // The symbol: a cross, a window outline or a bar, white with a dark edge.
        double cx = (left + right) / 2, cy = (bottom + top) / 2;
        uint32_t ink = 0xF0FFFFFFu;
        if (b.bit == kCloseButton) {
            drawBar(s, cx, cy, 12, 3, std::numbers::pi / 4, 0x80000000u);
            drawBar(s, cx, cy, 12, 3, -std::numbers::pi / 4, 0x80000000u);
            drawBar(s, cx, cy, 11, 2, std::numbers::pi / 4, ink);
            drawBar(s, cx, cy, 11, 2, -std::numbers::pi / 4, ink);
        } else if (b.bit == kMaximiseButton) {
            s.roundedRectangleOutline(cx - 5, cy - 4, cx + 5, cy + 4, 1, 0, 2, Paint::solid(ink));
        } else {
            s.roundedRectangle(cx - 5, cy - 4, cx + 5, cy - 2, 1, 0, Paint::solid(ink));
        }
        right = left;
    }
}

void ControlTheme::drawBar(Surface& s, double cx, double cy, double length, double thickness, double angle,
                           uint32_t colour) const
{
    s.roundedRectangle(cx - length / 2, cy - thickness / 2, cx + length / 2, cy + thickness / 2, thickness / 2, angle,
                       Paint::solid(colour));
}

void ControlTheme::drawStroke(Surface& s, double x0, double y0, double x1, double y1, double thickness,
                              uint32_t colour) const
{
    double length = std::hypot(x1 - x0, y1 - y0) + thickness;
    drawBar(s, (x0 + x1) / 2, (y0 + y1) / 2, length, thickness, std::atan2(y1 - y0, x1 - x0), colour);
}

void ControlTheme::setOrientationValue(int32_t value, Orientation orientation)
{
    (orientation == Orientation::Vertical ? m_verticalValue : m_otherValue) = value;
}

int32_t ControlTheme::orientationValue(Orientation orientation) const
{
    return orientation == Orientation::Vertical ? m_verticalValue : m_otherValue;
}

void ControlTheme::drawPanel(Surface& s, const IntRect& r, int32_t leftBarWidth) const
{
    if (r.empty())
        return;
    s.roundedRectangle(r.x0, r.y0, r.x1, r.y1, kPanelRadius, 0, Paint::solid(palette::kPanelFill));
    if (leftBarWidth > 0)
        s.roundedRectangle(r.x0, r.y0, std::min(r.x1, r.x0 + leftBarWidth), r.y1, kPanelRadius, 0,
                           Paint::solid(palette::kAccent));
    s.roundedRectangleOutline(r.x0, r.y0, r.x1, r.y1, kPanelRadius, 0, 1, Paint::solid(palette::kAccent));
}

void ControlTheme::drawIconCell(Surface& s, const ImageStrip* strip, int32_t index, double x, double y) const
{
    if (strip != nullptr)
        tonvane::drawFrame(s, *strip, index, x, y, 1);
}

void ControlTheme::drawMenuItem(Surface& s, const IntRect& r, uint32_t state, const char16_t* caption, int32_t length,
                                int32_t iconIndex) const
{
    if (r.empty())
        return;
    PainterState saved(s);
    double h = r.y1 - r.y0;
    double mid = (r.y0 + r.y1) / 2.0;
    if (state & kSeparator) {
        s.fillRectangle(r.x0 + h, std::floor(mid), r.x1 - 4, std::floor(mid) + 1, withAlpha(m_frameBorder, 0x80));
        return;
    }
    if (state & kHot)
        s.roundedRectangle(r.x0 + 0.5, r.y0 + 0.5, r.x1 - 0.5, r.y1 - 0.5, 3, 0, Paint::solid(palette::kMenuItemHotFace));
    // Icon column: a square of the row's height at the left.
    if (iconIndex >= 0) {
        const ImageStrip* strip = (state & kThemeDisabled) ? &m_tintedIcons : m_icons;
        drawIconCell(s, strip, iconIndex, r.x0 + (h - m_iconCell) / 2, r.y0 + (h - m_iconCell) / 2);
    }
    if (state & kSubmenu) {
        double cx = r.x1 - 9, cy = mid;
        uint32_t ink = (state & kThemeDisabled) ? palette::kDisabledText : palette::kMenuText;
        drawBar(s, cx, cy + 2, 6, 1.5, -std::numbers::pi / 4, ink);
        drawBar(s, cx, cy - 2, 6, 1.5, std::numbers::pi / 4, ink);
    }
    int32_t captionLength = 0, acceleratorLength = 0;
    const char16_t* accelerator = nullptr;
    splitAtTab(caption, length, captionLength, accelerator, acceleratorLength);
    uint32_t colour = (state & kThemeDisabled) ? palette::kDisabledText : palette::kMenuText;
    double textLeft = r.x0 + h + 4, textRight = r.x1 - ((state & kSubmenu) ? 18 : 8);
    drawLabel(s, m_font.get(), colour, caption, captionLength, 0, textLeft, r.y0, textRight, r.y1);
    if (accelerator != nullptr)
        drawLabel(s, m_font.get(), colour, accelerator, acceleratorLength, TextFlags::kTextRight, textLeft, r.y0,
                  textRight, r.y1);
}

void ControlTheme::drawButton(Surface& s, const IntRect& r, uint32_t state, const char16_t* caption, int32_t length,
                              int32_t iconIndex, uint32_t face) const
{
    if (r.empty())
        return;
    PainterState saved(s);
    double w = r.x1 - r.x0, h = r.y1 - r.y0;
    bool disabled = (state & kThemeDisabled) != 0;
    bool pressed = (state & kPressed) != 0;
    // 1, 2. Face.
    uint32_t colour = face != 0 ? face : palette::kButtonFace;
    if (disabled)
        colour = tint(colour, kDisabledTint);
    else if (state & kDarkFace)
        colour = tint(colour, kDarkFaceTint);
    s.roundedRectangle(r.x0, r.y0, r.x1, r.y1, kButtonRadiusFace, 0, Paint::solid(colour));
    // 3. Icon.
    double textLeft = r.x0 + metrics::kButtonMargin;
    const ImageStrip* strip = disabled ? &m_tintedIcons : m_icons;
    if (iconIndex >= 0 && m_icons != nullptr && iconIndex < m_icons->frameCount()) {
        double iy = r.y0 + (h - m_iconCell) / 2;
        if (state & kNoCaption) {
            drawIconCell(s, strip, iconIndex, r.x0 + (w - m_iconCell) / 2, iy);
        } else {
            drawIconCell(s, strip, iconIndex, r.x0 + metrics::kButtonMargin, iy);
            textLeft += m_iconCell + metrics::kButtonMargin;
        }
    }
    // 4. Hot: a radial highlight inside the rounded face.
    if ((state & kHot) && !disabled) {
        double cx = r.x0 + w / 2, cy = pressed ? r.y0 + h / 3 : r.y0 + h / 2;
        s.roundedRectangle(r.x0, r.y0, r.x1, r.y1, kButtonRadiusFace, 0,
                           Paint::radial(cx, cy, 0xE0FFFFFFu, 0x20FFFFFFu, 0, std::max(w, h) / 2));
    }
    // 5. Gloss.
    if (pressed) {
        s.roundedRectangle(r.x0, r.y0, r.x1, r.y1, kButtonRadiusFace, 0, Paint::solid(0x80808080u));
        s.roundedRectangle(r.x0, r.y0, r.x1, r.y1, kButtonRadiusFace, 0, Paint::solid(0x24FFFFFFu));
    } else {
        double glossBottom = r.y1 - h / 2.5;
        s.roundedRectangle(r.x0 + 1, glossBottom, r.x1 - 1, r.y1 - 1, kButtonRadiusFace - 1, 0,
                           Paint::linearY(0x20FFFFFFu, 0xFFFFFFFFu, glossBottom, r.y1 - 1));
    }
    s.roundedRectangleOutline(r.x0, r.y0, r.x1, r.y1, kButtonRadiusFace, 0, 1, Paint::solid(withAlpha(m_frameBorder, 0xC0)));
    if ((state & kFocused) && !disabled)
        s.roundedRectangleOutline(r.x0 + 2, r.y0 + 2, r.x1 - 2, r.y1 - 2, kButtonRadiusFace - 2, 0, 1,
                                  Paint::solid(0x90203050u));
    // 6. Caption.
    if (!(state & kNoCaption)) {
        uint32_t flags = (state & kCaptionLeft) ? 0u : (state & kCaptionRight) ? uint32_t(TextFlags::kTextRight)
                                                                                : uint32_t(TextFlags::kTextCentre);
        drawLabel(s, m_font.get(), disabled ? palette::kDisabledText : palette::kText, caption, length, flags, textLeft,
                  r.y0 + metrics::kButtonMargin, r.x1 - metrics::kButtonMargin, r.y1 - metrics::kButtonMargin);
    }
}

void ControlTheme::drawCheckBox(Surface& s, const IntRect& r, uint32_t state) const
{
    if (r.empty())
        return;
    PainterState saved(s);
    double x0 = r.x0, y0 = r.y0 + (r.y1 - r.y0 - metrics::kCheckBox) / 2.0;
    double x1 = x0 + metrics::kCheckBox, y1 = y0 + metrics::kCheckBox;
    bool disabled = (state & kThemeDisabled) != 0;
    uint32_t fill = disabled ? tint(palette::kPanelFill, 0.5) : (state & kHot) ? palette::kWhite : palette::kPanelFill;
    s.roundedRectangle(x0, y0, x1, y1, 3, 0, Paint::linearY(tint(palette::kAccent, 0.6), fill, y0, y1));
    s.roundedRectangleOutline(x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5, 3, 0, 1,
                              Paint::solid(disabled ? palette::kGrey : m_frameBorder));
    if (state & kTicked) {
        uint32_t mark = disabled ? palette::kGrey : palette::kCheckMark;
        // A tick of two strokes meeting at its lowest point.
        drawStroke(s, x0 + 3.5, y0 + 8.5, x0 + 6.5, y0 + 4.5, 2.4, mark);
        drawStroke(s, x0 + 6.5, y0 + 4.5, x0 + 12.5, y0 + 12.5, 2.4, mark);
    }
}

void ControlTheme::drawStatusBar(Surface& s, const IntRect& r, bool sizeGrip) const
{
    if (r.empty())
        return;
    PainterState saved(s);
    s.fillRectangleVertical(r.x0, r.y0, r.x1, r.y1, tint(palette::kMenuBarFace, -0.1), palette::kMenuBarFace);
    if (!sizeGrip || !s.setClip(r.x0, r.y0, r.x1, r.y1))
        return;
    // Concentric rings centred on the bottom-right corner, each with a white ring beside it.
    for (double radius : {4.0, 8.0, 12.0, 16.0}) {
        s.ring(r.x1, r.y0, radius, 1, Paint::solid(0xE0808080u));
        s.ring(r.x1, r.y0, radius + 1, 1, Paint::solid(palette::kWhite));
    }
}

void ControlTheme::drawStatusPane(Surface& s, const IntRect& r, const char16_t* text, int32_t length,
                                  int32_t iconFrame) const
{
    if (r.empty())
        return;
    PainterState saved(s);
    s.roundedRectangle(r.x0, r.y0, r.x1, r.y1, kPanelRadius, 0, Paint::linearY(0x80FFFFFFu, 0xE0FFFFFFu, r.y0, r.y1));
    s.roundedRectangleOutline(r.x0 + 0.5, r.y0 + 0.5, r.x1 - 0.5, r.y1 - 0.5, kPanelRadius, 0, 1,
                              Paint::solid(m_frameBorder));
    double textLeft = r.x0 + 5;
    if (iconFrame >= 0 && m_icons != nullptr && iconFrame < m_icons->frameCount()) {
        ImageView view = m_icons->frame(iconFrame);
        drawIconCell(s, m_icons, iconFrame, r.x0 + 5, r.y0 + (r.y1 - r.y0 - view.height) / 2.0);
        textLeft = r.x0 + 5 + view.width + 4;
    }
    drawLabel(s, m_font.get(), palette::kText, text, length, 0, textLeft, r.y0, r.x1 - 5, r.y1);
}

void ControlTheme::drawMenuBar(Surface& s, const IntRect& r) const
{
    if (!r.empty())
        s.fillRectangle(r.x0, r.y0, r.x1, r.y1, palette::kMenuBarFace);
}

void ControlTheme::drawMenuBarItem(Surface& s, const IntRect& r, uint32_t state, const char16_t* caption) const
{
    if (r.empty())
        return;
    PainterState saved(s);
    bool open = (state & kPressed) != 0;
    if ((state & kHot) || open)
        s.roundedRectangle(r.x0 + 0.5, r.y0 + 0.5, r.x1 - 0.5, r.y1 - 0.5, 3, 0,
                           Paint::linearY(open ? m_lightFace : tint(palette::kAccent, 0.2), m_lightFace, r.y0, r.y1));
    uint32_t colour = (state & kThemeDisabled) ? palette::kDisabledText : palette::kMenuText;
    drawLabel(s, m_font.get(), colour, caption, -1, kTextCentre, r.x0, r.y0, r.x1, r.y1);
}

void ControlTheme::drawProgress(Surface& s, const IntRect& r, double fraction, uint32_t colour) const
{
    if (r.empty())
        return;
    double f = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    double w = r.x1 - r.x0, h = r.y1 - r.y0;
    s.roundedRectangle(r.x0, r.y0, r.x1, r.y1, kPanelRadius, 0, Paint::solid(m_lightFace));
    s.roundedRectangleOutline(r.x0 + 0.5, r.y0 + 0.5, r.x1 - 0.5, r.y1 - 0.5, kPanelRadius, 0, 1,
                              Paint::solid(0x80C0C0C0u));
    double filled = w * f;
    if (filled <= 0)
        return;
    double x1 = r.x0 + filled;
    s.roundedRectangle(r.x0, r.y0, x1, r.y1, kPanelRadius, 0, Paint::solid(colour));
    double mid = r.y0 + h / 2;
    s.roundedRectangle(r.x0, mid, x1, r.y1, kPanelRadius, 0, Paint::linearY(0x60FFFFFFu, 0xF0FFFFFFu, mid, r.y1));
    s.roundedRectangleOutline(r.x0 + 0.5, r.y0 + 0.5, x1 - 0.5, r.y1 - 0.5, kPanelRadius, 0, 1,
                              Paint::solid(withAlpha(colour, 0x7F)));
}

void ControlTheme::drawDropDownBox(Surface& s, const IntRect& r, uint32_t state, const char16_t* text,
                                   int32_t length, std::u16string_view badge) const
{
    if (r.empty())
        return;
    PainterState saved(s);
    bool disabled = (state & kThemeDisabled) != 0;
    double arrowLeft = r.x1 - metrics::kControlHeight;
    if (state & kHot) {
        s.roundedRectangle(r.x0, r.y0, r.x1, r.y1, kPanelRadius, 0, Paint::solid(palette::kPanelFill));
        s.roundedRectangleOutline(r.x0 + 0.5, r.y0 + 0.5, r.x1 - 0.5, r.y1 - 0.5, kPanelRadius, 0, 1,
                                  Paint::solid(m_frameBorder));
        s.roundedRectangleOutline(r.x0 + 1.5, r.y0 + 1.5, r.x1 - 1.5, r.y1 - 1.5, kPanelRadius - 1, 0, 1,
                                  Paint::solid(palette::kAccent));
    } else {
        drawFace(s, r, 0, palette::kButtonFace, state, 1.0);
    }
    // Down arrow: two short bars at -45 and +45 degrees in a 22-pixel square at the right.
    uint32_t ink = disabled ? palette::kDisabledText : palette::kText;
    double cx = arrowLeft + metrics::kControlHeight / 2.0, cy = (r.y0 + r.y1) / 2.0;
    drawBar(s, cx - 2, cy, 6, 1.6, -std::numbers::pi / 4, ink);
    drawBar(s, cx + 2, cy, 6, 1.6, std::numbers::pi / 4, ink);
    double textLeft = drawBadge(s, r, r.x0 + 3, badge, disabled);
    drawLabel(s, m_font.get(), ink, text, length, 0, textLeft, r.y0, arrowLeft, r.y1);
}

void ControlTheme::drawDropListRow(Surface& s, const IntRect& r, uint32_t state, const char16_t* text,
                                   int32_t length, std::u16string_view badge) const
{
    if (r.empty())
        return;
    PainterState saved(s);
    s.fillRectangle(r.x0, r.y0, r.x1, r.y1, palette::kPanelFill);
    if (state & kSelected)
        drawFace(s, r, 0, palette::kMenuItemHotFace, state, 1.0);
    double textLeft = drawBadge(s, r, r.x0 + 3, badge);
    drawLabel(s, m_font.get(), palette::kText, text, length, 0, textLeft, r.y0, r.x1 - 3, r.y1);
}

double ControlTheme::drawBadge(Surface& s, const IntRect& r, double left, std::u16string_view badge,
                               bool disabled) const
{
    Font* font = m_captionFont.get();
    if (badge.empty() || font == nullptr)
        return left;
    constexpr double kPadding = 3; // [pixels] between the text and the box's sides
    constexpr double kGap = 5; // [pixels] from the box to the row's text
    constexpr double kInset = 3; // [pixels] above and below the box within the row
    PainterState saved(s);
    double textWidth = std::ceil(measureLine(*font, badge.data(), uint32_t(badge.size()), 1e6).width);
    double right = left + textWidth + 2 * kPadding;
    double bottom = r.y0 + kInset, top = r.y1 - kInset;
    uint32_t ink = disabled ? palette::kDisabledText : palette::kDark;
    s.roundedRectangle(left, bottom, right, top, kPanelRadius, 0, Paint::solid(palette::kWhite));
    s.roundedRectangleOutline(left + 0.5, bottom + 0.5, right - 0.5, top - 0.5, kPanelRadius, 0, 1, Paint::solid(ink));
    s.font = font;
    s.text_colour = ink;
    drawText(s, badge.data(), int32_t(badge.size()), kTextCentre | kTextVerticalCentre, left, bottom, right, top);
    return right + kGap;
}

void ControlTheme::drawTreeItem(Surface& s, const IntRect& r, uint32_t state, const char16_t* text, int32_t length,
                                int32_t iconIndex) const
{
    if (r.empty())
        return;
    PainterState saved(s);
    if (state & kSelected)
        drawFace(s, r, 0, palette::kMenuItemHotFace, state, 1.0);
    double cy = (r.y0 + r.y1) / 2.0;
    double bx = r.x0 + 3, by = std::floor(cy - kExpanderBox / 2.0);
    s.fillRectangle(bx, by, bx + kExpanderBox, by + kExpanderBox, palette::kWhite);
    s.roundedRectangleOutline(bx + 0.5, by + 0.5, bx + kExpanderBox - 0.5, by + kExpanderBox - 0.5, 0, 0, 1,
                              Paint::solid(m_frameBorder));
    s.fillRectangle(bx + 2, by + 5, bx + 9, by + 6, palette::kText);
    if (!(state & kSubmenu)) // collapsed: the vertical stroke of the plus
        s.fillRectangle(bx + 5, by + 2, bx + 6, by + 9, palette::kText);
    double textLeft = bx + kExpanderBox + 4;
    if (iconIndex >= 0 && m_icons != nullptr) {
        drawIconCell(s, m_icons, iconIndex, textLeft, cy - m_iconCell / 2.0);
        textLeft += m_iconCell + 4;
    }
    drawLabel(s, m_font.get(), palette::kText, text, length, 0, textLeft, r.y0, r.x1 - 3, r.y1);
}

void ControlTheme::drawFace(Surface& s, const IntRect& r, int32_t shape, uint32_t colour, uint32_t state,
                            double opacity) const
{
    if (r.empty())
        return;
    uint32_t base = (state & kThemeDisabled) ? tint(colour, kDisabledTint) : (state & kHot) ? tint(colour, 0.25) : colour;
    uint32_t top = scaledAlpha(tint(base, 0.45), opacity);
    uint32_t bottom = scaledAlpha(base, opacity);
    double radius = shape == 0 ? kPanelRadius : 0;
    s.roundedRectangle(r.x0, r.y0, r.x1, r.y1, radius, 0, Paint::linearY(bottom, top, r.y0, r.y1));
    s.roundedRectangleOutline(r.x0 + 0.5, r.y0 + 0.5, r.x1 - 0.5, r.y1 - 0.5, radius, 0, 1,
                              Paint::solid(scaledAlpha(withAlpha(m_frameBorder, 0x90), opacity)));
}

namespace {
ControlTheme* g_theme = nullptr;
}

ControlTheme* controlTheme()
{
    return g_theme;
}

void setControlTheme(ControlTheme* theme)
{
    g_theme = theme;
}

} // namespace tonvane

namespace tonvane {

void ControlTheme::drawTextEntry(Surface& s, const IntRect& r, const TextEntryLook& look) const
{
    if (r.empty())
        return;
    PainterState saved(s);
    bool focused = (look.state & kFocused) != 0;
    bool disabled = (look.state & kThemeDisabled) != 0;
    // An opaque white field inside the panel border; the focused one gets the accent ring of an
    // open drop-down box.
    s.roundedRectangle(r.x0, r.y0, r.x1, r.y1, kPanelRadius, 0, Paint::solid(palette::kWhite));
    s.roundedRectangleOutline(r.x0 + 0.5, r.y0 + 0.5, r.x1 - 0.5, r.y1 - 0.5, kPanelRadius, 0, 1,
                              Paint::solid(m_frameBorder));
    if (focused)
        s.roundedRectangleOutline(r.x0 + 1.5, r.y0 + 1.5, r.x1 - 1.5, r.y1 - 1.5, kPanelRadius - 1, 0, 1,
                                  Paint::solid(palette::kAccent));
    Font* font = m_font.get();
    IntRect inner{r.x0 + metrics::kEntryPadding - 1, r.y0 + 2, r.x1 - metrics::kEntryPadding + 1, r.y1 - 2};
    IntRect clip = intersect(saved.clip(), inner);
    if (font == nullptr || clip.empty() || !s.setClip(clip.x0, clip.y0, clip.x1, clip.y1))
        return;
    double textLeft = r.x0 + metrics::kEntryPadding - look.scroll;
    double lineTop = (r.y0 + r.y1) / 2.0 + font->line_height / 2.0;
    double lineBottom = lineTop - font->line_height;
    if (look.selectionRight > look.selectionLeft) {
        uint32_t fill = focused ? palette::kMenuItemHotFace : palette::kAccent;
        s.fillRectangle(textLeft + look.selectionLeft, std::floor(lineBottom), textLeft + look.selectionRight,
                        std::ceil(lineTop), fill);
    }
    // An empty field shows its placeholder, unscrolled, in the disabled text's grey.
    std::u16string_view shown = look.text.empty() ? look.placeholder : look.text;
    if (!shown.empty()) {
        s.font = font;
        s.text_colour = disabled || look.text.empty() ? palette::kDisabledText : palette::kText;
        double left = look.text.empty() ? r.x0 + metrics::kEntryPadding : textLeft;
        // Wide enough never to be cut or wrapped: the clip keeps it inside the field.
        constexpr double kUnbounded = 1e6; // [pixels]
        drawText(s, shown.data(), int32_t(shown.size()), kTextVerticalCentre, left, r.y0, left + kUnbounded, r.y1);
    }
    if (look.caretShown && focused && !disabled) {
        double x = std::round(textLeft + look.caretX);
        s.fillRectangle(x, std::floor(lineBottom), x + 1, std::ceil(lineTop), palette::kText);
    }
}

} // namespace tonvane
