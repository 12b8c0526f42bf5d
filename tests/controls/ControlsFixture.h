#pragma once
// A headless window whose content is a widget tree, with the control theme set and the frame
// answering nothing (every point is client), so pointer events reach the widgets.
#include "controls/theme/ControlTheme.h"
#include "controls/widget/WidgetWindow.h"
#include "windowing/WindowTestSupport.h"

#include <gtest/gtest.h>

namespace tonvane::testing {

struct ControlsFixture : ::testing::Test, WindowFixture {
    static constexpr int32_t kLeft = 100;
    static constexpr int32_t kBottom = 200;
    static constexpr int32_t kWidth = 400;
    static constexpr int32_t kHeight = 300;

    ControlTheme theme;
    WidgetWindow content;
    LayeredWindow window{ui, content, config()};

    LayeredWindow::Config config()
    {
        LayeredWindow::Config c = mainConfig();
        c.quitOnDestroy = false;
        c.frame.captionHeight = 0;
        c.frame.buttons = 0;
        c.frame.border = 0;
        return c;
    }

    void SetUp() override
    {
        setControlTheme(&theme);
        content.attach(window);
        ASSERT_TRUE(window.create(kLeft, kBottom, kLeft + kWidth, kBottom + kHeight));
        window.repaint();
    }
    void TearDown() override
    {
        ui.captureRoute().clear();
        setControlTheme(nullptr);
    }

    // A pointer message at a content point (x from the left, y up from the bottom).
    void pointer(uint32_t message, int32_t x, int32_t y, uint64_t wParam = 0)
    {
        Message event{window.id(), message, wParam};
        event.x = LayeredWindow::kMarginLeft + x;
        event.y = LayeredWindow::kMarginTop + kHeight - y;
        ui.dispatch(event);
    }
    // A wheel turn at a content point: the wheel carries window-system screen pixels (y down).
    void wheel(int32_t x, int32_t y, int16_t delta)
    {
        Message event{window.id(), msg::WM_MOUSEWHEEL, uint64_t(uint16_t(delta)) << 16};
        event.x = window.left() + x;
        event.y = window.flip(window.bottom() + y);
        ui.dispatch(event);
    }
    void key(uint32_t message, uint32_t virtualKey)
    {
        ui.dispatch(Message{window.id(), message, virtualKey});
    }
    uint32_t pushes() { return backend.window(window.id()).pushCount; }
};

} // namespace tonvane::testing
