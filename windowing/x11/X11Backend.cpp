#include "windowing/x11/X11Backend.h"

#include "core/foundation/Clock.h"
#include "windowing/backend/FrameCopy.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/x11/KeyMap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrender.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace tonvane {

namespace {

// Memory Xlib keeps for a connection whose server went away: freeing it would take calls on
// the dead connection, and the program is ending anyway. Not a leak to the leak checker.
void keptForGood(const void* memory)
{
#if defined(__SANITIZE_ADDRESS__)
    __lsan_ignore_object(memory);
#else
    (void)memory;
#endif
}

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
                            | KeyPressMask | KeyReleaseMask | FocusChangeMask | PropertyChangeMask;
// WM_STATE values.
constexpr long kIconicState = 3;

// The last protocol error, recorded instead of Xlib's exit (a refused XShmAttach on a remote
// display is one).
std::atomic<int> g_lastError{0};

int recordError(Display*, XErrorEvent* event)
{
    g_lastError.store(event->error_code);
    return 0;
}

int ignoreIoError(Display*)
{
    return 0;
}

// _NET_WM_MOVERESIZE directions 0..7 run clockwise from the top-left corner; 8 moves.
long sizingDirection(int32_t hitCode)
{
    switch (hitCode) {
    case ht::HTTOPLEFT:
        return 0;
    case ht::HTTOP:
        return 1;
    case ht::HTTOPRIGHT:
        return 2;
    case ht::HTRIGHT:
        return 3;
    case ht::HTBOTTOMRIGHT:
        return 4;
    case ht::HTBOTTOM:
        return 5;
    case ht::HTBOTTOMLEFT:
        return 6;
    case ht::HTLEFT:
        return 7;
    default:
        return kMoveResizeMove;
    }
}

unsigned cursorGlyph(CursorKind shape)
{
    static constexpr unsigned kGlyphs[kCursorKinds] = {
        XC_watch, XC_left_ptr, XC_crosshair, XC_hand2, XC_question_arrow, XC_xterm, XC_X_cursor,
        XC_watch, XC_fleur, XC_bottom_left_corner, XC_bottom_right_corner, XC_sb_h_double_arrow,
        XC_sb_v_double_arrow,
    };
    return kGlyphs[static_cast<int>(shape)];
}

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
    int32_t shapedRadius = -1; // corner radius the shape was cut for; -1: unshaped
    ScreenRect shapedSize;
};

// Self-run move or resize when no window manager takes _NET_WM_MOVERESIZE.
struct Drag {
    WindowId window = kNoWindow;
    int32_t hitCode = 0;
    ScreenPoint start;
    ScreenRect startRect;
};

class X11Connection final : public WindowBackend {
public:
    X11Connection(Display* display) : m_display(display), m_screen(DefaultScreen(display)),
                                      m_root(RootWindow(display, m_screen)), m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    {
    }

