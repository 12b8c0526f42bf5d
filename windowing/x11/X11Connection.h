#pragma once
#include "windowing/backend/WindowBackend.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <atomic>
#include <deque>
#include <optional>
#include <string>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace tonvane::x11 {

// _MOTIF_WM_HINTS: five longs; flags bit 1 says the decorations field is valid, 0 = none.
constexpr long kMotifDecorationsFlag = 2;
constexpr int kMotifFields = 5;
// _NET_WM_MOVERESIZE directions and source indication (1: a normal application).
constexpr long kMoveResizeMove = 8;
constexpr long kSourceNormal = 1;
constexpr int kWheelNotch = 120; // wheel delta per notch
constexpr unsigned kButtonWheelUp = 4;
constexpr unsigned kButtonWheelDown = 5;
constexpr unsigned kButtonWheelLeft = 6;
constexpr unsigned kButtonWheelRight = 7;
constexpr unsigned kButtonBack = 8; // X button 1
constexpr unsigned kButtonForward = 9; // X button 2
constexpr uint64_t kDoubleClickNs = 500000000; // 500 ms
constexpr int kDoubleClickSlop = 4; // [pixels]
constexpr int kDefaultDpi = 96;
constexpr long kPointerMask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
constexpr long kEventMask = ExposureMask | StructureNotifyMask | PointerMotionMask | ButtonPressMask | ButtonReleaseMask
                            | KeyPressMask | KeyReleaseMask | FocusChangeMask | PropertyChangeMask | EnterWindowMask
                            | LeaveWindowMask | VisibilityChangeMask;
// How long an iconify request may go unanswered before the window is shown again: without a
// window manager, or with one that does not iconify (a tiling one), the request is simply lost.
// A manager that runs gets longer, for when it is busy.
constexpr uint64_t kIconifyAnswerNs = 2000000000; // 2 s
constexpr uint64_t kIconifyUnmanagedNs = 300000000; // 300 ms: nobody to answer at all
// While the window manager moves or sizes a window for us, how often the buttons are looked at
// to tell when the user let go (the manager's grab hides the release from us, and the crossing
// events of grabs also come from our own ungrab at the start).
constexpr int kMoveResizePollMs = 50;
// After the release, how long the window manager's last moves may take to reach us: the end is
// told once this long has passed without a ConfigureNotify of the window, or, when none came at
// all yet (a manager that starts late, or a press without a drag), the longer wait.
constexpr uint64_t kMoveResizeSettleNs = 250000000; // 250 ms
constexpr uint64_t kMoveResizeUnmovedNs = 1000000000; // 1 s
// WM_STATE values.
constexpr long kIconicState = 3;

// The last protocol error, recorded instead of Xlib's exit (a refused XShmAttach on a remote
// display is one).
extern std::atomic<int> g_lastError;

// The image a window's pushes go through: in a shared-memory segment, or in our own memory for
// XPutImage when the server refuses shared memory.
struct PushImage {
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool shared = false;
    int32_t width = 0;
    int32_t height = 0;
};

struct X11Window {
    Window window = 0;
    WindowKind kind = WindowKind::Main;
    GC gc = nullptr;
    PushImage push;
    ScreenRect rect;
    bool mapped = false; // asked to be shown
    bool viewable = false; // shown by the server (MapNotify seen)
    bool iconic = false;
    uint64_t iconifyAskedNs = 0; // when we asked the window manager to iconify; 0: not waiting
    bool obscured = false; // VisibilityFullyObscured
    bool hiddenByManager = false; // _NET_WM_STATE_HIDDEN
    bool toldOnScreen = true; // the last WM_VISIBILITY reported
    int32_t shapedRadius = -1; // corner radius the shape was cut for; -1: unshaped
    ScreenRect shapedSize;
    XIC inputContext = nullptr; // typed text through the input method; null: XLookupString
};

