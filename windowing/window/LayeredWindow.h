#pragma once
#include "graphics/surface/Surface.h"
#include "windowing/backend/WindowBackend.h"
#include "windowing/message/Message.h"
#include "windowing/window/FrameGeometry.h"
#include "windowing/window/KeyTable.h"
#include "windowing/window/WindowContent.h"

#include <atomic>
#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace tonvane {

class DrawableObject;
class UiThread;

struct DispatchResult {
    bool handled = false;
    int64_t result = 0;
};

// WM_GETMINMAXINFO's record (window sizes, margin included).
struct MinMaxInfo {
    ScreenPoint minTrack;
    ScreenPoint maxTrack{INT32_MAX / 2, INT32_MAX / 2};
};

// The caption button a press concerns.
enum class CaptionButton : uint32_t { None = 0, Close = 1, Maximise = 2, Minimise = 4 };

// One top-level window drawn entirely by the program: content rectangle in y-up screen pixels,
// the shadow margin around it, the message dispatcher, caption buttons, keyboard dispatch and
// the repaint cycle (paint into the display list, render, push).
class LayeredWindow final : public MouseTarget {
public:
    // state bits
    static constexpr uint32_t kQuickAnimations = 0x1;
    static constexpr uint32_t kShown = 0x4;
    static constexpr uint32_t kMaximised = 0x80;
    static constexpr uint32_t kMinimised = 0x100;
    static constexpr uint32_t kClearedOnRestore = 0x20000000;
    static constexpr int32_t kNoPosition = INT32_MIN; // 0x80000000: no position known yet
    // Shadow margin [pixels] around the content when not maximised.
    static constexpr int32_t kMarginLeft = 9;
    static constexpr int32_t kMarginRight = 10;
    static constexpr int32_t kMarginTop = 9;
    static constexpr int32_t kMarginBottom = 10;
    static constexpr int32_t kMargin = kMarginLeft + kMarginRight; // = top + bottom

    struct Config {
        WindowKind kind = WindowKind::Main;
        std::string title = "Tonvane 0.2.7";
        WindowId owner = kNoWindow;
        int32_t minTrackWidth = 600; // [pixels] window rectangle, margin included
        int32_t minTrackHeight = 440;
        uint32_t initialState = 0;
        const DrawableObject* shadow = nullptr; // drawn over the whole bitmap when not maximised
        bool quitOnDestroy = false; // the main window ends the loop when destroyed
        uint32_t backdrop = 0xFFF0F0F0u; // opaque colour under the picture without a compositor
        int32_t cornerRadius = 6; // [pixels] cut away without a compositor
        FrameGeometry frame;
        unsigned renderBands = 0; // 0: the render pool's size
    };

    // ui and content must outlive the window (its destruction still reaches the content).
    LayeredWindow(UiThread& ui, WindowContent& content, Config config);
    ~LayeredWindow() override;
    LayeredWindow(const LayeredWindow&) = delete;
    LayeredWindow& operator=(const LayeredWindow&) = delete;

    // Creates the window system's window for the content rectangle (y-up screen pixels).
    bool create(int32_t left, int32_t bottom, int32_t right, int32_t top);
    void destroy();

    // The dispatcher table; handled false means the default processing applies.
    DispatchResult dispatch(const Message& message);
    // dispatch, then the default processing of what it left unhandled.
    int64_t handle(const Message& message);

    void repaint();
    // Repaints and pushes only a region of the content (pixels from the content's bottom-left,
    // y up); the whole window when the screen does not hold a whole picture of this size yet.
    void repaint(const IntRect& region);
    void setRect(int32_t left, int32_t bottom, int32_t width, int32_t height);
    void minimise();
    void maximise();
    void restore();

    void setKeyTable(std::vector<KeyTableEntry> table) { m_keyTable = std::move(table); }
    // Called with the normal content rectangle (the one the window had before it was maximised
    // or minimised) when a move or resize by the user ends and when the window closes: the
    // place to store, once, not at every step of a drag.
    void addPositionListener(std::function<void(int32_t left, int32_t bottom, int32_t width, int32_t height)> listener);
    void setIcons(const std::vector<IconImage>& icons);

    // The hit test of the window: the widget tree first, then the frame; point y up.
    int32_t hitTest(int32_t x, int32_t y);
    void setCursor(int cursorNumber);

    WindowId id() const { return m_id; }
    int32_t left() const { return m_left; }
    int32_t bottom() const { return m_bottom; }
    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    uint32_t state() const { return m_state; }
    CaptionButton hotButton() const { return m_hotButton; }
    CaptionButton armedButton() const { return m_armedButton; }
    bool shownOnce() const { return m_shownOnce.load(); }
    bool updating() const { return m_updating.load(); }
    // Transitions push frames of their own: the next repaint is whole again.
    void setUpdating(bool value)
    {
        m_screenWhole.store(false);
        m_updating.store(value);
    }
    const Config& config() const { return m_config; }
    Surface& surface() { return m_surface; }
    UiThread& ui() { return m_ui; }