    ~X11Connection() override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        if (!m_lost) {
            for (auto& [id, window] : m_windows)
                releaseWindow(window);
            for (auto& [shape, cursor] : m_cursors)
                XFreeCursor(m_display, cursor);
            if (m_colormap != 0)
                XFreeColormap(m_display, m_colormap);
            XCloseDisplay(m_display);
        } else {
            for (auto& [id, window] : m_windows) {
                releaseImageLocally(window.push);
                keptForGood(window.gc);
            }
            keptForGood(m_display);
        }
        if (m_wakeFd >= 0)
            close(m_wakeFd);
    }

    bool initialise()
    {
        XSetErrorHandler(recordError);
        XSetIOErrorHandler(ignoreIoError);
        XSetIOErrorExitHandler(m_display, &X11Connection::connectionLost, this);
        if (!findArgbVisual())
            return false;
        m_colormap = XCreateColormap(m_display, m_root, m_visual, AllocNone);
        int major = 0;
        int minor = 0;
        Bool pixmaps = False;
        m_shmAvailable = XShmQueryVersion(m_display, &major, &minor, &pixmaps) == True;
        int shapeEvent = 0;
        int shapeError = 0;
        m_shapeAvailable = XShapeQueryExtension(m_display, &shapeEvent, &shapeError) == True;
        m_deleteWindow = atom("WM_DELETE_WINDOW");
        m_protocols = atom("WM_PROTOCOLS");
        char selection[32];
        std::snprintf(selection, sizeof selection, "_NET_WM_CM_S%d", m_screen);
        m_compositorSelection = atom(selection);
        readDotsPerInch();
        return true;
    }

    // ---- windows ----

    WindowId createWindow(const WindowDescription& description) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        if (m_lost || description.rect.empty())
            return kNoWindow;
        XSetWindowAttributes attributes{};
        attributes.colormap = m_colormap;
        attributes.border_pixel = 0;
        attributes.background_pixel = 0;
        attributes.event_mask = kEventMask;
        attributes.override_redirect = description.kind == WindowKind::Popup ? True : False;
        unsigned long mask = CWColormap | CWBorderPixel | CWBackPixel | CWEventMask | CWOverrideRedirect;
        const ScreenRect& rect = description.rect;
        Window window = XCreateWindow(m_display, m_root, rect.x, rect.y, static_cast<unsigned>(rect.width),
                                      static_cast<unsigned>(rect.height), 0, 32, InputOutput, m_visual, mask, &attributes);
        if (window == 0)
            return kNoWindow;
        setWindowManagerHints(window, description);
        X11Window& record = m_windows[window];
        record.window = window;
        record.kind = description.kind;
        record.gc = XCreateGC(m_display, window, 0, nullptr);
        record.rect = rect;
        return window;
    }

    void destroyWindow(WindowId id) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        auto found = m_windows.find(id);
        if (found == m_windows.end())
            return;
        if (!m_lost) {
            releaseWindow(found->second);
        } else {
            releaseImageLocally(found->second.push);
            keptForGood(found->second.gc);
        }
        m_windows.erase(found);
        if (m_capture == id)
            m_capture = kNoWindow;
    }

    void showWindow(WindowId id, bool visible) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        X11Window* window = find(id);
        if (window == nullptr)
            return;
        window->mapped = visible;
        if (visible) {
            XMapRaised(m_display, window->window);
            if (window->kind == WindowKind::Popup)
                grabPointer(id);
        } else {
            XUnmapWindow(m_display, window->window);
        }
        XFlush(m_display);
    }

    bool isVisible(WindowId id) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        X11Window* window = find(id);
        return window != nullptr && window->mapped && !window->iconic;
    }

    void moveWindow(WindowId id, const ScreenRect& rect) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        if (X11Window* window = find(id))
            place(*window, rect);
    }

    void iconify(WindowId id) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        if (X11Window* window = find(id)) {
            window->iconic = true;
            XIconifyWindow(m_display, window->window, m_screen);
            XFlush(m_display);
        }
    }

    void deiconify(WindowId id, const ScreenRect& rect) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        if (X11Window* window = find(id)) {
            window->iconic = false;
            XMapRaised(m_display, window->window);
            place(*window, rect);
        }
    }

    void activate(WindowId id) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        X11Window* window = find(id);
        if (window == nullptr)
            return;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window->window;
        event.xclient.message_type = atom("_NET_ACTIVE_WINDOW");
        event.xclient.format = 32;
        event.xclient.data.l[0] = kSourceNormal;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XRaiseWindow(m_display, window->window);
        XFlush(m_display);
    }

    bool push(WindowId id, const Frame& frame) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        X11Window* window = find(id);
        if (window == nullptr || frame.width <= 0 || frame.height <= 0)
            return false;
        if (!ensureImage(*window, frame.width, frame.height))
            return false;
        XImage* image = window->push.image;
        auto* out = reinterpret_cast<uint32_t*>(image->data);
        if (!copyFrame(frame, out, static_cast<size_t>(image->bytes_per_line / 4)))
            return false;
        place(*window, {frame.at.x, frame.at.y, frame.width, frame.height});
        shape(*window, frame.flattenOver != 0 ? frame.cornerRadius : -1);
        putImage(*window);
        return true;
    }

    // ---- screen ----

    ScreenRect workArea() override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        ScreenRect screen{0, 0, DisplayWidth(m_display, m_screen), DisplayHeight(m_display, m_screen)};
        if (m_lost)
            return screen;
        std::vector<long> area = cardinals(m_root, atom("_NET_WORKAREA"), 4);
        if (area.size() < 4 || area[2] <= 0 || area[3] <= 0)
            return screen;
        return {static_cast<int32_t>(area[0]), static_cast<int32_t>(area[1]), static_cast<int32_t>(area[2]),
                static_cast<int32_t>(area[3])};
    }

    int32_t dotsPerInch() override { return m_dpi; }

    bool compositorPresent() override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        return !m_lost && XGetSelectionOwner(m_display, m_compositorSelection) != None;
    }

    TaskbarButton taskbarButton(WindowId id) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        TaskbarButton button;
        X11Window* window = find(id);
        if (window == nullptr)
            return button;
        std::vector<long> geometry = cardinals(window->window, atom("_NET_WM_ICON_GEOMETRY"), 4);
        if (geometry.size() == 4)
            button.rect = {static_cast<int32_t>(geometry[0]), static_cast<int32_t>(geometry[1]),
                           static_cast<int32_t>(geometry[2]), static_cast<int32_t>(geometry[3])};
        return button;
    }

    // ---- pointer and keys ----

    void setCapture(WindowId id) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        grabPointer(id);
    }

    void releaseCapture() override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_capture = kNoWindow;
        if (!m_lost) {
            XUngrabPointer(m_display, CurrentTime);
            XFlush(m_display);
        }
    }

    WindowId capture() override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_capture;
    }

    void setCursor(WindowId id, CursorKind shape) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        X11Window* window = find(id);
        if (window == nullptr || static_cast<int>(shape) < 0 || static_cast<int>(shape) >= kCursorKinds)
            return;
        auto [slot, added] = m_cursors.try_emplace(shape, 0);
        if (added)
            slot->second = XCreateFontCursor(m_display, cursorGlyph(shape));
        XDefineCursor(m_display, window->window, slot->second);
        XFlush(m_display);
    }

    ScreenPoint cursorPosition() override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        if (m_lost)
            return {};
        Window root = 0;
        Window child = 0;
        int rootX = 0;
        int rootY = 0;
        int x = 0;
        int y = 0;
        unsigned mask = 0;
        XQueryPointer(m_display, m_root, &root, &child, &rootX, &rootY, &x, &y, &mask);
        return {rootX, rootY};
    }

    bool pointerButtonsDown() override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        if (m_lost)
            return false;
        Window root = 0;
        Window child = 0;
        int rootX = 0;
        int rootY = 0;
        int x = 0;
        int y = 0;
        unsigned mask = 0;
        XQueryPointer(m_display, m_root, &root, &child, &rootX, &rootY, &x, &y, &mask);
        return (mask & (Button1Mask | Button3Mask)) != 0;
    }

    uint32_t modifierState() override { return m_modifiers.load(); }

    void beginMoveResize(WindowId id, int32_t hitCode, ScreenPoint at) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        X11Window* window = find(id);
        if (window == nullptr)
            return;
        XUngrabPointer(m_display, CurrentTime);
        m_capture = kNoWindow;
        if (windowManagerRunning()) {
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = window->window;
            event.xclient.message_type = atom("_NET_WM_MOVERESIZE");
            event.xclient.format = 32;
            event.xclient.data.l[0] = at.x;
            event.xclient.data.l[1] = at.y;
            event.xclient.data.l[2] = sizingDirection(hitCode);
            event.xclient.data.l[3] = Button1;
            event.xclient.data.l[4] = kSourceNormal;
            XSendEvent(m_display, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
            XFlush(m_display);
            return;
        }
        m_drag = {id, hitCode, at, window->rect};
        grabPointer(id);
    }

    void setIcons(WindowId id, const std::vector<IconImage>& icons) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        X11Window* window = find(id);
        if (window == nullptr)
            return;
        // CARDINAL arrays of format 32 travel as longs: width, height, then the ARGB pixels.
        std::vector<long> data;
        for (const IconImage& icon : icons) {
            size_t count = static_cast<size_t>(icon.width) * static_cast<size_t>(icon.height);
            if (icon.width <= 0 || icon.height <= 0 || icon.pixels.size() != count)
                continue;
            data.push_back(icon.width);
            data.push_back(icon.height);
            for (uint32_t pixel : icon.pixels)
                data.push_back(static_cast<long>(pixel));
        }
        Atom property = atom("_NET_WM_ICON");
        if (data.empty())
            XDeleteProperty(m_display, window->window, property);
        else
            XChangeProperty(m_display, window->window, property, XA_CARDINAL, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
        XFlush(m_display);
    }

    // ---- events ----

    int eventFd() override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_lost ? -1 : ConnectionNumber(m_display);
    }

    int wakeFd() override { return m_wakeFd; }

    bool nextEvent(Message& out) override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        uint64_t count = 0;
        if (read(m_wakeFd, &count, sizeof count) < 0) {
            // Nothing signalled.
        }
        // A server that went away is noticed here, before Xlib's own I/O error path.
        pollfd connection{ConnectionNumber(m_display), POLLIN, 0};
        if (!m_lost && poll(&connection, 1, 0) > 0 && (connection.revents & (POLLHUP | POLLERR)) != 0)
            m_lost = true;
        if (m_lost)
            return reportLoss(out);
        while (!m_lost && XPending(m_display) > 0) {
            XEvent event{};
            XNextEvent(m_display, &event);
            if (translate(event, out))
                return true;
        }
        if (m_lost)
            return reportLoss(out);
        return false;
    }

    void flush() override
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        if (!m_lost)
            XFlush(m_display);
    }