// Text we own as a selection, and the window that owns it.
struct OwnedSelection {
    Window owner = 0;
    std::string text;
};

// [nanoseconds] How long a paste waits for the selection's owner to answer: the user-interface
// thread waits, so it stays short; an owner that takes longer is treated as having no text.
constexpr uint64_t kSelectionWaitNs = 250000000; // 250 ms

// Self-run move or resize when no window manager takes _NET_WM_MOVERESIZE.
struct Drag {
    WindowId window = kNoWindow;
    int32_t hitCode = 0;
    ScreenPoint start;
    ScreenRect startRect;
};

// The X11 window system behind the backend interface. One mutex guards every Xlib call and every
// window record: repaints push from worker threads.
class X11Connection final : public WindowBackend {
public:
    explicit X11Connection(Display* display);
    ~X11Connection() override;
    // inputMethod: open the X input method for typed text (compose keys, input methods); without
    // it keys are looked up with XLookupString.
    bool initialise(bool inputMethod = true);

    // ---- windows ----
    WindowId createWindow(const WindowDescription& description) override;
    void destroyWindow(WindowId id) override;
    void showWindow(WindowId id, bool visible) override;
    bool isVisible(WindowId id) override;
    void moveWindow(WindowId id, const ScreenRect& rect) override;
    void iconify(WindowId id) override;
    void deiconify(WindowId id, const ScreenRect& rect) override;
    void activate(WindowId id) override;
    bool push(WindowId id, const Frame& frame) override;

    // ---- screen ----
    ScreenRect workArea() override;
    int32_t dotsPerInch() override { return m_dpi; }

    bool compositorPresent() override;
    TaskbarButton taskbarButton(WindowId id) override;

    // ---- pointer and keys ----
    void setCapture(WindowId id) override;
    void releaseCapture() override;
    WindowId capture() override;
    void setCursor(WindowId id, CursorKind shape) override;
    ScreenPoint cursorPosition() override;
    bool pointerButtonsDown() override;
    uint32_t modifierState() override { return m_modifiers.load(); }

    void beginMoveResize(WindowId id, int32_t hitCode, ScreenPoint at) override;
    void setIcons(WindowId id, const std::vector<IconImage>& icons) override;

    // ---- events ----
    int eventFd() override;
    int wakeFd() override { return m_wakeFd; }

    bool nextEvent(Message& out) override;
    int waitLimitMs() override;
    void flush() override;

    // ---- text ----
    void offerText(WindowId id, TextSelection selection, const std::string& text) override;
    std::optional<std::string> readText(WindowId id, TextSelection selection) override;
    bool hasInputMethod() const { return m_inputMethod != nullptr; }

private:
    static void connectionLost(Display*, void* self);

    // After the connection is gone the main window is asked to close, once: its close stop and
    // settings run as for any close, and no further X call is made.
    bool reportLoss(Message& out);
    X11Window* find(WindowId id);
    Atom atom(const char* name) { return XInternAtom(m_display, name, False); }

    std::vector<long> cardinals(Window window, Atom property, long count);
    bool findArgbVisual();
    void readDotsPerInch();
    bool windowManagerRunning();
    void setWindowManagerHints(Window window, const WindowDescription& description);
    void grabPointer(WindowId id);
    void place(X11Window& window, const ScreenRect& rect);

    // Without a compositor the corners of the opaque picture are cut away with the Shape
    // extension; radius < 0 restores the full rectangle.
    void shape(X11Window& window, int32_t radius);
    void releaseImage(PushImage& push);

    // Only our side of the image: for a connection that is gone.
    static void releaseImageLocally(PushImage& push);
    bool ensureImage(X11Window& window, int32_t width, int32_t height);
    bool createSharedImage(PushImage& push, int32_t width, int32_t height);
    void putImage(X11Window& window);
    // Only that part of the image (window pixels, top-down).
    void putImage(X11Window& window, const ScreenRect& part);
    void releaseWindow(X11Window& window);
    void trackModifiers(unsigned state, KeySym keysym, bool pressed);
    bool translateButton(const XButtonEvent& event, bool pressed, Message& out);

