#include "windowing/x11/X11Connection.h"

#include "core/foundation/Clock.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/x11/KeyMap.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <poll.h>
#include <unistd.h>

namespace tonvane::x11 {

bool X11Connection::nextEvent(Message& out)
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
    if (!m_queued.empty()) {
        out = m_queued.front();
        m_queued.pop_front();
        return true;
    }
    while (!m_lost && XPending(m_display) > 0) {
        XEvent event{};
        XNextEvent(m_display, &event);
        // The input method takes the keys of a compose sequence (and whatever else it needs).
        if (XFilterEvent(&event, 0) == True)
            continue;
        if (translate(event, out))
            return true;
    }
    if (m_lost)
        return reportLoss(out);
    // Only once every event that came is taken: an answer already waiting is no missed deadline.
    return checkDeadlines(out);
}

int X11Connection::waitLimitMs()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_lost)
        return -1;
    int limit = m_managerMoveResize != kNoWindow ? kMoveResizePollMs : -1;
    uint64_t now = monotonicNs();
    for (auto& [id, window] : m_windows) {
        if (window.iconifyAskedNs == 0)
            continue;
        uint64_t due = window.iconifyAskedNs + iconifyAnswerNs();
        int left = due <= now ? 0 : static_cast<int>((due - now + 999999) / 1000000);
        limit = limit < 0 ? left : std::min(limit, left);
    }
    if (limit >= 0 && XEventsQueued(m_display, QueuedAlready) > 0)
        return 0;
    return limit;
}

bool X11Connection::checkDeadlines(Message& out)
{
    uint64_t now = monotonicNs();
    for (auto& [id, window] : m_windows) {
        if (window.iconifyAskedNs == 0 || now - window.iconifyAskedNs < iconifyAnswerNs())
            continue;
        // Nobody iconified the window: left alone it would stay mapped with the transparent last
        // frame of the minimise animation and never come back. Restore it as a taskbar click
        // would.
        window.iconifyAskedNs = 0;
        window.iconic = false;
        out = {window.window, msg::WM_SYSCOMMAND, sc::SC_RESTORE};
        return true;
    }
    if (m_managerMoveResize == kNoWindow)
        return false;
    if (m_moveReleasedNs == 0) {
        PointerState pointer = queryPointer();
        if ((pointer.mask & (Button1Mask | Button2Mask | Button3Mask)) != 0)
            return false;
        m_moveReleasedNs = now;
    }
    // A busy window manager sends its last moves after the release: wait until they stop.
    uint64_t quiet = m_moveConfiguredNs != 0 ? kMoveResizeSettleNs : kMoveResizeUnmovedNs;
    if (now - std::max(m_moveReleasedNs, m_moveConfiguredNs) < quiet)
        return false;
    out = {m_managerMoveResize, msg::WM_EXITSIZEMOVE};
    m_managerMoveResize = kNoWindow;
    return true;
}

bool X11Connection::reportVisibility(X11Window& window, Message& out)
{
    bool onScreen = !window.obscured && !window.hiddenByManager;
    if (onScreen == window.toldOnScreen)
        return false;
    window.toldOnScreen = onScreen;
    out = {window.window, msg::WM_VISIBILITY, onScreen ? 1u : 0u};
    return true;
}

bool X11Connection::managerSaysHidden(Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    bool hidden = false;
    Atom hiddenAtom = atom("_NET_WM_STATE_HIDDEN");
    if (XGetWindowProperty(m_display, window, atom("_NET_WM_STATE"), 0, 64, False, XA_ATOM, &type, &format, &items,
                           &after, &data)
            == Success
        && data != nullptr) {
        if (type == XA_ATOM && format == 32)
            for (unsigned long i = 0; i < items; ++i)
                hidden = hidden || static_cast<Atom>(reinterpret_cast<long*>(data)[i]) == hiddenAtom;
        XFree(data);
    }
    return hidden;
}

void X11Connection::connectionLost(Display*, void* self)
{
    static_cast<X11Connection*>(self)->m_lost = true;
}

// After the connection is gone the main window is asked to close, once: its close stop and
// settings run as for any close, and no further X call is made.
bool X11Connection::reportLoss(Message& out)
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

void X11Connection::trackModifiers(unsigned state, KeySym keysym, bool pressed)
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

bool X11Connection::translateButton(const XButtonEvent& event, bool pressed, Message& out)
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
bool X11Connection::dragTo(int32_t rootX, int32_t rootY, Message& out)
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

bool X11Connection::translate(XEvent& event, Message& out)
{
    switch (event.type) {
    case ButtonPress:
    case ButtonRelease:
        m_lastEventTime = event.xbutton.time;
        if (m_drag.window != kNoWindow) {
            if (event.type == ButtonRelease && event.xbutton.button == Button1) {
                out = {m_drag.window, msg::WM_EXITSIZEMOVE};
                m_drag = {};
                m_capture = kNoWindow;
                XUngrabPointer(m_display, CurrentTime);
                return true;
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
    case KeyRelease:
        return translateKey(event.xkey, event.type == KeyPress, out);
    case MappingNotify:
        // A changed keyboard layout: without this, keys would keep typing the old symbols.
        if (event.xmapping.request == MappingKeyboard || event.xmapping.request == MappingModifier)
            XRefreshKeyboardMapping(&event.xmapping);
        return false;
    case SelectionRequest:
        answerSelectionRequest(event.xselectionrequest);
        return false;
    case SelectionClear:
        selectionCleared(event.xselectionclear);
        return false;
    case FocusIn:
        if (X11Window* window = find(event.xfocus.window); window != nullptr && window->inputContext != nullptr)
            XSetICFocus(window->inputContext);
        return false;
    case FocusOut:
        // Focus moving inside our own window, or following the pointer, is no loss.
        if (event.xfocus.detail == NotifyInferior || event.xfocus.detail == NotifyPointer)
            return false;
        if (X11Window* window = find(event.xfocus.window); window != nullptr && window->inputContext != nullptr)
            XUnsetICFocus(window->inputContext);
        out = {event.xfocus.window, msg::WM_KILLFOCUS};
        return true;
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
        if (window->window == m_managerMoveResize)
            m_moveConfiguredNs = monotonicNs();
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
    case LeaveNotify:
        // Into a child of ours is no leave; a grab taken elsewhere (a window manager's move, a
        // popup) takes the pointer away like a leave.
        if (event.xcrossing.detail == NotifyInferior || event.xcrossing.mode == NotifyUngrab)
            return false;
        out = {event.xcrossing.window, msg::WM_MOUSELEAVE};
        out.x = event.xcrossing.x;
        out.y = event.xcrossing.y;
        return true;
    case VisibilityNotify:
        if (X11Window* window = find(event.xvisibility.window)) {
            window->obscured = event.xvisibility.state == VisibilityFullyObscured;
            return reportVisibility(*window, out);
        }
        return false;
    case PropertyNotify:
        if (event.xproperty.atom != atom("_NET_WM_STATE"))
            return false;
        if (X11Window* window = find(event.xproperty.window)) {
            window->hiddenByManager = managerSaysHidden(window->window);
            return reportVisibility(*window, out);
        }
        return false;
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
            if (isPopupKind(window->kind) && m_capture == window->window)
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
        if (X11Window* window = find(event.xunmap.window); window != nullptr) {
            window->viewable = false;
            window->iconifyAskedNs = 0; // answered
        }
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

std::vector<long> X11Connection::cardinalsOfType(Window window, Atom property)
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

} // namespace tonvane::x11
