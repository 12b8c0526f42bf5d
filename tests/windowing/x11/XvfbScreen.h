#pragma once
// Our own X server for tests: Xvfb on the first free display number, with openbox and, when
// asked, xcompmgr. Tests that use it skip when the tools are not installed.
#include "core/foundation/Clock.h"
#include "support/ChildProcess.h"
#include "windowing/backend/ScreenGeometry.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <string>
#include <vector>

namespace tonvane::test {

inline constexpr char kXvfb[] = "/usr/bin/Xvfb";
inline constexpr char kOpenbox[] = "/usr/bin/openbox";
inline constexpr char kCompositor[] = "/usr/bin/xcompmgr";
inline constexpr char kXdotool[] = "/usr/bin/xdotool";

// Our own server on the first free display number, with a window manager and a compositor.
class Screen {
public:
    bool start(bool compositor, bool manager = true)
    {
        // The server picks a free display number itself and writes it to our pipe: tests that
        // run at the same time never race for one.
        m_server = std::make_unique<RunningProcess>(
            kXvfb, std::vector<std::string>{"-displayfd", "1", "-screen", "0", "1024x768x24", "-br", "-nolisten", "tcp"});
        for (int i = 0; i < 250 && m_server->outSoFar().find('\n') == std::string::npos; ++i)
            sleepMs(20);
        const std::string& announced = m_server->outSoFar();
        if (announced.empty() || announced.find('\n') == std::string::npos)
            return false;
        m_display = ":" + announced.substr(0, announced.find('\n'));
        for (int i = 0; i < 100 && m_connection == nullptr; ++i) {
            sleepMs(50);
            m_connection = XOpenDisplay(m_display.c_str());
        }
        if (m_connection == nullptr)
            return false;
        if (!manager)
            return true;
        std::vector<std::string> env{"DISPLAY=" + m_display};
        m_manager = std::make_unique<RunningProcess>(kOpenbox, std::vector<std::string>{"--sm-disable"},
                                                           env);
        if (!waitFor([this] { return rootProperty("_NET_SUPPORTING_WM_CHECK"); }))
            return false;
        sleepMs(500); // the manager announces itself before it has finished starting
        if (compositor)
            return startCompositor();
        return true;
    }

    bool startCompositor()
    {
        m_compositor = std::make_unique<RunningProcess>(kCompositor, std::vector<std::string>{},
                                                              std::vector<std::string>{"DISPLAY=" + m_display});
        return waitFor([this] { return XGetSelectionOwner(m_connection, XInternAtom(m_connection, "_NET_WM_CM_S0", False)) != None; });
    }

    void stopCompositor()
    {
        m_compositor.reset();
        waitFor([this] { return XGetSelectionOwner(m_connection, XInternAtom(m_connection, "_NET_WM_CM_S0", False)) == None; });
    }

    ~Screen()
    {
        if (m_connection != nullptr)
            XCloseDisplay(m_connection);
        m_compositor.reset();
        m_manager.reset();
        m_server.reset();
    }

    // The server goes away (our own connection to it closed first).
    void killServer()
    {
        XCloseDisplay(m_connection);
        m_connection = nullptr;
        m_server.reset();
    }

    const std::string& display() const { return m_display; }
    Display* connection() const { return m_connection; }

    // Top-down 0xAARRGGBB words of a rectangle of the root window (alpha forced to 0xFF), or of
    // one window: without a compositor the root's image of a 32-bit child is undefined.
    std::vector<uint32_t> grab(const ScreenRect& rect, Window window = 0)
    {
        XSync(m_connection, False);
        XImage* image = XGetImage(m_connection, window != 0 ? window : DefaultRootWindow(m_connection), rect.x, rect.y,
                                  static_cast<unsigned>(rect.width), static_cast<unsigned>(rect.height), AllPlanes, ZPixmap);
        std::vector<uint32_t> pixels;
        if (image == nullptr)
            return pixels;
        for (int y = 0; y < rect.height; ++y)
            for (int x = 0; x < rect.width; ++x)
                pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y)) | 0xFF000000u);
        XDestroyImage(image);
        return pixels;
    }

    bool rootProperty(const char* name)
    {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(m_connection, DefaultRootWindow(m_connection), XInternAtom(m_connection, name, False), 0, 1,
                           False, AnyPropertyType, &type, &format, &items, &after, &data);
        if (data != nullptr)
            XFree(data);
        return items > 0;
    }

    template <typename Condition>
    static bool waitFor(Condition condition, int timeoutMs = 5000)
    {
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            if (condition())
                return true;
            sleepMs(20);
        }
        return condition();
    }

private:
    std::string m_display;
    std::unique_ptr<RunningProcess> m_server;
    std::unique_ptr<RunningProcess> m_manager;
    std::unique_ptr<RunningProcess> m_compositor;
    Display* m_connection = nullptr;
};

} // namespace tonvane::test