    // Shadow margins [pixels] as the window stands now (0 when maximised or without compositor).
    int32_t marginLeft() const;
    int32_t marginTop() const;
    int32_t marginTotal() const;
    // y up <-> window-system y against the current work area (its own inverse).
    int32_t flip(int32_t y) const;
    // The layered window's rectangle in window-system pixels.
    ScreenRect windowRect() const;
    // What the screen needs beside the picture: without a compositor, the backdrop to flatten
    // over and the corners to cut (the animations' frames too).
    void dressFrame(Frame& frame) const;

    // Capture-route owner while a caption button is hot: the dispatcher handles those events.
    void mouse(MouseAction, int32_t, int32_t) override {}
    void wheel(int32_t, int32_t, int32_t, uint32_t) override {}
    void captureLost() override;

    // A content rectangle in y-up screen pixels.
    struct ContentRect {
        int32_t left = 0;
        int32_t bottom = 0;
        int32_t width = 0;
        int32_t height = 0;
        bool operator==(const ContentRect&) const = default;
    };
    // The rectangle the window has when neither maximised nor minimised.
    ContentRect normalRect() const;

private:
    using Handler = void (LayeredWindow::*)(const Message&);
    struct Row {
        uint32_t message;
        Handler handler;
    };
    static const Row kTable[];

    void onDestroy(const Message&);
    void onMove(const Message&);
    void onSize(const Message&);
    void onClose(const Message&);
    void onActivateApp(const Message&);
    void onKillFocus(const Message&);
    void onGetMinMaxInfo(const Message&);
    void onWindowPosChanged(const Message&);
    void onNcHitTest(const Message&);
    void onNcMouseMove(const Message&);
    void onCaptionMouse(const Message&);
    void onMouse(const Message&);
    void onWheel(const Message&);
    void onKeyDown(const Message&);
    void onKeyUp(const Message&);
    void onSwallowed(const Message&);
    void onChar(const Message&);
    void onXButton(const Message&);
    void onSysCommand(const Message&);
    void onNotHandled(const Message&);
    void onDeviceChange(const Message&);
    void onInvoke(const Message&);
    void onExitSizeMove(const Message&);
    void onMouseLeave(const Message&);
    void onVisibility(const Message&);

    void defaultProcedure(const Message& message);
    // Caption-button part of the client mouse messages; true when it consumed the message.
    bool captionButtons(const Message& message);
    void clearCaptionButtons();
    void setHotButton(int32_t hitCode);
    void keyboardDispatch(uint32_t key);
    // A client point (window-system pixels inside the window) in y-up screen pixels.
    ScreenPoint clientToProgram(int32_t x, int32_t y) const;
    void toMouseTarget(MouseAction action, ScreenPoint point);
    // The capture route's owner when it holds this window's pointer events, else null.
    MouseTarget* routeOwner() const;
    ContentRect maximisedRect() const;
    // Tells the content when the window starts or stops being visible on the screen.
    void tellVisibility();
    void notifyPosition();
    void relayout();
    // The size and look of the picture on screen, to tell whether a partial push may follow.
    struct PictureShape {
        int32_t width = 0;
        int32_t height = 0;
        bool compositor = true;
        bool operator==(const PictureShape&) const = default;
    };
    // Paints into the display list and renders; limit null: the whole window. Under the surface lock.
    bool paintPicture(const IntRect* limit, const PictureShape& shape);
    PictureShape currentShape(bool compositor) const;
    // changed null: the whole picture.
    void pushToScreen(const ScreenRect* changed = nullptr);
    void taskbarClickCheck();

    UiThread& m_ui;
    WindowContent& m_content;
    Config m_config;

    WindowId m_id = kNoWindow;
    bool m_handled = false;
    int64_t m_result = 0;
    std::atomic<bool> m_updating{false};
    std::atomic<bool> m_shownOnce{false}; // written under the surface lock by any repaint
    int32_t m_left = kNoPosition;
    int32_t m_bottom = kNoPosition;
    int32_t m_width = 0;
    int32_t m_height = 0;
    uint32_t m_state = 0;
    ContentRect m_normal; // while maximised or minimised
    bool m_obscured = false; // fully covered or hidden, as the window system last said
    bool m_toldOnScreen = true; // what the content was last told
    std::atomic<bool> m_compositor{true}; // followed by every repaint, on any thread
    std::atomic<bool> m_screenWhole{false}; // the last push showed the whole picture of m_screenShape
    PictureShape m_screenShape; // under the surface lock
    bool m_changingState = false;
    CaptionButton m_armedButton = CaptionButton::None;
    CaptionButton m_hotButton = CaptionButton::None;
    std::vector<KeyTableEntry> m_keyTable;
    std::vector<std::function<void(int32_t, int32_t, int32_t, int32_t)>> m_positionListeners;
    Surface m_surface; // its lock is the window's surface lock
};

} // namespace tonvane
