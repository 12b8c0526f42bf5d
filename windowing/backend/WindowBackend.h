#pragma once
#include "windowing/backend/ScreenGeometry.h"
#include "windowing/message/Message.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tonvane {

class Surface;

enum class WindowKind {
    Main, // taskbar entry, icon, title
    Dialog, // transient for its owner
    Popup, // drop-down lists: no window manager, pointer grabbed
    Menu, // popup menus: as Popup, typed as a menu for the compositing manager
};

// The kinds shown without the window manager that hold the pointer while open.
constexpr bool isPopupKind(WindowKind kind)
{
    return kind == WindowKind::Popup || kind == WindowKind::Menu;
}

struct WindowDescription {
    WindowKind kind = WindowKind::Main;
    ScreenRect rect; // window rectangle, shadow margin included
    std::string title; // UTF-8
    WindowId owner = kNoWindow;
    int32_t minWidth = 0; // [pixels] minimum window size for the window manager
    int32_t minHeight = 0;
};

// One picture for the screen: the lower-left width x height pixels of `surface` (premultiplied,
// rows bottom-up), placed with its top-left corner at `at`. alpha scales the whole picture
// (255: as is). flattenOver: when not 0, an opaque colour the picture is composited over before
// it is shown (screens without a compositing manager show no transparency).
struct Frame {
    const Surface* surface = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    ScreenPoint at;
    uint8_t alpha = 255;
    uint32_t flattenOver = 0;
    int32_t cornerRadius = 0; // [pixels] corners cut off the shown shape when flattened
    // Window pixels (top-down) that changed since the previous push of the same picture size;
    // empty: the whole picture. The rest of the screen keeps the previous push.
    ScreenRect changed;
};

// Straight-alpha ARGB icon, rows top-down.
struct IconImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

// The two selections text is exchanged through: the clipboard (copy, cut, paste) and the
// primary selection (whatever is selected; the middle button pastes it).
enum class TextSelection { Clipboard, Primary };

// At most this much text is offered or taken through a selection [bytes].
constexpr size_t kSelectionTextLimit = 1024;

// Cursor numbers of the cursor selection; any other number selects nothing.
enum class CursorKind : int {
    AppStarting = 0, Arrow, Cross, Hand, Help, IBeam, No, Wait, SizeAll, SizeNeSw, SizeNwSe, SizeWe, SizeNs,
};
constexpr int kCursorKinds = 13;

// The window system below the toolkit. Calls that change windows are made on the user-interface
// thread, except push, which repaints on worker threads may call at any time (one window's pushes
// are serialised by its surface lock). Events are taken without blocking; eventFd becomes
// readable when more may be waiting.
class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    virtual WindowId createWindow(const WindowDescription& description) = 0;
    virtual void destroyWindow(WindowId window) = 0;
    // Makes the window visible (mapped) or hides it.
    virtual void showWindow(WindowId window, bool visible) = 0;
    virtual bool isVisible(WindowId window) = 0;
    virtual void moveWindow(WindowId window, const ScreenRect& rect) = 0;
    virtual void iconify(WindowId window) = 0;
    // From iconic back to normal at rect.
    virtual void deiconify(WindowId window, const ScreenRect& rect) = 0;
    virtual void activate(WindowId window) = 0;
    virtual bool push(WindowId window, const Frame& frame) = 0;

    virtual ScreenRect workArea() = 0;
    virtual int32_t dotsPerInch() = 0;
    virtual bool compositorPresent() = 0;
    virtual TaskbarButton taskbarButton(WindowId window) = 0;

    // Pointer capture: every pointer event goes to this window until released.
    virtual void setCapture(WindowId window) = 0;
    virtual void releaseCapture() = 0;
    virtual WindowId capture() = 0;
    virtual void setCursor(WindowId window, CursorKind shape) = 0;
    virtual ScreenPoint cursorPosition() = 0;
    // True while the left or the right pointer button is held.
    virtual bool pointerButtonsDown() = 0;
    // Key-table modifier bits held now.
    virtual uint32_t modifierState() = 0;
    // The window manager moves (HTCAPTION) or sizes (a sizing-border code) the window from the
    // pointer position `at` while the button stays down.
    virtual void beginMoveResize(WindowId window, int32_t hitCode, ScreenPoint at) = 0;
    // Icons of the main window, largest first.
    virtual void setIcons(WindowId window, const std::vector<IconImage>& icons) = 0;

    // Offers text (UTF-8, cut to kSelectionTextLimit bytes by the caller) as the selection's
    // content, owned by window, until another program or window takes the selection.
    virtual void offerText(WindowId window, TextSelection selection, const std::string& text)
    {
        (void)window;
        (void)selection;
        (void)text;
    }
    // The selection's text as its owner gives it, at most kSelectionTextLimit bytes and not
    // checked as UTF-8; nullopt when nobody owns it, the owner offers no text or does not answer
    // within a short wait. Called on the user-interface thread for window.
    virtual std::optional<std::string> readText(WindowId window, TextSelection selection)
    {
        (void)window;
        (void)selection;
        return std::nullopt;
    }

    // -1 when events only arrive through nextEvent.
    virtual int eventFd() = 0;
    // A second descriptor the loop also waits on: readable when events were read from the
    // connection by another thread's call and wait in the backend's own queue. -1: none.
    virtual int wakeFd() { return -1; }
    virtual bool nextEvent(Message& out) = 0;
    // [milliseconds] How long the loop may sleep before nextEvent has to look again without any
    // descriptor becoming readable (a deadline of the backend's own); -1: no limit.
    virtual int waitLimitMs() { return -1; }
    // Pending requests sent to the window system.
    virtual void flush() = 0;
};

// The X11 backend when DISPLAY names a server that answers and headless is not asked for;
// else the headless backend.
std::unique_ptr<WindowBackend> createBackend(bool headless);

} // namespace tonvane
