#pragma once
#include <cstdint>

namespace tonvane::style {

// The 32-bit style word every widget carries and hands to the theme. Some bits mean one thing as
// a widget state and another in a theme call; both names are given.
constexpr uint32_t kQuick = 0x1; // quick animations; in theme calls: disabled look
constexpr uint32_t kThemeDisabled = 0x1;
constexpr uint32_t kHot = 0x2; // pointer over; in a frame style: no caption buttons
constexpr uint32_t kNoCaptionButtons = 0x2;
constexpr uint32_t kVisible = 0x4; // as a widget state
constexpr uint32_t kPressed = 0x4; // as a theme state
constexpr uint32_t kSeparator = 0x8; // menu item: separator; list row: selected
constexpr uint32_t kSelected = 0x8;
constexpr uint32_t kCloseButton = 0x10; // frames; menu items: submenu arrow; buttons: text left
constexpr uint32_t kSubmenu = 0x10;
constexpr uint32_t kCaptionLeft = 0x10;
constexpr uint32_t kMaximiseButton = 0x20; // frames; buttons: text right
constexpr uint32_t kCaptionRight = 0x20;
constexpr uint32_t kMinimiseButton = 0x40;
constexpr uint32_t kMaximised = 0x80;
constexpr uint32_t kSizable = 0x200;
constexpr uint32_t kCaption = 0x400; // frames; buttons: no caption (icon centred)
constexpr uint32_t kNoCaption = 0x400;
constexpr uint32_t kHorizontalScrollBar = 0x800; // check boxes: ticked
constexpr uint32_t kTicked = 0x800;
constexpr uint32_t kVerticalScrollBar = 0x1000; // buttons in theme calls: focused
constexpr uint32_t kFocused = 0x1000;
constexpr uint32_t kRounded = 0x2000; // rounded frame without sizing; buttons: darker face
constexpr uint32_t kDarkFace = 0x2000;
constexpr uint32_t kInnerBorder = 0x4000; // one-pixel inner border
constexpr uint32_t kOuterBorder = 0x8000; // one-pixel border
constexpr uint32_t kDisabled = 0x40000;
constexpr uint32_t kNoRepaint = 0x100000;

} // namespace tonvane::style
