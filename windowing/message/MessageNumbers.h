#pragma once
#include <cstdint>

namespace tonvane {

// Message numbers of the window message record; the values are the design's.
namespace msg {
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_MOVE = 0x0003;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_KILLFOCUS = 0x0008;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_SHOWWINDOW = 0x0018;
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
constexpr uint32_t WM_GETMINMAXINFO = 0x0024;
constexpr uint32_t WM_WINDOWPOSCHANGED = 0x0047;
constexpr uint32_t WM_NCHITTEST = 0x0084;
constexpr uint32_t WM_NCACTIVATE = 0x0086;
constexpr uint32_t WM_NCMOUSEMOVE = 0x00A0;
constexpr uint32_t WM_NCLBUTTONDOWN = 0x00A1;
constexpr uint32_t WM_NCLBUTTONUP = 0x00A2;
constexpr uint32_t WM_NCFIRST_MOUSE = 0x00A0;
constexpr uint32_t WM_NCLAST_MOUSE = 0x00AD;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_KEYLAST = 0x0109;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MBUTTONDBLCLK = 0x0209;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
constexpr uint32_t WM_XBUTTONDOWN = 0x020B;
constexpr uint32_t WM_XBUTTONUP = 0x020C;
constexpr uint32_t WM_XBUTTONDBLCLK = 0x020D;
constexpr uint32_t WM_MOUSEHWHEEL = 0x020E;
constexpr uint32_t WM_MOUSELAST = 0x020D; // the range the modal loop drops for other windows
constexpr uint32_t WM_DEVICECHANGE = 0x0219;
constexpr uint32_t WM_EXITSIZEMOVE = 0x0232; // a move or resize by the user ended
constexpr uint32_t WM_MOUSELEAVE = 0x02A3; // the pointer left the window (x, y: where, client pixels)
constexpr uint32_t WM_USER = 0x0400;
constexpr uint32_t WM_INVOKE = WM_USER + 1;
// The window became visible on the screen (wParam 1) or stopped being (0): minimised, fully
// covered, or hidden by the window manager.
constexpr uint32_t WM_VISIBILITY = WM_USER + 2;
constexpr uint32_t WM_USER_LAST = 0x7FFF;
// The distance from a client mouse message to its non-client twin.
constexpr uint32_t kClientToNonClient = WM_MOUSEMOVE - WM_NCMOUSEMOVE;
} // namespace msg

// Hit-test codes.
namespace ht {
constexpr int32_t HTNOWHERE = 0;
constexpr int32_t HTCLIENT = 1;
constexpr int32_t HTCAPTION = 2;
constexpr int32_t HTMINBUTTON = 8;
constexpr int32_t HTMAXBUTTON = 9;
constexpr int32_t HTLEFT = 10;
constexpr int32_t HTRIGHT = 11;
constexpr int32_t HTTOP = 12;
constexpr int32_t HTTOPLEFT = 13;
constexpr int32_t HTTOPRIGHT = 14;
constexpr int32_t HTBOTTOM = 15;
constexpr int32_t HTBOTTOMLEFT = 16;
constexpr int32_t HTBOTTOMRIGHT = 17;
constexpr int32_t HTCLOSE = 20;

constexpr bool isSizingBorder(int32_t code) { return code >= HTLEFT && code <= HTBOTTOMRIGHT; }
constexpr bool isCaptionButton(int32_t code) { return code == HTMINBUTTON || code == HTMAXBUTTON || code == HTCLOSE; }
} // namespace ht

// WM_WINDOWPOSCHANGED flags.
namespace swp {
constexpr uint32_t SWP_NOSIZE = 0x0001;
constexpr uint32_t SWP_NOMOVE = 0x0002;
constexpr uint32_t SWP_SHOWWINDOW = 0x0040;
constexpr uint32_t SWP_HIDEWINDOW = 0x0080;
} // namespace swp

// WM_SYSCOMMAND commands.
namespace sc {
constexpr uint64_t SC_MINIMIZE = 0xF020;
constexpr uint64_t SC_MAXIMIZE = 0xF030;
constexpr uint64_t SC_CLOSE = 0xF060;
constexpr uint64_t SC_RESTORE = 0xF120;
} // namespace sc

// Extra-button bits of WM_XBUTTONDOWN's wParam, and the key codes the dispatch gives them.
namespace xb {
constexpr uint64_t MK_XBUTTON1 = 0x20;
constexpr uint64_t MK_XBUTTON2 = 0x40;
} // namespace xb

} // namespace tonvane