private:
    static void connectionLost(Display*, void* self)
    {
        static_cast<X11Connection*>(self)->m_lost = true;
    }

    // After the connection is gone the main window is asked to close, once: its close stop and
    // settings run as for any close, and no further X call is made.
    bool reportLoss(Message& out)
    {
        if (m_lossReported)
            return false;
        m_lossReported = true;
        for (auto& [id, window] : m_windows)
            if (window.kind == WindowKind::Main) {
                out = {id, msg::WM_CLOSE};
                return true;
            }
        return false;
    }

    X11Window* find(WindowId id)
    {
        if (m_lost)
            return nullptr;
        auto found = m_windows.find(id);
        return found == m_windows.end() ? nullptr : &found->second;
    }

    Atom atom(const char* name) { return XInternAtom(m_display, name, False); }

    std::vector<long> cardinals(Window window, Atom property, long count)
    {
        std::vector<long> values;
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, window, property, 0, count, False, XA_CARDINAL, &type, &format, &items, &after,
                               &data)
                == Success
            && data != nullptr) {
            if (type == XA_CARDINAL && format == 32)
                values.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + items);
            XFree(data);
        }
        return values;
    }

    bool findArgbVisual()
    {
        XVisualInfo wanted{};
        wanted.screen = m_screen;
        wanted.depth = 32;
        wanted.c_class = TrueColor;
        int count = 0;
        XVisualInfo* visuals
            = XGetVisualInfo(m_display, VisualScreenMask | VisualDepthMask | VisualClassMask, &wanted, &count);
        for (int i = 0; i < count && m_visual == nullptr; ++i) {
            XRenderPictFormat* format = XRenderFindVisualFormat(m_display, visuals[i].visual);
            if (format != nullptr && format->type == PictTypeDirect && format->direct.alphaMask != 0)
                m_visual = visuals[i].visual;
        }
        if (visuals != nullptr)
            XFree(visuals);
        return m_visual != nullptr;
    }

    void readDotsPerInch()
    {
        m_dpi = kDefaultDpi;
        XrmInitialize();
        char* resources = XResourceManagerString(m_display);
        if (resources == nullptr)
            return;
        XrmDatabase database = XrmGetStringDatabase(resources);
        char* type = nullptr;
        XrmValue value{};
        if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) == True && value.addr != nullptr) {
            double dpi = std::atof(value.addr);
            if (dpi >= 24 && dpi <= 1200)
                m_dpi = static_cast<int32_t>(std::lround(dpi));
        }
        XrmDestroyDatabase(database);
    }

    bool windowManagerRunning()
    {
        std::vector<long> check;
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        bool running = false;
        if (XGetWindowProperty(m_display, m_root, atom("_NET_SUPPORTING_WM_CHECK"), 0, 1, False, XA_WINDOW, &type, &format,
                               &items, &after, &data)
                == Success
            && data != nullptr) {
            running = items == 1;
            XFree(data);
        }
        return running;
    }

    void setWindowManagerHints(Window window, const WindowDescription& description)
    {
        long motif[kMotifFields] = {kMotifDecorationsFlag, 0, 0, 0, 0};
        Atom motifAtom = atom("_MOTIF_WM_HINTS");
        XChangeProperty(m_display, window, motifAtom, motifAtom, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(motif), kMotifFields);
        XSetWMProtocols(m_display, window, &m_deleteWindow, 1);
        const std::string& title = description.title;
        XChangeProperty(m_display, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
        XStoreName(m_display, window, title.c_str());
        XClassHint classHint{const_cast<char*>("tonvane"), const_cast<char*>("Tonvane")};
        XSetClassHint(m_display, window, &classHint);
        XSizeHints sizeHints{};
        sizeHints.flags = PPosition | USPosition | PSize;
        sizeHints.x = description.rect.x;
        sizeHints.y = description.rect.y;
        sizeHints.width = description.rect.width;
        sizeHints.height = description.rect.height;
        if (description.minWidth > 0 && description.minHeight > 0) {
            sizeHints.flags |= PMinSize;
            sizeHints.min_width = description.minWidth;
            sizeHints.min_height = description.minHeight;
        }
        XSetWMNormalHints(m_display, window, &sizeHints);
        if (description.kind == WindowKind::Dialog) {
            if (description.owner != kNoWindow)
                XSetTransientForHint(m_display, window, static_cast<Window>(description.owner));
            Atom dialog = atom("_NET_WM_WINDOW_TYPE_DIALOG");
            XChangeProperty(m_display, window, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&dialog), 1);
        }
    }

    void grabPointer(WindowId id)
    {
        X11Window* window = find(id);
        if (window == nullptr)
            return;
        m_capture = id;
        XGrabPointer(m_display, window->window, False, kPointerMask, GrabModeAsync, GrabModeAsync, None, None,
                     CurrentTime);
        XFlush(m_display);
    }

    void place(X11Window& window, const ScreenRect& rect)
    {
        if (rect == window.rect)
            return;
        window.rect = rect;
        XMoveResizeWindow(m_display, window.window, rect.x, rect.y, static_cast<unsigned>(rect.width),
                          static_cast<unsigned>(rect.height));
    }

    // Without a compositor the corners of the opaque picture are cut away with the Shape
    // extension; radius < 0 restores the full rectangle.
    void shape(X11Window& window, int32_t radius)
    {
        if (!m_shapeAvailable)
            return;
        ScreenRect size{0, 0, window.rect.width, window.rect.height};
        if (radius == window.shapedRadius && (radius < 0 || size == window.shapedSize))
            return;
        window.shapedRadius = radius;
        window.shapedSize = size;
        if (radius <= 0) {
            XShapeCombineMask(m_display, window.window, ShapeBounding, 0, 0, None, ShapeSet);
            return;
        }
        std::vector<XRectangle> rows;
        int32_t r = std::min(radius, std::min(size.width, size.height) / 2);
        for (int32_t i = 0; i < r; ++i) {
            double dy = r - i - 0.5;
            auto inset = static_cast<int32_t>(std::ceil(r - std::sqrt(static_cast<double>(r) * r - dy * dy)));
            auto width = static_cast<unsigned short>(std::max(0, size.width - 2 * inset));
            rows.push_back({static_cast<short>(inset), static_cast<short>(i), width, 1});
            rows.push_back({static_cast<short>(inset), static_cast<short>(size.height - 1 - i), width, 1});
        }
        rows.push_back({0, static_cast<short>(r), static_cast<unsigned short>(size.width),
                        static_cast<unsigned short>(std::max(0, size.height - 2 * r))});
        XShapeCombineRectangles(m_display, window.window, ShapeBounding, 0, 0, rows.data(), static_cast<int>(rows.size()),
                                ShapeSet, Unsorted);
    }

    void releaseImage(PushImage& push)
    {
        if (push.image == nullptr)
            return;
        if (push.shared) {
            XShmDetach(m_display, &push.shm);
            XSync(m_display, False);
            shmdt(push.shm.shmaddr);
            push.image->data = nullptr;
        }
        XDestroyImage(push.image); // frees our own memory for a non-shared image
        push = {};
    }

    // Only our side of the image: for a connection that is gone.
    static void releaseImageLocally(PushImage& push)
    {
        if (push.image == nullptr)
            return;
        if (push.shared) {
            shmdt(push.shm.shmaddr);
            push.image->data = nullptr;
        }
        XDestroyImage(push.image);
        push = {};
    }

    bool ensureImage(X11Window& window, int32_t width, int32_t height)
    {
        PushImage& push = window.push;
        if (push.image != nullptr && push.width == width && push.height == height)
            return true;
        releaseImage(push);
        if (m_shmAvailable && createSharedImage(push, width, height))
            return true;
        // XPutImage: the bytes travel through the connection.
        size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
        auto* data = static_cast<char*>(std::malloc(bytes));
        if (data == nullptr)
            return false;
        push.image = XCreateImage(m_display, m_visual, 32, ZPixmap, 0, data, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), 32, 0);
        if (push.image == nullptr) {
            std::free(data);
            return false;
        }
        push.width = width;
        push.height = height;
        return true;
    }

    bool createSharedImage(PushImage& push, int32_t width, int32_t height)
    {
        XImage* image = XShmCreateImage(m_display, m_visual, 32, ZPixmap, nullptr, &push.shm,
                                        static_cast<unsigned>(width), static_cast<unsigned>(height));
        if (image == nullptr)
            return false;
        size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
        push.shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (push.shm.shmid < 0) {
            XDestroyImage(image);
            return false;
        }
        push.shm.shmaddr = static_cast<char*>(shmat(push.shm.shmid, nullptr, 0));
        if (push.shm.shmaddr == reinterpret_cast<char*>(-1)) {
            shmctl(push.shm.shmid, IPC_RMID, nullptr);
            XDestroyImage(image);
            return false;
        }
        image->data = push.shm.shmaddr;
        push.shm.readOnly = False;
        g_lastError.store(0);
        XShmAttach(m_display, &push.shm);
        XSync(m_display, False);
        shmctl(push.shm.shmid, IPC_RMID, nullptr); // freed once both sides detach
        if (g_lastError.load() != 0) {
            // A remote display (or a server without access to our segment) refuses it.
            m_shmAvailable = false;
            shmdt(push.shm.shmaddr);
            image->data = nullptr;
            XDestroyImage(image);
            return false;
        }
        push.image = image;
        push.shared = true;
        push.width = width;
        push.height = height;
        return true;
    }

    void putImage(X11Window& window)
    {
        PushImage& push = window.push;
        if (push.image == nullptr)
            return;
        if (push.shared)
            XShmPutImage(m_display, window.window, window.gc, push.image, 0, 0, 0, 0, static_cast<unsigned>(push.width),
                         static_cast<unsigned>(push.height), False);
        else
            XPutImage(m_display, window.window, window.gc, push.image, 0, 0, 0, 0, static_cast<unsigned>(push.width),
                      static_cast<unsigned>(push.height));
        // The segment is written again by the next push: wait until the server has read it.
        XSync(m_display, False);
        if (XEventsQueued(m_display, QueuedAlready) > 0) {
            uint64_t one = 1;
            if (write(m_wakeFd, &one, sizeof one) < 0) {
                // Saturated: the loop is awake anyway.
            }
        }
    }

    void releaseWindow(X11Window& window)
    {
        releaseImage(window.push);
        if (window.gc != nullptr)
            XFreeGC(m_display, window.gc);
        XDestroyWindow(m_display, window.window);
        XFlush(m_display);
    }

    void trackModifiers(unsigned state, KeySym keysym, bool pressed)
    {
        uint32_t bits = 0;
        if ((state & ControlMask) != 0)
            bits |= mod::kCtrl;
        if ((state & Mod1Mask) != 0)
            bits |= mod::kAlt;
        if ((state & ShiftMask) != 0)
            bits |= mod::kShift;
        uint32_t sides = m_modifiers.load() & (mod::kLeftShift | mod::kRightShift);
        // The event's state is the one before the key: apply the key itself.
        auto apply = [&](uint32_t bit, bool down) { bits = down ? bits | bit : bits & ~bit; };
        if (keysym == XK_Shift_L)
            sides = pressed ? sides | mod::kLeftShift : sides & ~mod::kLeftShift;
        if (keysym == XK_Shift_R)
            sides = pressed ? sides | mod::kRightShift : sides & ~mod::kRightShift;
        if (keysym == XK_Shift_L || keysym == XK_Shift_R)
            apply(mod::kShift, sides != 0);
        if (keysym == XK_Control_L || keysym == XK_Control_R)
            apply(mod::kCtrl, pressed);
        if (keysym == XK_Alt_L || keysym == XK_Alt_R)
            apply(mod::kAlt, pressed);
        if ((bits & mod::kShift) == 0)
            sides = 0;
        m_modifiers.store(bits | sides);
    }

    bool translateButton(const XButtonEvent& event, bool pressed, Message& out)
    {
        out = {event.window};
        out.x = event.x;
        out.y = event.y;
        unsigned button = event.button;
        if (button == kButtonWheelUp || button == kButtonWheelDown || button == kButtonWheelLeft
            || button == kButtonWheelRight) {
            if (!pressed)
                return false;
            int delta = button == kButtonWheelUp || button == kButtonWheelRight ? kWheelNotch : -kWheelNotch;
            out.message = button <= kButtonWheelDown ? msg::WM_MOUSEWHEEL : msg::WM_MOUSEHWHEEL;
            out.wParam = static_cast<uint64_t>(static_cast<uint16_t>(delta)) << 16;
            out.x = event.x_root;
            out.y = event.y_root;
            return true;
        }
        if (button == kButtonBack || button == kButtonForward) {
            out.message = pressed ? msg::WM_XBUTTONDOWN : msg::WM_XBUTTONUP;
            out.wParam = button == kButtonBack ? xb::MK_XBUTTON1 : xb::MK_XBUTTON2;
            return true;
        }
        if (button == Button1) {
            out.message = pressed ? msg::WM_LBUTTONDOWN : msg::WM_LBUTTONUP;
            if (pressed) {
                uint64_t now = monotonicNs();
                bool again = event.window == m_lastPressWindow && now - m_lastPressNs < kDoubleClickNs
                             && std::abs(event.x_root - m_lastPressAt.x) <= kDoubleClickSlop
                             && std::abs(event.y_root - m_lastPressAt.y) <= kDoubleClickSlop;
                m_lastPressNs = again ? 0 : now;
                m_lastPressWindow = event.window;
                m_lastPressAt = {event.x_root, event.y_root};
                if (again)
                    out.message = msg::WM_LBUTTONDBLCLK;
            }
            return true;
        }
        if (button == Button2)
            out.message = pressed ? msg::WM_MBUTTONDOWN : msg::WM_MBUTTONUP;
        else if (button == Button3)
            out.message = pressed ? msg::WM_RBUTTONDOWN : msg::WM_RBUTTONUP;
        else
            return false;
        return true;
    }

    // A move or resize of our own, following the pointer from the press.
    bool dragTo(int32_t rootX, int32_t rootY, Message& out)
    {
        X11Window* window = find(m_drag.window);
        if (window == nullptr)
            return false;
        int32_t dx = rootX - m_drag.start.x;
        int32_t dy = rootY - m_drag.start.y;
        ScreenRect rect = m_drag.startRect;
        int32_t code = m_drag.hitCode;
        bool left = code == ht::HTLEFT || code == ht::HTTOPLEFT || code == ht::HTBOTTOMLEFT;
        bool right = code == ht::HTRIGHT || code == ht::HTTOPRIGHT || code == ht::HTBOTTOMRIGHT;
        bool top = code == ht::HTTOP || code == ht::HTTOPLEFT || code == ht::HTTOPRIGHT;
        bool bottom = code == ht::HTBOTTOM || code == ht::HTBOTTOMLEFT || code == ht::HTBOTTOMRIGHT;
        if (code == ht::HTCAPTION) {
            rect.x += dx;
            rect.y += dy;
        }
        if (left) {
            rect.x += dx;
            rect.width -= dx;
        }
        if (right)
            rect.width += dx;
        if (top) {
            rect.y += dy;
            rect.height -= dy;
        }
        if (bottom)
            rect.height += dy;
        if (rect.width < 1 || rect.height < 1)
            return false;
        place(*window, rect);
        out = {m_drag.window, msg::WM_WINDOWPOSCHANGED};
        out.x = rect.x;
        out.y = rect.y;
        out.cx = rect.width;
        out.cy = rect.height;
        return true;
    }

    bool translate(XEvent& event, Message& out)
    {
        switch (event.type) {
        case ButtonPress:
        case ButtonRelease:
            if (m_drag.window != kNoWindow) {
                if (event.type == ButtonRelease && event.xbutton.button == Button1) {
                    m_drag = {};
                    m_capture = kNoWindow;
                    XUngrabPointer(m_display, CurrentTime);
                }
                return false;
            }
            trackModifiers(event.xbutton.state, NoSymbol, false);
            return translateButton(event.xbutton, event.type == ButtonPress, out);
        case MotionNotify: {
            XEvent next;
            while (XCheckTypedWindowEvent(m_display, event.xmotion.window, MotionNotify, &next))
                event = next; // only the latest position matters
            if (m_drag.window != kNoWindow)
                return dragTo(event.xmotion.x_root, event.xmotion.y_root, out);
            out = {event.xmotion.window, msg::WM_MOUSEMOVE};
            out.x = event.xmotion.x;
            out.y = event.xmotion.y;
            return true;
        }
        case KeyPress:
        case KeyRelease: {
            KeySym keysym = XLookupKeysym(&event.xkey, 0);
            trackModifiers(event.xkey.state, keysym, event.type == KeyPress);
            uint32_t key = x11::virtualKey(keysym);
            if (key == 0)
                return false;
            out = {event.xkey.window, event.type == KeyPress ? msg::WM_KEYDOWN : msg::WM_KEYUP, key};
            return true;
        }
        case ConfigureNotify: {
            X11Window* window = find(event.xconfigure.window);
            // Before the window manager has placed and mapped the window its position means
            // nothing yet.
            if (window == nullptr || !window->viewable)
                return false;
            // A reparenting window manager reports positions in its frame: ask for the root's.
            int x = 0;
            int y = 0;
            Window child = 0;
            XTranslateCoordinates(m_display, window->window, m_root, 0, 0, &x, &y, &child);
            ScreenRect rect{x, y, event.xconfigure.width, event.xconfigure.height};
            if (rect == window->rect)
                return false;
            window->rect = rect;
            out = {window->window, msg::WM_WINDOWPOSCHANGED};
            out.x = rect.x;
            out.y = rect.y;
            out.cx = rect.width;
            out.cy = rect.height;
            return true;
        }
        case Expose:
            if (X11Window* window = find(event.xexpose.window); window != nullptr && event.xexpose.count == 0)
                putImage(*window); // the last picture is still in the image
            return false;
        case ClientMessage:
            if (event.xclient.message_type == m_protocols
                && static_cast<Atom>(event.xclient.data.l[0]) == m_deleteWindow) {
                out = {event.xclient.window, msg::WM_CLOSE};
                return true;
            }
            return false;
        case MapNotify:
            if (X11Window* window = find(event.xmap.window); window != nullptr) {
                window->viewable = true;
                // A grab asked for before the popup was viewable was refused: take it now.
                if (window->kind == WindowKind::Popup && m_capture == window->window)
                    grabPointer(window->window);
            }
            if (X11Window* window = find(event.xmap.window); window != nullptr && window->iconic) {
                // Restored from the taskbar by the window manager.
                window->iconic = false;
                out = {window->window, msg::WM_SYSCOMMAND, sc::SC_RESTORE};
                return true;
            }
            return false;
        case UnmapNotify:
            if (X11Window* window = find(event.xunmap.window); window != nullptr)
                window->viewable = false;
            if (X11Window* window = find(event.xunmap.window); window != nullptr && window->mapped) {
                std::vector<long> state = cardinalsOfType(window->window, atom("WM_STATE"));
                if (!state.empty() && state[0] == kIconicState && !window->iconic) {
                    // Iconified by the window manager (its own button or a shortcut).
                    window->iconic = true;
                    out = {window->window, msg::WM_SYSCOMMAND, sc::SC_MINIMIZE};
                    return true;
                }
            }
            return false;
        default:
            return false;
        }
    }

    std::vector<long> cardinalsOfType(Window window, Atom property)
    {
        std::vector<long> values;
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, window, property, 0, 2, False, property, &type, &format, &items, &after, &data)
                == Success
            && data != nullptr) {
            if (format == 32)
                values.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + items);
            XFree(data);
        }
        return values;
    }

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
    std::atomic<uint32_t> m_modifiers{0};
    Window m_lastPressWindow = 0;
    ScreenPoint m_lastPressAt;
    uint64_t m_lastPressNs = 0;
    bool m_lost = false;
    bool m_lossReported = false;
    int m_wakeFd;
};

} // namespace

std::unique_ptr<WindowBackend> X11Backend::open(const char* displayName)
{
    // Repaints push from worker threads: Xlib must be told before its first call.
    static const bool threaded = XInitThreads() != 0;
    if (!threaded)
        return nullptr;
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr)
        return nullptr;
    auto connection = std::make_unique<X11Connection>(display);
    if (!connection->initialise())
        return nullptr;
    return connection;
}

} // namespace tonvane
