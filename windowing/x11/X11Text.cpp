// Typed text and the CLIPBOARD and PRIMARY selections of the X11 connection.
#include "windowing/x11/X11Connection.h"

#include "core/foundation/Clock.h"
#include "windowing/message/TextMessage.h"
#include "windowing/x11/KeyMap.h"

#include <X11/Xatom.h>

#include <clocale>
#include <cstring>
#include <poll.h>
#include <vector>

namespace tonvane::x11 {

namespace {

constexpr size_t kLookupBuffer = 64; // [bytes] most key presses type one character
constexpr int kPropertyFormatBytes = 8;
constexpr int kPropertyFormatAtoms = 32;

bool localeIsPlainC()
{
    const char* now = std::setlocale(LC_CTYPE, nullptr);
    return now == nullptr || std::strcmp(now, "C") == 0 || std::strcmp(now, "POSIX") == 0;
}

} // namespace

void X11Connection::openInputMethod()
{
    // The input method works in the locale's character type; a program left in "C" takes the
    // user's, or C.UTF-8 when Xlib cannot work in that one.
    if (localeIsPlainC())
        std::setlocale(LC_CTYPE, "");
    if (XSupportsLocale() == False)
        std::setlocale(LC_CTYPE, "C.UTF-8");
    if (XSupportsLocale() == False)
        return;
    XSetLocaleModifiers("");
    m_inputMethod = XOpenIM(m_display, nullptr, nullptr, nullptr);
    if (m_inputMethod == nullptr) {
        // The method XMODIFIERS names is not running: Xlib's own (compose sequences) instead.
        XSetLocaleModifiers("@im=none");
        m_inputMethod = XOpenIM(m_display, nullptr, nullptr, nullptr);
    }
}

void X11Connection::createInputContext(X11Window& window)
{
    if (m_inputMethod == nullptr)
        return;
    window.inputContext = XCreateIC(m_inputMethod, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                                    XNClientWindow, window.window, XNFocusWindow, window.window, nullptr);
    if (window.inputContext == nullptr)
        return;
    // Some methods want events beyond the keys.
    long wanted = 0;
    if (XGetICValues(window.inputContext, XNFilterEvents, &wanted, nullptr) == nullptr && (wanted & ~kEventMask) != 0) {
        XSetWindowAttributes attributes{};
        attributes.event_mask = kEventMask | wanted;
        XChangeWindowAttributes(m_display, window.window, CWEventMask, &attributes);
    }
}

std::string X11Connection::typedText(XKeyEvent& key)
{
    X11Window* window = find(key.window);
    if (window != nullptr && window->inputContext != nullptr) {
        std::vector<char> buffer(kLookupBuffer);
        KeySym keysym = NoSymbol;
        Status status = 0;
        int length = Xutf8LookupString(window->inputContext, &key, buffer.data(), int(buffer.size()), &keysym, &status);
        if (status == XBufferOverflow && length > 0) {
            buffer.resize(size_t(length));
            length = Xutf8LookupString(window->inputContext, &key, buffer.data(), int(buffer.size()), &keysym, &status);
        }
        if ((status == XLookupChars || status == XLookupBoth) && length > 0)
            return std::string(buffer.data(), size_t(length));
        return {};
    }
    // No input method: the key's own symbol after Shift and the keyboard's levels.
    char latin1[kLookupBuffer];
    KeySym keysym = NoSymbol;
    XComposeStatus compose{};
    XLookupString(&key, latin1, sizeof latin1, &keysym, &compose);
    return keysymText(keysym);
}

bool X11Connection::translateKey(XKeyEvent& key, bool pressed, Message& out)
{
    m_lastEventTime = key.time;
    KeySym keysym = XLookupKeysym(&key, 0);
    trackModifiers(key.state, keysym, pressed);
    std::vector<Message> messages;
    if (uint32_t code = x11::virtualKey(keysym); code != 0)
        messages.push_back({key.window, pressed ? msg::WM_KEYDOWN : msg::WM_KEYUP, code});
    // Ctrl and Alt combinations are commands: they type nothing (the input method gives
    // control characters for some, XLookupString the plain letter).
    if (pressed && (key.state & (ControlMask | Mod1Mask)) == 0) {
        std::string text = typedText(key);
        // Control characters (Return, Tab, Ctrl+letter) are keys, not text.
        bool control = text.size() == 1 && (static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7F);
        if (!text.empty() && !control)
            for (const Message& typed : textMessages(key.window, text))
                messages.push_back(typed);
    }
    if (messages.empty())
        return false;
    out = messages.front();
    m_queued.insert(m_queued.end(), messages.begin() + 1, messages.end());
    if (messages.size() > 1)
        wakeForQueuedEvents();
    return true;
}

// ---- selections ----

Atom X11Connection::selectionAtom(TextSelection selection) const
{
    return selection == TextSelection::Clipboard ? m_clipboardAtom : XA_PRIMARY;
}

OwnedSelection& X11Connection::owned(TextSelection selection)
{
    return selection == TextSelection::Clipboard ? m_ownedClipboard : m_ownedPrimary;
}

void X11Connection::offerText(WindowId id, TextSelection selection, const std::string& text)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    X11Window* window = find(id);
    if (m_lost || window == nullptr)
        return;
    Atom name = selectionAtom(selection);
    XSetSelectionOwner(m_display, name, window->window, m_lastEventTime);
    // Refused when a later owner's time is newer than ours.
    if (XGetSelectionOwner(m_display, name) != window->window) {
        owned(selection) = {};
        wakeForQueuedEvents();
        return;
    }
    owned(selection) = {window->window, text.substr(0, kSelectionTextLimit)};
    wakeForQueuedEvents();
}

