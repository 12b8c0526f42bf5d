#include "windowing/window/LayeredWindow.h"

#include "graphics/displaylist/DrawableObject.h"
#include "windowing/animation/AnimationClock.h"
#include "windowing/animation/WindowAnimation.h"
#include "windowing/loop/Invocation.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/message/TextMessage.h"

namespace tonvane {

namespace {

// WM_ACTIVATEAPP's lParam when the taskbar takes the activation.
constexpr int64_t kTaskbarActivation = -1;
// Taskbar button state bit: the button is pressed.
constexpr uint32_t TBSTATE_PRESSED = 0x2;
constexpr uint32_t kButtonPollMs = 10; // while waiting for the buttons to be released

CaptionButton buttonFor(int32_t hitCode)
{
    switch (hitCode) {
    case ht::HTMINBUTTON:
        return CaptionButton::Minimise;
    case ht::HTMAXBUTTON:
        return CaptionButton::Maximise;
    case ht::HTCLOSE:
        return CaptionButton::Close;
    default:
        return CaptionButton::None;
    }
}

MouseAction actionFor(uint32_t message)
{
    switch (message) {
    case msg::WM_LBUTTONDOWN:
        return MouseAction::LeftDown;
    case msg::WM_LBUTTONUP:
        return MouseAction::LeftUp;
    case msg::WM_LBUTTONDBLCLK:
        return MouseAction::LeftDouble;
    case msg::WM_RBUTTONDOWN:
        return MouseAction::RightDown;
    case msg::WM_RBUTTONUP:
        return MouseAction::RightUp;
    case msg::WM_MBUTTONDOWN:
        return MouseAction::MiddleDown;
    case msg::WM_MBUTTONUP:
        return MouseAction::MiddleUp;
    default:
        return MouseAction::Move;
    }
}

} // namespace

// The dispatcher, row by row. Messages without a row: WM_USER..0x7FFF handled with result 0,
// anything else left to the default processing.
const LayeredWindow::Row LayeredWindow::kTable[] = {
    {msg::WM_DESTROY, &LayeredWindow::onDestroy},
    {msg::WM_MOVE, &LayeredWindow::onMove},
    {msg::WM_SIZE, &LayeredWindow::onSize},
    {msg::WM_CLOSE, &LayeredWindow::onClose},
    {msg::WM_ACTIVATEAPP, &LayeredWindow::onActivateApp},
    {msg::WM_KILLFOCUS, &LayeredWindow::onKillFocus},
    {msg::WM_GETMINMAXINFO, &LayeredWindow::onGetMinMaxInfo},
    {msg::WM_WINDOWPOSCHANGED, &LayeredWindow::onWindowPosChanged},
    {msg::WM_NCHITTEST, &LayeredWindow::onNcHitTest},
    {msg::WM_NCMOUSEMOVE, &LayeredWindow::onNcMouseMove},
    {msg::WM_MOUSEMOVE, &LayeredWindow::onCaptionMouse},
    {msg::WM_LBUTTONDOWN, &LayeredWindow::onCaptionMouse},
    {msg::WM_LBUTTONUP, &LayeredWindow::onCaptionMouse},
    {msg::WM_LBUTTONDBLCLK, &LayeredWindow::onMouse},
    {msg::WM_RBUTTONDOWN, &LayeredWindow::onMouse},
    {msg::WM_RBUTTONUP, &LayeredWindow::onMouse},
    {msg::WM_MBUTTONDOWN, &LayeredWindow::onMouse},
    {msg::WM_MBUTTONUP, &LayeredWindow::onMouse},
    {msg::WM_MOUSEWHEEL, &LayeredWindow::onWheel},
    {msg::WM_KEYDOWN, &LayeredWindow::onKeyDown},
    {msg::WM_KEYUP, &LayeredWindow::onKeyUp},
    {msg::WM_CHAR, &LayeredWindow::onChar},
    {msg::WM_XBUTTONDOWN, &LayeredWindow::onXButton},
    {msg::WM_XBUTTONDBLCLK, &LayeredWindow::onXButton},
    {msg::WM_SYSCOMMAND, &LayeredWindow::onSysCommand},
    {msg::WM_ACTIVATE, &LayeredWindow::onNotHandled},
    {msg::WM_SHOWWINDOW, &LayeredWindow::onNotHandled},
    {msg::WM_NCACTIVATE, &LayeredWindow::onNotHandled},
    {msg::WM_NCLBUTTONDOWN, &LayeredWindow::onNotHandled},
    {msg::WM_NCLBUTTONUP, &LayeredWindow::onNotHandled},
    {msg::WM_RBUTTONDBLCLK, &LayeredWindow::onNotHandled},
    {msg::WM_MBUTTONDBLCLK, &LayeredWindow::onNotHandled},
    {msg::WM_MOUSEHWHEEL, &LayeredWindow::onNotHandled},
    {msg::WM_DEVICECHANGE, &LayeredWindow::onDeviceChange},
    {msg::WM_EXITSIZEMOVE, &LayeredWindow::onExitSizeMove},
    {msg::WM_MOUSELEAVE, &LayeredWindow::onMouseLeave},
    {msg::WM_VISIBILITY, &LayeredWindow::onVisibility},
    {msg::WM_INVOKE, &LayeredWindow::onInvoke},
};

LayeredWindow::LayeredWindow(UiThread& ui, WindowContent& content, Config config)
    : m_ui(ui), m_content(content), m_config(std::move(config)), m_state(m_config.initialState | kShown),
      m_surface(m_config.renderBands)
{
}

LayeredWindow::~LayeredWindow()
{
    destroy();
}

DispatchResult LayeredWindow::dispatch(const Message& message)
{
    m_handled = true;
    m_result = 0;
    for (const Row& row : kTable) {
        if (row.message == message.message) {
            (this->*row.handler)(message);
            return {m_handled, m_result};
        }
    }
    if (message.message >= msg::WM_USER && message.message <= msg::WM_USER_LAST)
        return {true, 0};
    return {false, 0};
}

int64_t LayeredWindow::handle(const Message& message)
{
    DispatchResult outcome = dispatch(message);
    if (outcome.handled)
        return outcome.result;
    defaultProcedure(message);
    return 0;
}

// What the window system does with a message the dispatcher leaves.
void LayeredWindow::defaultProcedure(const Message& message)
{
    switch (message.message) {
    case msg::WM_CLOSE:
        destroy();
        break;
    case msg::WM_NCLBUTTONDOWN: {
        auto code = static_cast<int32_t>(message.wParam);
        if (code == ht::HTCAPTION || ht::isSizingBorder(code))
            m_ui.backend().beginMoveResize(m_id, code, {message.x, message.y});
        break;
    }
    case msg::WM_SYSCOMMAND:
        if (message.wParam == sc::SC_CLOSE)
            m_ui.postMessage({m_id, msg::WM_CLOSE});
        else if (message.wParam == sc::SC_MINIMIZE)
            minimise();
        else if (message.wParam == sc::SC_MAXIMIZE)
            maximise();
        break;
    default:
        break;
    }
}

bool LayeredWindow::create(int32_t left, int32_t bottom, int32_t right, int32_t top)
{
    if (m_id != kNoWindow || right <= left || top <= bottom)
        return false;
    WindowBackend& backend = m_ui.backend();
    m_compositor = backend.compositorPresent();
    {
        std::lock_guard<std::mutex> hold(m_surface.lock);
        m_left = left;
        m_bottom = bottom;
        m_width = right - left;
        m_height = top - bottom;
    }
    WindowDescription description;
    description.kind = m_config.kind;
    description.rect = windowRect();
    description.title = m_config.title;
    description.owner = m_config.owner;
    description.minWidth = m_config.minTrackWidth;
    description.minHeight = m_config.minTrackHeight;
    WindowId id = backend.createWindow(description);
    if (id == kNoWindow)
        return false;
    {
        std::lock_guard<std::mutex> hold(m_surface.lock); // repaints on other threads read it
        m_id = id;
    }
    m_ui.attach(m_id, *this);
    if (m_ui.captureRoute().owner() == this)
        backend.setCapture(m_id);
    m_content.layout(m_width, m_height);
    backend.showWindow(m_id, true);
    return true;
}

void LayeredWindow::destroy()
{
    if (m_id == kNoWindow)
        return;
    handle({m_id, msg::WM_DESTROY});
    if (m_ui.captureRoute().owner() == this)
        m_ui.captureRoute().clear();
    WindowId id = m_id;
    {
        std::lock_guard<std::mutex> hold(m_surface.lock); // no repaint is pushing meanwhile
        m_id = kNoWindow;
    }
    m_ui.detach(id);
    m_ui.backend().destroyWindow(id);
}

// ---- the rows ----

void LayeredWindow::onDestroy(const Message&)
{
    if (m_config.quitOnDestroy)
        m_ui.postQuit(0);
    m_content.stopWorkers();
}

void LayeredWindow::onMove(const Message& message)
{
    if (m_width <= marginTotal() || m_height <= marginTotal())
        return;
    int32_t x = message.x + marginLeft();
    int32_t y = flip(message.y + marginTop());
    int32_t bottom = y - m_height;
    if (x == m_left && bottom == m_bottom)
        return;
    std::lock_guard<std::mutex> hold(m_surface.lock);
    m_left = x;
    m_bottom = bottom;
}

void LayeredWindow::onSize(const Message& message)
{
    int32_t margin = (m_state & kMaximised) != 0 ? 0 : marginTotal();
    if (message.cx > margin && message.cy > margin) {
        std::lock_guard<std::mutex> hold(m_surface.lock);
        m_width = message.cx - margin;
        m_height = message.cy - margin;
    }
    relayout();
    repaint();
}

void LayeredWindow::onClose(const Message&)
{
    m_content.stopWork();
    m_ui.captureRoute().clear();
    notifyPosition();
    {
        std::lock_guard<std::mutex> hold(m_surface.lock);
        if (m_shownOnce)
            playTransition(*this, Transition::Hide);
    }
    m_handled = false; // the default processing destroys the window
}

void LayeredWindow::onActivateApp(const Message& message)
{
    bool shown = (m_state & kShown) != 0 && (m_state & kMinimised) == 0;
    if (message.wParam == 0 && shown && message.lParam == kTaskbarActivation)
        taskbarClickCheck();
    m_handled = false;
}

void LayeredWindow::onKillFocus(const Message&)
{
    // A hover or a press of ours must not outlive the keyboard going elsewhere (a window
    // manager's shortcut grabs the pointer too).
    if (m_ui.captureRoute().window() == m_id)
        m_ui.captureRoute().clear();
    m_content.focusLost();
}

void LayeredWindow::onGetMinMaxInfo(const Message& message)
{
    auto* info = reinterpret_cast<MinMaxInfo*>(message.lParam);
    if (info == nullptr)
        return;
    int32_t margin = (m_state & kMaximised) != 0 ? 0 : kMargin;
    info->minTrack = {m_config.minTrackWidth, m_config.minTrackHeight};
    info->maxTrack.x += margin;
    info->maxTrack.y += margin;
}

void LayeredWindow::onWindowPosChanged(const Message& message)
{
    if ((message.flags & swp::SWP_HIDEWINDOW) != 0 || (m_state & kShown) == 0)
        return;
    bool noSize = (message.flags & swp::SWP_NOSIZE) != 0;
    bool noMove = (message.flags & swp::SWP_NOMOVE) != 0;
    bool maximised = (m_state & kMaximised) != 0;
    // A window no larger than its margin would leave a content of no size (or a negative one).
    bool sizeUsable = message.cx > marginTotal() && message.cy > marginTotal();
    if ((message.flags & swp::SWP_SHOWWINDOW) != 0 || (!noSize && !noMove)) {
        if (sizeUsable && !maximised)
            setRect(message.x + marginLeft(), flip(message.y + message.cy - (marginTotal() - marginTop())),
                    message.cx - marginTotal(), message.cy - marginTotal());
        return;
    }
    if (noSize) {
        int32_t left = message.x + marginLeft();
        int32_t bottom = flip(message.y + m_height + marginTop());
        if (left == m_left && bottom == m_bottom)
            return;
        std::lock_guard<std::mutex> hold(m_surface.lock);
        m_left = left;
        m_bottom = bottom;
        return;
    }
    if (!sizeUsable)
        return;
    int32_t width = message.cx - marginTotal();
    int32_t height = message.cy - marginTotal();
    if (height == m_height) {
        {
            std::lock_guard<std::mutex> hold(m_surface.lock);
            m_width = width;
        }
        relayout();
        return;
    }
    // Sized from the top edge: the top stays where it was.
    setRect(m_left, m_bottom - (height - m_height), width, height);
}

void LayeredWindow::onNcHitTest(const Message& message)
{
    int32_t code = hitTest(message.x, flip(message.y));
    if (ht::isSizingBorder(code) && m_content.releaseCursor())
        m_ui.backend().setCursor(m_id, CursorKind::Arrow);
    m_result = code;
}

void LayeredWindow::onNcMouseMove(const Message& message)
{
    auto code = static_cast<int32_t>(message.wParam);
    if (ht::isCaptionButton(code)) {
        if (m_armedButton == CaptionButton::None && m_ui.captureRoute().owner() == nullptr) {
            m_ui.captureRoute().setOwner(this, m_id, CaptureHold::Hover);
            setHotButton(code);
        }
        return;
    }
    clearCaptionButtons();
    m_content.mouse(MouseAction::Move, message.x, flip(message.y));
}

void LayeredWindow::onCaptionMouse(const Message& message)
{
    if (captionButtons(message))
        return;
    onMouse(message);
}

void LayeredWindow::onMouse(const Message& message)
{
    toMouseTarget(actionFor(message.message), clientToProgram(message.x, message.y));
}

void LayeredWindow::onWheel(const Message& message)
{
    auto delta = static_cast<int16_t>((message.wParam >> 16) & 0xFFFF);
    auto keys = static_cast<uint32_t>(message.wParam & 0xFFFF);
    int32_t y = flip(message.y);
    if (MouseTarget* owner = routeOwner())
        owner->wheel(message.x, y, delta, keys);
    else
        m_content.wheel(message.x, y, delta, keys);
}

void LayeredWindow::onKeyDown(const Message& message)
{
    keyboardDispatch(static_cast<uint32_t>(message.wParam));
}

void LayeredWindow::onKeyUp(const Message& message)
{
    m_content.keyUp(static_cast<uint32_t>(message.wParam));
}

void LayeredWindow::onSwallowed(const Message&) {}

void LayeredWindow::onChar(const Message& message)
{
    std::string text = textOf(message);
    if (!text.empty())
        m_content.textInput(text);
}

void LayeredWindow::onXButton(const Message& message)
{
    if ((message.wParam & xb::MK_XBUTTON1) != 0)
        keyboardDispatch(vk::VK_XBUTTON1);
    if ((message.wParam & xb::MK_XBUTTON2) != 0)
        keyboardDispatch(vk::VK_XBUTTON2);
}

void LayeredWindow::onSysCommand(const Message& message)
{
    if (message.wParam == sc::SC_RESTORE) {
        restore();
        return;
    }
    if (message.wParam == sc::SC_CLOSE && m_hotButton != CaptionButton::None)
        m_ui.captureRoute().clear();
    m_handled = false;
}

void LayeredWindow::onNotHandled(const Message&)
{
    m_handled = false;
}

void LayeredWindow::onDeviceChange(const Message& message)
{
    m_content.deviceChange(message.wParam, message.lParam);
}

void LayeredWindow::onInvoke(const Message& message)
{
    auto* record = reinterpret_cast<Invocation*>(message.lParam);
    if (record == nullptr)
        return;
    m_result = record->routine(message.wParam, message.lParam);
}

void LayeredWindow::onExitSizeMove(const Message&)
{
    notifyPosition();
}

// The pointer left the window without a grab: a hovered owner is told with a point outside
// every widget, and the route lets go of it.
void LayeredWindow::onMouseLeave(const Message&)
{
    CaptureRoute& route = m_ui.captureRoute();
    if (route.owner() == nullptr || route.window() != m_id || route.grabbed())
        return;
    if (route.owner() == this) {
        clearCaptionButtons();
        route.clear();
        return;
    }
    route.owner()->mouse(MouseAction::Move, kNoPosition / 2, kNoPosition / 2);
    if (route.owner() != nullptr && route.window() == m_id && !route.grabbed())
        route.clear();
}

void LayeredWindow::onVisibility(const Message& message)
{
    m_obscured = message.wParam == 0;
    tellVisibility();
}

void LayeredWindow::tellVisibility()
{
    bool onScreen = !m_obscured && (m_state & kMinimised) == 0 && m_id != kNoWindow;
    if (onScreen == m_toldOnScreen)
        return;
    m_toldOnScreen = onScreen;
    m_content.visibilityChanged(onScreen);
}

void LayeredWindow::captureLost()
{
    clearCaptionButtons();
}

// ---- caption buttons ----

void LayeredWindow::setHotButton(int32_t hitCode)
{
    CaptionButton hot = buttonFor(hitCode);
    if (hot == m_hotButton)
        return;
    m_hotButton = hot;
    repaint();
}

void LayeredWindow::clearCaptionButtons()
{
    bool wasSet = m_hotButton != CaptionButton::None || m_armedButton != CaptionButton::None;
    m_hotButton = CaptionButton::None;
    m_armedButton = CaptionButton::None;
    if (wasSet)
        repaint();
}

bool LayeredWindow::captionButtons(const Message& message)
{
    if (m_hotButton == CaptionButton::None)
        return false;
    CaptureRoute& route = m_ui.captureRoute();
    switch (message.message) {
    case msg::WM_MOUSEMOVE: {
        ScreenPoint at = clientToProgram(message.x, message.y);
        int32_t code = m_config.frame.hitTest(at.x - m_left, at.y - m_bottom - 1, m_width, m_height,
                                              (m_state & kMaximised) != 0);
        if (ht::isCaptionButton(code)) {
            setHotButton(code);
        } else {
            clearCaptionButtons();
            route.clear();
        }
        return false;
    }
    case msg::WM_LBUTTONDOWN:
        m_armedButton = m_hotButton;
        route.setOwner(this, m_id, CaptureHold::Grab); // the release may come anywhere
        return true;
    case msg::WM_LBUTTONUP:
        if (m_armedButton == m_hotButton) {
            CaptionButton pressed = m_armedButton;
            m_armedButton = CaptionButton::None;
            m_hotButton = CaptionButton::None;
            route.clear();
            if (pressed == CaptionButton::Close) {
                m_ui.postMessage({m_id, msg::WM_CLOSE});
            } else if (pressed == CaptionButton::Maximise) {
                if ((m_state & kMaximised) != 0)
                    restore();
                else
                    maximise();
                repaint();
            } else {
                minimise();
                repaint();
            }
            return true;
        }
        route.clear();
        clearCaptionButtons();
        return false;
    default:
        return false;
    }
}

// ---- keyboard ----

void LayeredWindow::keyboardDispatch(uint32_t key)
{
    // Esc lets go of a hover or a press held over this window (popups handle their own Esc).
    CaptureRoute& route = m_ui.captureRoute();
    if (key == vk::VK_ESCAPE && route.window() == m_id && !isPopupKind(m_config.kind))
        route.clear();
    uint32_t live = m_ui.backend().modifierState();
    if (const KeyTableEntry* entry = findKey(m_keyTable, key, live)) {
        m_content.keyCommand(*entry);
        return;
    }
    if (key == vk::VK_TAB) {
        bool backwards = (live & mod::kShift) != 0;
        if (!m_content.moveFocus(backwards, false))
            m_content.moveFocus(backwards, true);
        return;
    }
    m_content.keyDown(key);
}

// ---- geometry ----

int32_t LayeredWindow::marginLeft() const
{
    return (m_state & kMaximised) != 0 || !m_compositor ? 0 : kMarginLeft;
}

int32_t LayeredWindow::marginTop() const
{
    return (m_state & kMaximised) != 0 || !m_compositor ? 0 : kMarginTop;
}

int32_t LayeredWindow::marginTotal() const
{
    return (m_state & kMaximised) != 0 || !m_compositor ? 0 : kMargin;
}

int32_t LayeredWindow::flip(int32_t y) const
{
    return m_ui.backend().workArea().bottom() - y;
}

ScreenRect LayeredWindow::windowRect() const
{
    return {m_left - marginLeft(), flip(m_bottom + m_height + marginTop()), m_width + marginTotal(),
            m_height + marginTotal()};
}

ScreenPoint LayeredWindow::clientToProgram(int32_t x, int32_t y) const
{
    // Client (0, 0) is the top-left of the layered window, margin included.
    return {m_left - marginLeft() + x, m_bottom + m_height + marginTop() - y};
}

int32_t LayeredWindow::hitTest(int32_t x, int32_t y)
{
    // A flipped point names the top edge of its pixel: the content's rows are (bottom, top].
    bool inside = x >= m_left && x < m_left + m_width && y > m_bottom && y <= m_bottom + m_height;
    if (!inside)
        return ht::HTNOWHERE;
    if (int32_t code = m_content.hitTest(x, y); code != 0)
        return code;
    return m_config.frame.hitTest(x - m_left, y - m_bottom - 1, m_width, m_height, (m_state & kMaximised) != 0);
}

void LayeredWindow::setCursor(int cursorNumber)
{
    if (cursorNumber < 0 || cursorNumber >= kCursorKinds)
        return;
    m_ui.backend().setCursor(m_id, static_cast<CursorKind>(cursorNumber));
}

MouseTarget* LayeredWindow::routeOwner() const
{
    // A hover holds only its own window's events; a grab every window's (the window system
    // sends them all to the grabbing window anyway).
    const CaptureRoute& route = m_ui.captureRoute();
    if (route.owner() != nullptr && (route.grabbed() || route.window() == m_id))
        return route.owner();
    return nullptr;
}

void LayeredWindow::toMouseTarget(MouseAction action, ScreenPoint point)
{
    if (MouseTarget* owner = routeOwner())
        owner->mouse(action, point.x, point.y);
    else
        m_content.mouse(action, point.x, point.y);
}

void LayeredWindow::addPositionListener(std::function<void(int32_t, int32_t, int32_t, int32_t)> listener)
{
    m_positionListeners.push_back(std::move(listener));
}

void LayeredWindow::notifyPosition()
{
    if (m_left == kNoPosition || m_bottom == kNoPosition)
        return;
    ContentRect normal = normalRect();
    for (auto& listener : m_positionListeners)
        listener(normal.left, normal.bottom, normal.width, normal.height);
}

LayeredWindow::ContentRect LayeredWindow::normalRect() const
{
    if ((m_state & (kMaximised | kMinimised)) != 0)
        return m_normal;
    return {m_left, m_bottom, m_width, m_height};
}

void LayeredWindow::relayout()
{
    m_content.layout(m_width, m_height);
}

void LayeredWindow::setIcons(const std::vector<IconImage>& icons)
{
    if (m_id != kNoWindow)
        m_ui.backend().setIcons(m_id, icons);
}

void LayeredWindow::setRect(int32_t left, int32_t bottom, int32_t width, int32_t height)
{
    {
        std::lock_guard<std::mutex> hold(m_surface.lock);
        m_left = left;
        m_bottom = bottom;
        m_width = width;
        m_height = height;
    }
    relayout();
    repaint();
}

// ---- states ----

void LayeredWindow::minimise()
{
    if (m_changingState || (m_state & kMinimised) != 0 || m_id == kNoWindow)
        return;
    m_changingState = true;
    {
        std::lock_guard<std::mutex> hold(m_surface.lock);
        playTransition(*this, Transition::Minimise);
        // A maximised window keeps the normal rectangle it had before maximising.
        if ((m_state & kMaximised) == 0)
            m_normal = {m_left, m_bottom, m_width, m_height};
        m_state = (m_state & ~kShown) | kMinimised;
    }
    m_ui.backend().iconify(m_id);
    m_changingState = false;
    tellVisibility();
}

void LayeredWindow::maximise()
{
    if (m_changingState || (m_state & (kMaximised | kMinimised)) != 0)
        return;
    ContentRect area = maximisedRect();
    {
        std::lock_guard<std::mutex> hold(m_surface.lock);
        m_normal = {m_left, m_bottom, m_width, m_height};
        m_state |= kMaximised;
    }
    setRect(area.left, area.bottom, area.width, area.height);
}

LayeredWindow::ContentRect LayeredWindow::maximisedRect() const
{
    // The work area's own left edge: a panel on the left keeps its place.
    ScreenRect area = m_ui.backend().workArea();
    return {area.x, 0, area.width, area.height};
}

void LayeredWindow::restore()
{
    if (m_changingState || m_id == kNoWindow)
        return;
    bool wasMinimised = (m_state & kMinimised) != 0;
    bool wasMaximised = (m_state & kMaximised) != 0;
    if (!wasMinimised && !wasMaximised)
        return;
    m_changingState = true;
    // From minimised back to what the window was before (maximised stays maximised); from
    // maximised to the normal rectangle.
    ContentRect target = wasMinimised && wasMaximised ? maximisedRect() : m_normal;
    {
        std::lock_guard<std::mutex> hold(m_surface.lock);
        if (!wasMinimised)
            m_state &= ~kMaximised;
        m_left = target.left;
        m_bottom = target.bottom;
        m_width = target.width;
        m_height = target.height;
    }
    if (wasMinimised) {
        m_ui.backend().deiconify(m_id, windowRect());
        std::lock_guard<std::mutex> hold(m_surface.lock);
        m_state = (m_state & ~kMinimised) | kShown;
        playTransition(*this, Transition::Restore);
    }
    {
        std::lock_guard<std::mutex> hold(m_surface.lock);
        m_state &= ~kClearedOnRestore;
    }
    m_changingState = false;
    setRect(target.left, target.bottom, target.width, target.height);
    tellVisibility();
}

void LayeredWindow::taskbarClickCheck()
{
    TaskbarButton button = m_ui.backend().taskbarButton(m_id);
    if ((button.state & TBSTATE_PRESSED) == 0)
        return;
    while (m_ui.backend().pointerButtonsDown())
        m_ui.clock().sleepMs(kButtonPollMs);
    ScreenPoint at = m_ui.backend().cursorPosition();
    if (button.rect.contains(at.x, at.y))
        minimise();
}

// ---- repaint ----

void LayeredWindow::repaint()
{
    std::lock_guard<std::mutex> hold(m_surface.lock);
    if (m_left == kNoPosition || m_bottom == kNoPosition || (m_state & kShown) == 0 || m_id == kNoWindow)
        return;
    bool compositor = m_ui.backend().compositorPresent();
    m_compositor = compositor;
    PictureShape shape = currentShape(compositor);
    if (!paintPicture(nullptr, shape))
        return;
    m_screenWhole.store(false);
    m_screenShape = shape;
    pushToScreen();
}

void LayeredWindow::repaint(const IntRect& region)
{
    {
        std::lock_guard<std::mutex> hold(m_surface.lock);
        if (m_left == kNoPosition || m_bottom == kNoPosition || (m_state & kShown) == 0 || m_id == kNoWindow)
            return;
        bool compositor = m_ui.backend().compositorPresent();
        PictureShape shape = currentShape(compositor);
        if (m_screenWhole.load() && shape == m_screenShape && !m_updating.load() && m_shownOnce.load()) {
            IntRect content = intersect(region, {0, 0, m_width, m_height});
            if (content.empty())
                return;
            int32_t dx = marginTotal() != 0 ? kMarginLeft : 0;
            int32_t dy = marginTotal() != 0 ? kMarginBottom : 0;
            IntRect limit{content.x0 + dx, content.y0 + dy, content.x1 + dx, content.y1 + dy};
            if (!paintPicture(&limit, shape))
                return;
            ScreenRect changed{limit.x0, shape.height - limit.y1, limit.x1 - limit.x0, limit.y1 - limit.y0};
            pushToScreen(&changed);
            return;
        }
    }
    repaint();
}

LayeredWindow::PictureShape LayeredWindow::currentShape(bool compositor) const
{
    return {m_width + marginTotal(), m_height + marginTotal(), compositor};
}

bool LayeredWindow::paintPicture(const IntRect* limit, const PictureShape& shape)
{
    if (!m_surface.setSize(shape.width, shape.height))
        return false;
    if (limit != nullptr)
        m_surface.begin(*limit);
    else
        m_surface.begin();
    if (marginTotal() != 0) {
        if (m_config.shadow != nullptr)
            m_surface.drawObject(*m_config.shadow, 0, 0, shape.width, shape.height);
        m_surface.setOrigin(kMarginLeft, kMarginBottom);
    }
    m_surface.setClip(0, 0, m_width, m_height);
    m_content.paint(m_surface);
    m_surface.render();
    return true;
}

void LayeredWindow::dressFrame(Frame& frame) const
{
    if (m_compositor)
        return;
    frame.flattenOver = m_config.backdrop;
    frame.cornerRadius = (m_state & kMaximised) != 0 ? 0 : m_config.cornerRadius;
}

void LayeredWindow::pushToScreen(const ScreenRect* changed)
{
    if (m_updating.load() || m_id == kNoWindow)
        return;
    WindowBackend& backend = m_ui.backend();
    if (!m_shownOnce) {
        if (m_left == kNoPosition || !backend.isVisible(m_id))
            return;
        m_shownOnce.store(true);
        playTransition(*this, Transition::Show);
        return;
    }
    ScreenRect rect = windowRect();
    Frame frame;
    frame.surface = &m_surface;
    frame.width = rect.width;
    frame.height = rect.height;
    frame.at = {rect.x, rect.y};
    dressFrame(frame);
    if (changed != nullptr)
        frame.changed = *changed;
    // A refused push is tried again by the next repaint, which is then whole.
    bool pushed = backend.push(m_id, frame);
    if (changed == nullptr)
        m_screenWhole.store(pushed);
    else if (!pushed)
        m_screenWhole.store(false);
}

} // namespace tonvane
