// Typed text and the selections of the X11 backend on our own Xvfb, with a second X client in
// the test process (plain Xlib): it reads the CLIPBOARD and PRIMARY text we own, offers text we
// paste, and sends key presses that become WM_KEYDOWN and WM_CHAR messages, with and without
// the X input method.
#include <gtest/gtest.h> // before the X headers: they define None

#include "core/foundation/Clock.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/message/TextMessage.h"
#include "windowing/x11/X11Backend.h"
#include "windowing/x11/XvfbScreen.h" // X headers: after ours, which use None

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tonvane {
namespace {

using test::kXvfb;
using test::Screen;

constexpr int kRounds = 400; // of at most 10 ms each: how long an answer may take at most

// The second client: its own connection and window.
class OtherClient {
public:
    explicit OtherClient(const std::string& display) : m_display(XOpenDisplay(display.c_str()))
    {
        if (m_display == nullptr)
            return;
        m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 10, 10, 0, 0, 0);
        XSelectInput(m_display, m_window, PropertyChangeMask);
        XFlush(m_display);
    }
    ~OtherClient()
    {
        stopServing();
        if (m_display != nullptr)
            XCloseDisplay(m_display);
    }
    Display* display() const { return m_display; }
    Window window() const { return m_window; }
    Atom atom(const char* name) { return XInternAtom(m_display, name, False); }

    // Asks for selection as target; `serve` runs our backend's loop meanwhile. The property's
    // bytes, or nullopt when the owner refused.
    std::optional<std::string> convert(Atom selection, Atom target, const std::function<void()>& serve,
                                       Atom* typeOut = nullptr)
    {
        Atom property = atom("OTHER_CLIENT_PROPERTY");
        XConvertSelection(m_display, selection, target, property, m_window, CurrentTime);
        XFlush(m_display);
        XEvent event{};
        bool answered = false;
        for (int i = 0; i < kRounds && !answered; ++i) {
            serve();
            answered = XCheckTypedWindowEvent(m_display, m_window, SelectionNotify, &event) == True;
            if (!answered)
                sleepMs(10);
        }
        if (!answered || event.xselection.property == None)
            return std::nullopt;
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(m_display, m_window, property, 0, 1 << 16, True, AnyPropertyType, &type, &format, &items,
                           &after, &data);
        if (typeOut != nullptr)
            *typeOut = type;
        std::string bytes;
        if (data != nullptr) {
            size_t unit = format == 32 ? sizeof(long) : format == 16 ? 2 : 1;
            bytes.assign(reinterpret_cast<const char*>(data), items * unit);
            XFree(data);
        }
        return bytes;
    }

    // Owns selection with text (UTF8_STRING, TARGETS) and answers requests on a thread of its
    // own until stopped; with `silent` it owns the selection and never answers.
    void offer(Atom selection, std::string text, bool silent = false)
    {
        XSetSelectionOwner(m_display, selection, m_window, CurrentTime);
        XSync(m_display, False); // owned before anyone asks
        m_serving = true;
        m_server = std::thread([this, selection, text = std::move(text), silent] {
            Atom utf8 = atom("UTF8_STRING");
            Atom targets = atom("TARGETS");
            while (m_serving.load()) {
                XEvent event{};
                if (XCheckTypedWindowEvent(m_display, m_window, SelectionRequest, &event) != True) {
                    sleepMs(5);
                    continue;
                }
                if (silent)
                    continue;
                const XSelectionRequestEvent& request = event.xselectionrequest;
                XSelectionEvent reply{};
                reply.type = SelectionNotify;
                reply.requestor = request.requestor;
                reply.selection = request.selection;
                reply.target = request.target;
                reply.time = request.time;
                reply.property = None;
                if (request.selection == selection && request.target == utf8) {
                    XChangeProperty(m_display, request.requestor, request.property, utf8, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
                    reply.property = request.property;
                } else if (request.target == targets) {
                    Atom list[] = {targets, utf8};
                    XChangeProperty(m_display, request.requestor, request.property, XA_ATOM, 32, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(list), 2);
                    reply.property = request.property;
                }
                XSendEvent(m_display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
                XFlush(m_display);
            }
        });
    }
    void stopServing()
    {
        m_serving = false;
        if (m_server.joinable())
            m_server.join();
    }

    // A synthetic key press and release of keysym (mapped to a spare key code first when no key
    // has it) to window, with the modifier state given.
    void typeKey(Window target, KeySym keysym, unsigned state = 0)
    {
        KeyCode code = XKeysymToKeycode(m_display, keysym);
        if (code == 0) {
            code = spareKeycode();
            XChangeKeyboardMapping(m_display, code, 1, &keysym, 1);
            XSync(m_display, False);
            sleepMs(50); // every client hears MappingNotify
        }
        for (int type : {KeyPress, KeyRelease}) {
            XEvent event{};
            event.xkey.type = type;
            event.xkey.display = m_display;
            event.xkey.window = target;
            event.xkey.root = DefaultRootWindow(m_display);
            event.xkey.subwindow = None;
            event.xkey.time = CurrentTime;
            event.xkey.same_screen = True;
            event.xkey.keycode = code;
            event.xkey.state = state;
            XSendEvent(m_display, target, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &event);
        }
        XFlush(m_display);
    }

private:
    KeyCode spareKeycode()
    {
        int low = 0, high = 0;
        XDisplayKeycodes(m_display, &low, &high);
        int perCode = 0;
        KeySym* map = XGetKeyboardMapping(m_display, KeyCode(low), high - low + 1, &perCode);
        KeyCode found = KeyCode(high);
        for (int code = high; code >= low && map != nullptr; --code) {
            bool empty = true;
            for (int i = 0; i < perCode; ++i)
                empty = empty && map[(code - low) * perCode + i] == NoSymbol;
            if (empty && code != m_lastSpare) {
                found = KeyCode(code);
                break;
            }
        }
        if (map != nullptr)
            XFree(map);
        m_lastSpare = found;
        return found;
    }

    Display* m_display = nullptr;
    Window m_window = 0;
    std::atomic<bool> m_serving{false};
    std::thread m_server;
    int m_lastSpare = -1;
};

struct TextInputX11 : ::testing::TestWithParam<bool> {
    Screen screen;
    std::unique_ptr<WindowBackend> backend;
    WindowId window = kNoWindow;

    void SetUp() override
    {
        if (!std::filesystem::exists(kXvfb))
            GTEST_SKIP() << kXvfb << " is not installed (tools/install-deps.sh installs it)";
        ASSERT_TRUE(screen.start(false, false));
        backend = X11Backend::open(screen.display().c_str(), GetParam());
        ASSERT_NE(backend, nullptr);
        WindowDescription description;
        description.rect = {100, 100, 300, 200};
        description.title = "text";
        window = backend->createWindow(description);
        ASSERT_NE(window, kNoWindow);
        backend->showWindow(window, true);
        backend->flush();
    }
    void TearDown() override
    {
        if (backend && window != kNoWindow)
            backend->destroyWindow(window);
    }
    // Runs the backend's event translation once (answers selection requests on the way).
    std::vector<Message> drain()
    {
        std::vector<Message> messages;
        for (Message message; backend->nextEvent(message);)
            messages.push_back(message);
        return messages;
    }
    // What the window is told while the other client types: key messages and the text.
    std::pair<std::vector<uint32_t>, std::string> keysAndText(OtherClient& other, KeySym keysym, unsigned state = 0)
    {
        other.typeKey(window, keysym, state);
        std::vector<uint32_t> keys;
        std::string text;
        for (int i = 0; i < 20; ++i) {
            for (const Message& m : drain()) {
                if (m.message == msg::WM_KEYDOWN)
                    keys.push_back(uint32_t(m.wParam));
                text += textOf(m);
            }
            sleepMs(10);
        }
        return {keys, text};
    }
};

TEST_P(TextInputX11, ASecondClientReadsTheClipboardAndPrimaryTextWeOwn)
{
    OtherClient other(screen.display());
    ASSERT_NE(other.display(), nullptr);
    const std::string text = "Gr\xC3\xBC\xC3\x9F" "e e\xCC\x81 \xE6\x97\xA5\xE6\x9C\xAC";
    backend->offerText(window, TextSelection::Clipboard, text);
    backend->offerText(window, TextSelection::Primary, "primary part");
    auto serve = [this] { drain(); };
    Atom type = None;
    EXPECT_EQ(other.convert(other.atom("CLIPBOARD"), other.atom("UTF8_STRING"), serve, &type), text);
    EXPECT_EQ(type, other.atom("UTF8_STRING"));
    EXPECT_EQ(other.convert(XA_PRIMARY, other.atom("UTF8_STRING"), serve), "primary part");
    std::optional<std::string> targets = other.convert(other.atom("CLIPBOARD"), other.atom("TARGETS"), serve, &type);
    ASSERT_TRUE(targets.has_value());
    EXPECT_EQ(type, XA_ATOM);
    std::vector<Atom> listed(targets->size() / sizeof(long));
    for (size_t i = 0; i < listed.size(); ++i)
        listed[i] = Atom(reinterpret_cast<const long*>(targets->data())[i]);
    EXPECT_NE(std::find(listed.begin(), listed.end(), other.atom("UTF8_STRING")), listed.end());
    // A target we do not offer is refused, not answered with something else.
    EXPECT_EQ(other.convert(other.atom("CLIPBOARD"), other.atom("image/png"), serve), std::nullopt);
    // Our own selection is read back without a round trip through the server.
    EXPECT_EQ(backend->readText(window, TextSelection::Clipboard), text);
    // Offers are cut to the limit.
    backend->offerText(window, TextSelection::Clipboard, std::string(3000, 'x'));
    EXPECT_EQ(other.convert(other.atom("CLIPBOARD"), other.atom("UTF8_STRING"), serve)->size(), kSelectionTextLimit);

    // Once the other client takes the selection we no longer answer for it.
    other.offer(other.atom("CLIPBOARD"), "theirs now");
    drain();
    EXPECT_EQ(backend->readText(window, TextSelection::Clipboard), "theirs now");
    other.stopServing();
}

TEST_P(TextInputX11, WePasteWhatASecondClientOffersUpToTheLimit)
{
    OtherClient other(screen.display());
    ASSERT_NE(other.display(), nullptr);
    const std::string offered = "line one\nline two\t\xFF\xFE bad bytes pass through";
    other.offer(other.atom("CLIPBOARD"), offered);
    EXPECT_EQ(backend->readText(window, TextSelection::Clipboard), offered) << "bytes as given: the entry cleans them";
    other.stopServing();

    other.offer(XA_PRIMARY, std::string(5000, 'p'));
    std::optional<std::string> big = backend->readText(window, TextSelection::Primary);
    ASSERT_TRUE(big.has_value());
    EXPECT_EQ(big->size(), kSelectionTextLimit);
    other.stopServing();

    // An owner that never answers: nothing is pasted, and the loop goes on.
    other.offer(other.atom("CLIPBOARD"), "never sent", true);
    EXPECT_EQ(backend->readText(window, TextSelection::Clipboard), std::nullopt);
    other.stopServing();
    EXPECT_NO_FATAL_FAILURE(drain());
}

TEST_P(TextInputX11, KeyPressesBecomeKeysAndUtf8Text)
{
    OtherClient other(screen.display());
    ASSERT_NE(other.display(), nullptr);
    struct Case {
        KeySym keysym;
        unsigned state;
        std::vector<uint32_t> keys;
        std::string text;
    };
    const std::vector<Case> cases = {
        {XK_a, 0, {'A'}, "a"},
        {XK_a, ShiftMask, {'A'}, "A"},
        {XK_a, ControlMask, {'A'}, ""}, // a command, not text
        {XK_Return, 0, {vk::VK_RETURN}, ""},
        {XK_BackSpace, 0, {vk::VK_BACK}, ""},
        {XK_eacute, 0, {}, "\xC3\xA9"},
        {0x1000000 + 0x0301, 0, {}, "\xCC\x81"}, // a combining mark of its own
        {0x1000000 + 0x1F600, 0, {}, "\xF0\x9F\x98\x80"},
        {XK_F2, 0, {vk::VK_F1 + 1}, ""},
    };
    for (const Case& c : cases) {
        auto [keys, text] = keysAndText(other, c.keysym, c.state);
        EXPECT_EQ(keys, c.keys) << std::hex << c.keysym;
        EXPECT_EQ(text, c.text) << std::hex << c.keysym;
    }
}

TEST_P(TextInputX11, ComposeSequencesTypeOneCharacterWithTheInputMethod)
{
    if (!GetParam())
        GTEST_SKIP() << "compose sequences are the input method's";
    OtherClient other(screen.display());
    ASSERT_NE(other.display(), nullptr);
    std::string text;
    for (KeySym keysym : {KeySym(XK_Multi_key), KeySym(XK_e), KeySym(XK_apostrophe)})
        text += keysAndText(other, keysym).second;
    EXPECT_EQ(text, "\xC3\xA9") << "Multi_key e ' composes e acute";
}

INSTANTIATE_TEST_SUITE_P(InputMethod, TextInputX11, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("WithInputMethod") : std::string("WithXLookupString");
                         });

} // namespace
} // namespace tonvane