void X11Connection::answerSelectionRequest(const XSelectionRequestEvent& request)
{
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = m_display;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    reply.property = None; // refused unless answered below
    const OwnedSelection* held = nullptr;
    if (request.selection == m_clipboardAtom && m_ownedClipboard.owner == request.owner)
        held = &m_ownedClipboard;
    else if (request.selection == XA_PRIMARY && m_ownedPrimary.owner == request.owner)
        held = &m_ownedPrimary;
    // Clients of the old protocol name no property: the target is the property then.
    Atom property = request.property != None ? request.property : request.target;
    if (held != nullptr && held->owner != 0) {
        if (request.target == m_targetsAtom) {
            Atom targets[] = {m_targetsAtom, m_utf8Atom};
            XChangeProperty(m_display, request.requestor, property, XA_ATOM, kPropertyFormatAtoms, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(targets), 2);
            reply.property = property;
        } else if (request.target == m_utf8Atom) {
            XChangeProperty(m_display, request.requestor, property, m_utf8Atom, kPropertyFormatBytes, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(held->text.data()), int(held->text.size()));
            reply.property = property;
        }
    }
    XSendEvent(m_display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
    XFlush(m_display);
}

void X11Connection::selectionCleared(const XSelectionClearEvent& clear)
{
    for (OwnedSelection* held : {&m_ownedClipboard, &m_ownedPrimary}) {
        bool same = (held == &m_ownedClipboard ? m_clipboardAtom : XA_PRIMARY) == clear.selection;
        if (same && held->owner == clear.window)
            *held = {};
    }
}

std::optional<std::string> X11Connection::readText(WindowId id, TextSelection selection)
{
    std::unique_lock<std::mutex> hold(m_mutex);
    X11Window* found = find(id);
    if (m_lost || found == nullptr)
        return std::nullopt;
    // Our own text needs no round trip (and our own loop could not answer while we wait).
    Atom name = selectionAtom(selection);
    Window owner = XGetSelectionOwner(m_display, name);
    if (owner == None) {
        wakeForQueuedEvents();
        return std::nullopt;
    }
    if (owner == owned(selection).owner && owner != 0) {
        wakeForQueuedEvents();
        return owned(selection).text;
    }
    Window requestor = found->window;
    XDeleteProperty(m_display, requestor, m_transferAtom);
    XConvertSelection(m_display, name, m_utf8Atom, m_transferAtom, requestor, m_lastEventTime);
    XFlush(m_display);
    uint64_t deadline = monotonicNs() + kSelectionWaitNs;
    XEvent answer{};
    bool answered = false;
    while (!m_lost) {
        if (XCheckTypedWindowEvent(m_display, requestor, SelectionNotify, &answer) == True) {
            answered = true;
            break;
        }
        uint64_t now = monotonicNs();
        if (now >= deadline)
            break;
        pollfd connection{ConnectionNumber(m_display), POLLIN, 0};
        int waitMs = static_cast<int>((deadline - now + 999999) / 1000000);
        // Pushes of other threads may run meanwhile.
        hold.unlock();
        poll(&connection, 1, waitMs);
        hold.lock();
        if (find(id) == nullptr)
            return std::nullopt;
    }
    std::optional<std::string> text;
    if (answered && answer.xselection.property != None) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        // Four bytes per long of the request; one more than the limit tells a longer text.
        long longs = static_cast<long>(kSelectionTextLimit / 4 + 1);
        if (XGetWindowProperty(m_display, requestor, m_transferAtom, 0, longs, True, AnyPropertyType, &type, &format,
                               &items, &after, &data)
                == Success
            && data != nullptr) {
            // An incremental transfer (INCR) is for texts far beyond what a field holds.
            if (type != m_incrAtom && format == kPropertyFormatBytes)
                text = std::string(reinterpret_cast<const char*>(data), std::min<size_t>(items, kSelectionTextLimit));
        }
        if (data != nullptr)
            XFree(data);
    }
    wakeForQueuedEvents();
    return text;
}

} // namespace tonvane::x11