    // A move or resize of our own, following the pointer from the press.
    bool dragTo(int32_t rootX, int32_t rootY, Message& out);
    bool translate(XEvent& event, Message& out);
    // What is due without an event: an iconify nobody answered (the window comes back), the end
    // of a move or resize the window manager ran for us.
    bool checkDeadlines(Message& out);
    // A WM_VISIBILITY when the window's being on screen changed since the last one.
    bool reportVisibility(X11Window& window, Message& out);
    bool managerSaysHidden(Window window);
    // After a round trip: events it read into Xlib's queue make no descriptor readable, so the
    // loop is woken through the wake descriptor instead of sleeping on them.
    void wakeForQueuedEvents();
    // The pointer on the root window and the buttons and modifiers held (a round trip; the
    // events it pulls into Xlib's queue wake the loop). The caller holds m_mutex.
    struct PointerState {
        int rootX = 0;
        int rootY = 0;
        unsigned mask = 0;
    };
    PointerState queryPointer();
    uint64_t iconifyAnswerNs() { return windowManagerRunning() ? kIconifyAnswerNs : kIconifyUnmanagedNs; }
    std::vector<long> cardinalsOfType(Window window, Atom property);
    // Text input and selections (X11Text.cpp).
    void openInputMethod();
    void createInputContext(X11Window& window);
    // The text a key press types (UTF-8); empty for keys that type nothing.
    std::string typedText(XKeyEvent& key);
    // The key's messages: WM_KEYDOWN/WM_KEYUP, then WM_CHAR for what a press types.
    bool translateKey(XKeyEvent& key, bool pressed, Message& out);
    void answerSelectionRequest(const XSelectionRequestEvent& request);
    void selectionCleared(const XSelectionClearEvent& clear);
    Atom selectionAtom(TextSelection selection) const;
    OwnedSelection& owned(TextSelection selection);
    std::mutex m_mutex; // every X call and every window record
    Display* m_display;
    int m_screen;
    Window m_root;
    Visual* m_visual = nullptr;
    Colormap m_colormap = 0;
    bool m_shmAvailable = false;
    bool m_shapeAvailable = false;
    Atom m_deleteWindow = 0;
    Atom m_protocols = 0;
    Atom m_compositorSelection = 0;
    int32_t m_dpi = kDefaultDpi;
    std::map<WindowId, X11Window> m_windows;
    std::map<CursorKind, Cursor> m_cursors;
    WindowId m_capture = kNoWindow;
    Drag m_drag;
    WindowId m_managerMoveResize = kNoWindow; // a _NET_WM_MOVERESIZE we asked for, until it settles
    uint64_t m_moveReleasedNs = 0; // when its buttons were found released; 0: still held
    uint64_t m_moveConfiguredNs = 0; // the window's last ConfigureNotify meanwhile
    std::atomic<uint32_t> m_modifiers{0};
    Window m_lastPressWindow = 0;
    ScreenPoint m_lastPressAt;
    uint64_t m_lastPressNs = 0;
    bool m_lost = false;
    bool m_lossReported = false;
    int m_wakeFd;
    XIM m_inputMethod = nullptr;
    std::deque<Message> m_queued; // messages of an event after the first one it gave
    OwnedSelection m_ownedClipboard;
    OwnedSelection m_ownedPrimary;
    Atom m_clipboardAtom = 0;
    Atom m_utf8Atom = 0;
    Atom m_targetsAtom = 0;
    Atom m_incrAtom = 0;
    Atom m_transferAtom = 0; // the property a selection we asked for is delivered into
    Time m_lastEventTime = CurrentTime; // of the last key or button event: selections are owned from then
};

} // namespace tonvane::x11
