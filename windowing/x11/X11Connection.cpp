#include "windowing/x11/X11Connection.h"

#include "core/foundation/Clock.h"

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xrender.h>
#include <X11/extensions/shape.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/eventfd.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace tonvane::x11 {

std::atomic<int> g_lastError{0};

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

// Compositing managers choose shadows and fades by the window type, override-redirect windows
// included; a main window goes without one (normal).
const char* windowTypeName(WindowKind kind)
{
    switch (kind) {
    case WindowKind::Dialog:
        return "_NET_WM_WINDOW_TYPE_DIALOG";
    case WindowKind::Popup:
        return "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU";
    case WindowKind::Menu:
        return "_NET_WM_WINDOW_TYPE_POPUP_MENU";
    default:
        return nullptr;
    }
}

} // namespace

X11Connection::X11Connection(Display* display)
    : m_display(display), m_screen(DefaultScreen(display)),
      m_root(RootWindow(display, m_screen)), m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

X11Connection::~X11Connection()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (!m_lost) {
        for (auto& [id, window] : m_windows)
            releaseWindow(window);
        for (auto& [shape, cursor] : m_cursors)
            XFreeCursor(m_display, cursor);
        if (m_inputMethod != nullptr)
            XCloseIM(m_inputMethod);
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

bool X11Connection::initialise(bool inputMethod)
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
    m_clipboardAtom = atom("CLIPBOARD");
    m_utf8Atom = atom("UTF8_STRING");
    m_targetsAtom = atom("TARGETS");
    m_incrAtom = atom("INCR");
    m_transferAtom = atom("TONVANE_SELECTION");
    if (inputMethod)
        openInputMethod();
    return true;
}

// ---- windows ----
WindowId X11Connection::createWindow(const WindowDescription& description)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_lost || description.rect.empty())
        return kNoWindow;
    XSetWindowAttributes attributes{};
    attributes.colormap = m_colormap;
    attributes.border_pixel = 0;
    attributes.background_pixel = 0;
    attributes.event_mask = kEventMask;
    attributes.override_redirect = isPopupKind(description.kind) ? True : False;
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
    createInputContext(record);
    return window;
}

void X11Connection::destroyWindow(WindowId id)
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
    if (m_managerMoveResize == id)
        m_managerMoveResize = kNoWindow;
}

void X11Connection::showWindow(WindowId id, bool visible)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    X11Window* window = find(id);
    if (window == nullptr)
        return;
    window->mapped = visible;
    if (visible) {
        XMapRaised(m_display, window->window);
        if (isPopupKind(window->kind))
            grabPointer(id);
    } else {
        XUnmapWindow(m_display, window->window);
    }
    XFlush(m_display);
}

bool X11Connection::isVisible(WindowId id)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    X11Window* window = find(id);
    return window != nullptr && window->mapped && !window->iconic;
}

void X11Connection::moveWindow(WindowId id, const ScreenRect& rect)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (X11Window* window = find(id))
        place(*window, rect);
}

void X11Connection::iconify(WindowId id)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (X11Window* window = find(id)) {
        window->iconic = true;
        window->iconifyAskedNs = monotonicNs();
        XIconifyWindow(m_display, window->window, m_screen);
        XFlush(m_display);
    }
}

void X11Connection::deiconify(WindowId id, const ScreenRect& rect)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (X11Window* window = find(id)) {
        window->iconic = false;
        window->iconifyAskedNs = 0;
        XMapRaised(m_display, window->window);
        place(*window, rect);
    }
}

void X11Connection::activate(WindowId id)
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

// ---- screen ----
ScreenRect X11Connection::workArea()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    ScreenRect screen{0, 0, DisplayWidth(m_display, m_screen), DisplayHeight(m_display, m_screen)};
    if (m_lost)
        return screen;
    std::vector<long> area = cardinals(m_root, atom("_NET_WORKAREA"), 4);
    wakeForQueuedEvents();
    if (area.size() < 4 || area[2] <= 0 || area[3] <= 0)
        return screen;
    return {static_cast<int32_t>(area[0]), static_cast<int32_t>(area[1]), static_cast<int32_t>(area[2]),
            static_cast<int32_t>(area[3])};
}

bool X11Connection::compositorPresent()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_lost)
        return false;
    bool present = XGetSelectionOwner(m_display, m_compositorSelection) != None;
    wakeForQueuedEvents();
    return present;
}

