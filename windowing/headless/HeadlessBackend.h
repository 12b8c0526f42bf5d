#pragma once
#include "windowing/backend/WindowBackend.h"

#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace tonvane {

// A window system in memory: windows are rectangles with their last pushed picture; events are
// injected by the test or program that drives it. Thread-safe (pushes come from repaints on
// worker threads).
class HeadlessBackend final : public WindowBackend {
public:
    struct WindowRecord {
        WindowDescription description;
        ScreenRect rect;
        bool visible = false;
        bool iconic = false;
        bool destroyed = false;
        CursorKind cursor = CursorKind::Arrow;
        // The last pushed picture, top-down premultiplied BGRA words.
        std::vector<uint32_t> pixels;
        int32_t pushedWidth = 0;
        int32_t pushedHeight = 0;
        ScreenPoint pushedAt;
        uint8_t pushedAlpha = 0;
        uint32_t pushCount = 0;
        ScreenRect lastPushed; // the part of the picture the last push wrote
        int32_t moveResizeCode = 0; // last beginMoveResize hit code
        std::vector<IconImage> icons;

        uint32_t pixel(int32_t x, int32_t yDown) const
        {
            return pixels[static_cast<size_t>(yDown) * static_cast<size_t>(pushedWidth) + static_cast<size_t>(x)];
        }
    };

    HeadlessBackend();
    ~HeadlessBackend() override;

    // Test side.
    void inject(const Message& message);
    // A copy of the window's record (an empty record for an unknown id).
    WindowRecord window(WindowId window) const;
    void setWorkArea(const ScreenRect& area);
    void setDotsPerInch(int32_t dpi);
    void setCompositor(bool present);
    void setTaskbarButton(const TaskbarButton& button);
    void setModifiers(uint32_t bits);
    void setCursorPosition(ScreenPoint point);
    // The buttons read as held for the next `polls` questions, then as released.
    void holdButtonsFor(int polls);
    // The in-process selections: what a window offered (or a test put there) and who owns it.
    void setSelectionText(TextSelection selection, const std::string& text);
    std::optional<std::string> selectionText(TextSelection selection) const;
    // Called on every push, after it is stored (animation tests time frames with it).
    void setPushObserver(std::function<void(WindowId, const WindowRecord&)> observer);

    WindowId createWindow(const WindowDescription& description) override;
    void destroyWindow(WindowId window) override;
    void showWindow(WindowId window, bool visible) override;
    bool isVisible(WindowId window) override;
    void moveWindow(WindowId window, const ScreenRect& rect) override;
    void iconify(WindowId window) override;
    void deiconify(WindowId window, const ScreenRect& rect) override;
    void activate(WindowId window) override;
    bool push(WindowId window, const Frame& frame) override;
    ScreenRect workArea() override;
    int32_t dotsPerInch() override;
    bool compositorPresent() override;
    TaskbarButton taskbarButton(WindowId window) override;
    void setCapture(WindowId window) override;
    void releaseCapture() override;
    WindowId capture() override;
    void setCursor(WindowId window, CursorKind shape) override;
    ScreenPoint cursorPosition() override;
    bool pointerButtonsDown() override;
    uint32_t modifierState() override;
    void beginMoveResize(WindowId window, int32_t hitCode, ScreenPoint at) override;
    void setIcons(WindowId window, const std::vector<IconImage>& icons) override;
    void offerText(WindowId window, TextSelection selection, const std::string& text) override;
    std::optional<std::string> readText(WindowId window, TextSelection selection) override;
    int eventFd() override;
    bool nextEvent(Message& out) override;
    void flush() override {}

    WindowId activeWindow() const;

private:
    WindowRecord* find(WindowId window);

    mutable std::mutex m_mutex;
    std::map<WindowId, WindowRecord> m_windows;
    std::deque<Message> m_events;
    WindowId m_nextId = 1;
    WindowId m_capture = kNoWindow;
    WindowId m_active = kNoWindow;
    ScreenRect m_workArea{0, 0, 1280, 1024};
    int32_t m_dpi = 96;
    bool m_compositor = true;
    TaskbarButton m_taskbar;
    uint32_t m_modifiers = 0;
    std::optional<std::string> m_selections[2]; // clipboard, primary
    ScreenPoint m_cursor;
    int m_buttonPolls = 0;
    std::function<void(WindowId, const WindowRecord&)> m_pushObserver;
    int m_wakeFd = -1;
};

} // namespace tonvane
