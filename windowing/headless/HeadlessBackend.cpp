#include "windowing/headless/HeadlessBackend.h"

#include "windowing/backend/FrameCopy.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace tonvane {

HeadlessBackend::HeadlessBackend() : m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

HeadlessBackend::~HeadlessBackend()
{
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

HeadlessBackend::WindowRecord* HeadlessBackend::find(WindowId window)
{
    auto found = m_windows.find(window);
    if (found == m_windows.end() || found->second.destroyed)
        return nullptr;
    return &found->second;
}

void HeadlessBackend::inject(const Message& message)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_events.push_back(message);
    uint64_t one = 1;
    if (m_wakeFd >= 0 && write(m_wakeFd, &one, sizeof one) < 0) {
        // The counter is saturated: the loop is awake already.
    }
}

HeadlessBackend::WindowRecord HeadlessBackend::window(WindowId window) const
{
    std::lock_guard<std::mutex> hold(m_mutex);
    auto found = m_windows.find(window);
    return found == m_windows.end() ? WindowRecord{} : found->second;
}

void HeadlessBackend::setWorkArea(const ScreenRect& area)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_workArea = area;
}

void HeadlessBackend::setDotsPerInch(int32_t dpi)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_dpi = dpi;
}

void HeadlessBackend::setCompositor(bool present)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_compositor = present;
}

void HeadlessBackend::setTaskbarButton(const TaskbarButton& button)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_taskbar = button;
}

void HeadlessBackend::setModifiers(uint32_t bits)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_modifiers = bits;
}

void HeadlessBackend::setCursorPosition(ScreenPoint point)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_cursor = point;
}

void HeadlessBackend::setPushObserver(std::function<void(WindowId, const WindowRecord&)> observer)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_pushObserver = std::move(observer);
}

WindowId HeadlessBackend::createWindow(const WindowDescription& description)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    WindowId id = m_nextId++;
    WindowRecord& record = m_windows[id];
    record.description = description;
    record.rect = description.rect;
    return id;
}

void HeadlessBackend::destroyWindow(WindowId window)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (WindowRecord* record = find(window)) {
        record->destroyed = true;
        record->visible = false;
    }
    if (m_capture == window)
        m_capture = kNoWindow;
}

void HeadlessBackend::showWindow(WindowId window, bool visible)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (WindowRecord* record = find(window))
        record->visible = visible;
}

bool HeadlessBackend::isVisible(WindowId window)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    WindowRecord* record = find(window);
    return record != nullptr && record->visible && !record->iconic;
}

void HeadlessBackend::moveWindow(WindowId window, const ScreenRect& rect)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (WindowRecord* record = find(window))
        record->rect = rect;
}

void HeadlessBackend::iconify(WindowId window)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (WindowRecord* record = find(window))
        record->iconic = true;
}

void HeadlessBackend::deiconify(WindowId window, const ScreenRect& rect)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (WindowRecord* record = find(window)) {
        record->iconic = false;
        record->rect = rect;
    }
}

void HeadlessBackend::activate(WindowId window)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_active = window;
}

WindowId HeadlessBackend::activeWindow() const
{
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_active;
}

bool HeadlessBackend::push(WindowId window, const Frame& frame)
{
    std::function<void(WindowId, const WindowRecord&)> observer;
    WindowRecord copy;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        WindowRecord* record = find(window);
        if (record == nullptr || frame.width <= 0 || frame.height <= 0)
            return false;
        // Like a screen, a partial push changes only its part of the picture shown before.
        Frame whole = frame;
        bool samePicture = record->pushedWidth == frame.width && record->pushedHeight == frame.height
                           && record->pixels.size() == static_cast<size_t>(frame.width) * frame.height;
        if (!samePicture)
            whole.changed = {};
        std::vector<uint32_t> pixels = samePicture ? record->pixels : std::vector<uint32_t>(record->pixels.size());
        pixels.resize(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height));
        if (!copyFrame(whole, pixels.data(), static_cast<size_t>(frame.width)))
            return false;
        record->pixels = std::move(pixels);
        record->lastPushed = pushedPart(whole);
        record->pushedWidth = frame.width;
        record->pushedHeight = frame.height;
        record->pushedAt = frame.at;
        record->pushedAlpha = frame.alpha;
        record->rect = {frame.at.x, frame.at.y, frame.width, frame.height};
        ++record->pushCount;
        observer = m_pushObserver;
        if (observer)
            copy = *record;
    }
    if (observer)
        observer(window, copy);
    return true;
}

ScreenRect HeadlessBackend::workArea()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_workArea;
}

int32_t HeadlessBackend::dotsPerInch()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_dpi;
}

bool HeadlessBackend::compositorPresent()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_compositor;
}

TaskbarButton HeadlessBackend::taskbarButton(WindowId)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_taskbar;
}

void HeadlessBackend::setCapture(WindowId window)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_capture = window;
}

void HeadlessBackend::releaseCapture()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_capture = kNoWindow;
}

WindowId HeadlessBackend::capture()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_capture;
}

void HeadlessBackend::setCursor(WindowId window, CursorKind shape)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (WindowRecord* record = find(window))
        record->cursor = shape;
}

ScreenPoint HeadlessBackend::cursorPosition()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_cursor;
}

void HeadlessBackend::holdButtonsFor(int polls)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_buttonPolls = polls;
}

bool HeadlessBackend::pointerButtonsDown()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_buttonPolls <= 0)
        return false;
    --m_buttonPolls;
    return true;
}

uint32_t HeadlessBackend::modifierState()
{
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_modifiers;
}

void HeadlessBackend::beginMoveResize(WindowId window, int32_t hitCode, ScreenPoint)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (WindowRecord* record = find(window))
        record->moveResizeCode = hitCode;
}

void HeadlessBackend::setIcons(WindowId window, const std::vector<IconImage>& icons)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (WindowRecord* record = find(window))
        record->icons = icons;
}

int HeadlessBackend::eventFd()
{
    return m_wakeFd;
}

bool HeadlessBackend::nextEvent(Message& out)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (m_events.empty()) {
        uint64_t count = 0;
        if (m_wakeFd >= 0 && read(m_wakeFd, &count, sizeof count) < 0) {
            // Nothing to read: the counter was already drained.
        }
        return false;
    }
    out = m_events.front();
    m_events.pop_front();
    return true;
}

} // namespace tonvane

namespace tonvane {

void HeadlessBackend::setSelectionText(TextSelection selection, const std::string& text)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    m_selections[selection == TextSelection::Clipboard ? 0 : 1] = text;
}

std::optional<std::string> HeadlessBackend::selectionText(TextSelection selection) const
{
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_selections[selection == TextSelection::Clipboard ? 0 : 1];
}

void HeadlessBackend::offerText(WindowId, TextSelection selection, const std::string& text)
{
    setSelectionText(selection, text.substr(0, kSelectionTextLimit));
}

std::optional<std::string> HeadlessBackend::readText(WindowId, TextSelection selection)
{
    std::optional<std::string> text = selectionText(selection);
    if (text && text->size() > kSelectionTextLimit)
        text->resize(kSelectionTextLimit);
    return text;
}

} // namespace tonvane
