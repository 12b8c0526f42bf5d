#include "app/window/HoverTimer.h"

#include "windowing/loop/UiThread.h"

namespace tonvane {

ErrorCode HoverTimer::start(UiThread& ui, WindowId window, uint32_t delayMs, std::function<void()> step)
{
    stop();
    m_ui = &ui;
    m_window = window;
    m_delayMs = delayMs;
    m_step = std::move(step);
    m_stop.reset();
    m_waiting.store(true);
    ErrorCode error = startThread(m_thread, &HoverTimer::run, this);
    if (error != kSuccess)
        m_waiting.store(false);
    return error;
}

void HoverTimer::stop()
{
    if (!m_thread.joinable())
        return;
    m_stop.set();
    m_thread.join();
    m_waiting.store(false);
}

void* HoverTimer::run(void* self)
{
    auto* timer = static_cast<HoverTimer*>(self);
    if (!timer->m_stop.waitFor(std::chrono::milliseconds(timer->m_delayMs)))
        timer->m_ui->post(timer->m_window, timer->m_step);
    timer->m_waiting.store(false);
    return nullptr;
}

} // namespace tonvane
