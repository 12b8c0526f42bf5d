#include "app/window/Ticker.h"

#include "windowing/loop/UiThread.h"

namespace tonvane {

bool Ticker::start(UiThread& ui, WindowId window, uint32_t intervalMs, std::function<void()> step)
{
    if (m_thread.joinable())
        return false;
    m_step = std::make_shared<std::function<void()>>(std::move(step));
    std::weak_ptr<std::function<void()>> weak = m_step;
    m_stop.reset();
    m_thread = std::thread([this, &ui, window, intervalMs, weak] {
        while (!m_stop.waitFor(std::chrono::milliseconds(intervalMs)))
            ui.post(window, [weak] {
                if (auto step = weak.lock())
                    (*step)();
            });
    });
    return true;
}

void Ticker::stop()
{
    if (m_thread.joinable()) {
        m_stop.set();
        m_thread.join();
    }
    m_step.reset(); // runs on the window's thread, like the posted steps
}

} // namespace tonvane