TaskbarButton X11Connection::taskbarButton(WindowId id)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    TaskbarButton button;
    X11Window* window = find(id);
    if (window == nullptr)
        return button;
    std::vector<long> geometry = cardinals(window->window, atom("_NET_WM_ICON_GEOMETRY"), 4);
    wakeForQueuedEvents();
    if (geometry.size() == 4)
        button.rect = {static_cast<int32_t>(geometry[0]), static_cast<int32_t>(geometry[1]),
                       static_cast<int32_t>(geometry[2]), static_cast<int32_t>(geometry[3])};
    return button;
}

// ---- pointer and keys ----
void X11Connection::setCapture(WindowId id)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    grabPointer(id);
}

void X11Connection::releaseCapture()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_capture = kNoWindow;
    if (!m_lost) {
        XUngrabPointer(m_display, CurrentTime);
        XFlush(m_display);
    }
}

WindowId X11Connection::capture()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_capture;
}

void X11Connection::setCursor(WindowId id, CursorKind shape)
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

X11Connection::PointerState X11Connection::queryPointer()
{
    Window root = 0;
    Window child = 0;
    int x = 0;
    int y = 0;
    PointerState pointer;
    XQueryPointer(m_display, m_root, &root, &child, &pointer.rootX, &pointer.rootY, &x, &y, &pointer.mask);
    wakeForQueuedEvents();
    return pointer;
}

ScreenPoint X11Connection::cursorPosition()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_lost)
        return {};
    PointerState pointer = queryPointer();
    return {pointer.rootX, pointer.rootY};
}

bool X11Connection::pointerButtonsDown()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_lost)
        return false;
    PointerState pointer = queryPointer();
    return (pointer.mask & (Button1Mask | Button3Mask)) != 0;
}

void X11Connection::beginMoveResize(WindowId id, int32_t hitCode, ScreenPoint at)
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
        m_managerMoveResize = id;
        m_moveReleasedNs = 0;
        m_moveConfiguredNs = 0;
        return;
    }
    m_drag = {id, hitCode, at, window->rect};
    grabPointer(id);
}

void X11Connection::setIcons(WindowId id, const std::vector<IconImage>& icons)
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
int X11Connection::eventFd()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_lost ? -1 : ConnectionNumber(m_display);
}

void X11Connection::flush()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (!m_lost)
        XFlush(m_display);
}

X11Window* X11Connection::find(WindowId id)
{
    if (m_lost)
        return nullptr;
    auto found = m_windows.find(id);
    return found == m_windows.end() ? nullptr : &found->second;
}

std::vector<long> X11Connection::cardinals(Window window, Atom property, long count)
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

bool X11Connection::findArgbVisual()
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

void X11Connection::readDotsPerInch()
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

bool X11Connection::windowManagerRunning()
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

void X11Connection::setWindowManagerHints(Window window, const WindowDescription& description)
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
    if (description.kind == WindowKind::Dialog && description.owner != kNoWindow)
        XSetTransientForHint(m_display, window, static_cast<Window>(description.owner));
    if (const char* type = windowTypeName(description.kind)) {
        Atom typeAtom = atom(type);
        XChangeProperty(m_display, window, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&typeAtom), 1);
    }
}

void X11Connection::grabPointer(WindowId id)
{
    X11Window* window = find(id);
    if (window == nullptr)
        return;
    m_capture = id;
    XGrabPointer(m_display, window->window, False, kPointerMask, GrabModeAsync, GrabModeAsync, None, None,
                 CurrentTime);
    XFlush(m_display);
}

void X11Connection::place(X11Window& window, const ScreenRect& rect)
{
    if (rect == window.rect)
        return;
    window.rect = rect;
    XMoveResizeWindow(m_display, window.window, rect.x, rect.y, static_cast<unsigned>(rect.width),
                      static_cast<unsigned>(rect.height));
}

void X11Connection::releaseWindow(X11Window& window)
{
    if (window.inputContext != nullptr)
        XDestroyIC(window.inputContext);
    window.inputContext = nullptr;
    for (OwnedSelection* selection : {&m_ownedClipboard, &m_ownedPrimary})
        if (selection->owner == window.window)
            *selection = {};
    releaseImage(window.push);
    if (window.gc != nullptr)
        XFreeGC(m_display, window.gc);
    XDestroyWindow(m_display, window.window);
    XFlush(m_display);
}

} // namespace tonvane::x11
