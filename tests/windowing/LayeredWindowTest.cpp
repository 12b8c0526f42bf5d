#include "windowing/message/KeyCodes.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace tonvane::testing {
namespace {

// Content (100, 100)-(300, 250) in y-up pixels; work area bottom 1000: the layered window is
// 219 x 169 at (91, 741) in window-system pixels.
constexpr int32_t kLeft = 100;
constexpr int32_t kBottom = 100;
constexpr int32_t kWidth = 200;
constexpr int32_t kHeight = 150;
constexpr ScreenRect kWindowRect{91, 741, 219, 169};

struct WindowTest : ::testing::Test, WindowFixture {
    RecordingContent content;
    LayeredWindow window{ui, content, mainConfig()};

    void SetUp() override
    {
        ASSERT_TRUE(window.create(kLeft, kBottom, kLeft + kWidth, kBottom + kHeight));
        window.repaint(); // the first push plays the show animation
        content.events.clear();
    }

    HeadlessBackend::WindowRecord screen() { return backend.window(window.id()); }
    DispatchResult send(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0)
    {
        return window.dispatch({window.id(), message, wParam, lParam});
    }
    // A raw pointer event at a client point, as a backend reports it.
    void pointer(uint32_t message, int32_t clientX, int32_t clientY)
    {
        Message event{window.id(), message};
        event.x = clientX;
        event.y = clientY;
        ui.dispatch(event);
    }
    // Client point of a content point given from the content's top-left corner (y down).
    static int32_t cx(int32_t x) { return LayeredWindow::kMarginLeft + x; }
    static int32_t cy(int32_t y) { return LayeredWindow::kMarginTop + y; }
};

TEST_F(WindowTest, RowsThatAreNotHandledOrHandledWithoutEffect)
{
    struct Row {
        uint32_t message;
        bool handled;
    };
    const Row rows[] = {
        {msg::WM_ACTIVATE, false},      {msg::WM_SHOWWINDOW, false},     {msg::WM_NCACTIVATE, false},
        {msg::WM_NCLBUTTONDOWN, false}, {msg::WM_NCLBUTTONUP, false},    {msg::WM_RBUTTONDBLCLK, false},
        {msg::WM_MBUTTONDBLCLK, false}, {msg::WM_MOUSEHWHEEL, false},    {msg::WM_ACTIVATEAPP, false},
        {msg::WM_CHAR, true},           {msg::WM_USER, true},            {msg::WM_USER + 2, true},
        {0x7FFF, true},                 {0x8000, false},                 {0x0001, false},
    };
    for (const Row& row : rows) {
        DispatchResult result = send(row.message, 65, 1);
        EXPECT_EQ(result.handled, row.handled) << std::hex << row.message;
        EXPECT_EQ(result.result, 0) << std::hex << row.message;
    }
    EXPECT_TRUE(content.events.empty());
    EXPECT_FALSE(send(msg::WM_SYSCOMMAND, sc::SC_MINIMIZE).handled);
    DispatchResult device = send(msg::WM_DEVICECHANGE, 0x8000);
    EXPECT_TRUE(device.handled);
    EXPECT_EQ(content.events, std::vector<std::string>{"device 32768"});
}

TEST_F(WindowTest, HitTestNonClientMovesSysCommandsAndTheTaskbarClick)
{
    // Screen point (x, flipped y) of a content point given from its top-left corner.
    auto screenPoint = [](int32_t x, int32_t y) {
        return ScreenPoint{kLeft + x, WindowFixture::kWorkAreaBottom - (kBottom + kHeight) + y};
    };
    struct Row {
        ScreenPoint at;
        int32_t code;
    };
    const Row rows[] = {
        {screenPoint(0, 100), ht::HTLEFT},           {screenPoint(kWidth - 1, 100), ht::HTRIGHT},
        {screenPoint(100, 0), ht::HTTOP},            {screenPoint(0, 0), ht::HTTOPLEFT},
        {screenPoint(kWidth - 1, kHeight - 1), ht::HTBOTTOMRIGHT}, {screenPoint(100, 10), ht::HTCAPTION},
        {screenPoint(kWidth - 10, 5), ht::HTCLOSE},  {screenPoint(kWidth - 40, 5), ht::HTMAXBUTTON},
        {screenPoint(kWidth - 70, 5), ht::HTMINBUTTON}, {screenPoint(100, 100), ht::HTCLIENT},
        {screenPoint(-1, 100), ht::HTNOWHERE},       {screenPoint(100, kHeight), ht::HTNOWHERE},
    };
    for (const Row& row : rows) {
        Message hit{window.id(), msg::WM_NCHITTEST};
        hit.x = row.at.x;
        hit.y = row.at.y;
        EXPECT_EQ(window.dispatch(hit).result, row.code) << row.at.x << "," << row.at.y;
    }
    // A widget that set its own cursor gives it up over a sizing border.
    window.setCursor(static_cast<int>(CursorKind::IBeam));
    window.setCursor(99); // not a cursor number: nothing
    EXPECT_EQ(screen().cursor, CursorKind::IBeam);
    content.cursorOwned = true;
    Message border{window.id(), msg::WM_NCHITTEST};
    border.x = kLeft;
    border.y = 800;
    window.dispatch(border);
    EXPECT_EQ(screen().cursor, CursorKind::Arrow);
    EXPECT_FALSE(content.cursorOwned);

    // A non-client move off the buttons reaches the widget tree with the flipped point.
    Message over{window.id(), msg::WM_NCMOUSEMOVE, static_cast<uint64_t>(ht::HTCAPTION)};
    over.x = 150;
    over.y = 700;
    window.dispatch(over);
    EXPECT_EQ(content.events, std::vector<std::string>{"mouse 0 150,300"});

    // SC_CLOSE with a caption button hot clears the capture owner and is left to the default,
    // which posts WM_CLOSE.
    over.wParam = ht::HTCLOSE;
    window.dispatch(over);
    EXPECT_EQ(ui.captureRoute().owner(), &window);
    EXPECT_FALSE(window.handle({window.id(), msg::WM_SYSCOMMAND, sc::SC_CLOSE}) != 0);
    EXPECT_EQ(ui.captureRoute().owner(), nullptr);
    Message posted;
    ASSERT_TRUE(ui.peekMessage(posted));
    EXPECT_EQ(posted.message, msg::WM_CLOSE);

    // The taskbar takes the activation while our pressed button is under the pointer.
    backend.setTaskbarButton({{600, 990, 40, 10}, 0x2});
    backend.setCursorPosition({610, 995});
    backend.holdButtonsFor(3); // released after three polls 10 ms apart
    uint64_t slept = clock.slept;
    EXPECT_FALSE(send(msg::WM_ACTIVATEAPP, 1, -1).handled); // activation: nothing
    EXPECT_EQ(window.state() & LayeredWindow::kMinimised, 0u);
    EXPECT_FALSE(send(msg::WM_ACTIVATEAPP, 0, -1).handled);
    EXPECT_NE(window.state() & LayeredWindow::kMinimised, 0u);
    EXPECT_GE(clock.slept - slept, 30u);
}

TEST_F(WindowTest, InvokeRowRunsTheRecordsRoutine)
{
    struct Record {
        int64_t (*routine)(uint64_t, int64_t);
        int64_t seen;
    };
    Record record{[](uint64_t wParam, int64_t lParam) {
                      reinterpret_cast<Record*>(lParam)->seen = static_cast<int64_t>(wParam);
                      return int64_t{99};
                  },
                  0};
    DispatchResult result = send(msg::WM_INVOKE, 7, reinterpret_cast<int64_t>(&record));
    EXPECT_TRUE(result.handled);
    EXPECT_EQ(result.result, 99);
    EXPECT_EQ(record.seen, 7);
}

TEST_F(WindowTest, PushedBitmapHoldsContentInsideTheShadowMargin)
{
    HeadlessBackend::WindowRecord shown = screen();
    EXPECT_EQ(shown.pushCount, 20u); // 19 fade steps and the final picture
    EXPECT_EQ(shown.rect, kWindowRect);
    ASSERT_EQ(shown.pushedWidth, kWindowRect.width);
    EXPECT_EQ(shown.pixel(9, 9), 0xFF0000FFu); // the content's top-left marker
    EXPECT_EQ(shown.pixel(9 + 1, 9), 0xFFFF0000u);
    EXPECT_EQ(shown.pixel(9 + kWidth - 1, 9 + kHeight - 1), 0xFFFF0000u);
    EXPECT_EQ(shown.pixel(0, 0), 0u);
    for (int32_t y = 0; y < kWindowRect.height; ++y)
        EXPECT_EQ(shown.pixel(2, y), 0u) << y; // the shadow lies right of and below the content
    uint32_t below = shown.pixel(9 + kWidth / 2, kWindowRect.height - 6);
    EXPECT_GT(below >> 24, 0u);
    EXPECT_EQ(below & 0xFFFFFFu, 0u); // black
    uint32_t right = shown.pixel(kWindowRect.width - 7, 9 + kHeight / 2);
    EXPECT_GT(right >> 24, 0u);
}

TEST_F(WindowTest, NoPositionPaintsAndPushesNothing)
{
    uint32_t pushes = screen().pushCount;
    int paints = content.paints;
    window.setRect(LayeredWindow::kNoPosition, kBottom, kWidth, kHeight);
    window.repaint();
    EXPECT_EQ(screen().pushCount, pushes);
    EXPECT_EQ(content.paints, paints);
}

TEST_F(WindowTest, MaximisedWindowCoversTheWorkAreaWithoutMargin)
{
    backend.setWorkArea({40, 0, 1240, WindowFixture::kWorkAreaBottom});
    window.maximise();
    HeadlessBackend::WindowRecord shown = screen();
    EXPECT_EQ(shown.rect, (ScreenRect{40, 0, 1240, WindowFixture::kWorkAreaBottom}));
    EXPECT_EQ(shown.pixel(0, 0), 0xFF0000FFu); // content from the very first pixel
    EXPECT_EQ(shown.pixel(1239, 999), 0xFFFF0000u);
    window.restore();
    EXPECT_EQ(screen().rect, kWindowRect);
    EXPECT_EQ(window.state() & LayeredWindow::kMaximised, 0u);
}

TEST_F(WindowTest, WithoutCompositorTheWindowIsOpaqueWithoutMargin)
{
    backend.setCompositor(false);
    content.colour = 0x80FF0000u; // half-transparent red shows over the backdrop
    window.repaint();
    HeadlessBackend::WindowRecord shown = screen();
    EXPECT_EQ(shown.rect, (ScreenRect{kLeft, WindowFixture::kWorkAreaBottom - kBottom - kHeight, kWidth, kHeight}));
    EXPECT_EQ(shown.pixel(0, 0), 0xFF0000FFu);
    for (uint32_t pixel : shown.pixels)
        ASSERT_EQ(pixel >> 24, 255u);
    // 0x80 red on transparent is premultiplied 0x7F7F0000; over 0xF0F0F0 with 128/255 of the
    // backdrop left: red 127 + 120, green and blue 120.
    EXPECT_EQ(shown.pixel(50, 50), 0xFFF77878u);
    backend.setCompositor(true); // a compositing manager that starts later is followed
    window.repaint();
    EXPECT_EQ(screen().rect, kWindowRect);
}

TEST_F(WindowTest, SizeMessagesBelowTheMarginAreIgnored)
{
    Message size{window.id(), msg::WM_SIZE};
    size.cx = 19;
    size.cy = 400;
    window.dispatch(size);
    EXPECT_EQ(window.width(), kWidth);
    size.cx = 319;
    size.cy = 219;
    window.dispatch(size);
    EXPECT_EQ(window.width(), 300);
    EXPECT_EQ(window.height(), 200);
    EXPECT_EQ(screen().pushedWidth, 319);
}

TEST_F(WindowTest, WindowSystemMovesAndResizes)
{
    std::vector<std::vector<int32_t>> stored;
    window.addPositionListener([&stored](int32_t l, int32_t b, int32_t w, int32_t h) { stored.push_back({l, b, w, h}); });
    struct Row {
        const char* what;
        ScreenRect rect;
        uint32_t flags;
        int32_t left, bottom, width, height;
    };
    // Window-system rectangles (margin included) and the content rectangle they leave.
    const Row rows[] = {
        {"move and size", {191, 641, 319, 269}, 0, 200, 100, 300, 250},
        {"pure move", {291, 541, 0, 0}, swp::SWP_NOSIZE, 300, 200, 300, 250},
        {"resize from the top keeps the top", {0, 0, 319, 319}, swp::SWP_NOMOVE, 300, 150, 300, 300},
        {"resize with the same height", {0, 0, 419, 319}, swp::SWP_NOMOVE, 300, 150, 400, 300},
        {"hidden: ignored", {0, 0, 50, 50}, swp::SWP_HIDEWINDOW, 300, 150, 400, 300},
        {"no larger than the margin: ignored", {0, 0, 19, 300}, 0, 300, 150, 400, 300},
        {"resize to the margin: ignored", {0, 0, 419, 10}, swp::SWP_NOMOVE, 300, 150, 400, 300},
    };
    for (const Row& row : rows) {
        Message moved{window.id(), msg::WM_WINDOWPOSCHANGED};
        moved.x = row.rect.x;
        moved.y = row.rect.y;
        moved.cx = row.rect.width;
        moved.cy = row.rect.height;
        moved.flags = row.flags;
        window.dispatch(moved);
        EXPECT_EQ((std::vector<int32_t>{window.left(), window.bottom(), window.width(), window.height()}),
                  (std::vector<int32_t>{row.left, row.bottom, row.width, row.height}))
            << row.what;
    }
    EXPECT_TRUE(stored.empty()) << "nothing is stored while the window manager moves or sizes";
    send(msg::WM_EXITSIZEMOVE);
    EXPECT_EQ(stored, (std::vector<std::vector<int32_t>>{{300, 150, 400, 300}}));
    Message moved{window.id(), msg::WM_MOVE};
    moved.x = 11; // the client origin
    moved.y = 21;
    window.dispatch(moved);
    EXPECT_EQ(window.left(), 20);
    EXPECT_EQ(window.bottom(), WindowFixture::kWorkAreaBottom - 30 - 300);
}

TEST_F(WindowTest, MinMaxInfoGrowsByTheMargin)
{
    MinMaxInfo info;
    info.maxTrack = {1000, 800};
    send(msg::WM_GETMINMAXINFO, 0, reinterpret_cast<int64_t>(&info));
    EXPECT_EQ(info.minTrack, (ScreenPoint{600, 440}));
    EXPECT_EQ(info.maxTrack, (ScreenPoint{1019, 819}));
}

TEST_F(WindowTest, PointerOverTheFrameBecomesNonClientAndStartsWindowManagerMoves)
{
    pointer(msg::WM_LBUTTONDOWN, cx(50), cy(10)); // caption
    EXPECT_EQ(screen().moveResizeCode, ht::HTCAPTION);
    pointer(msg::WM_LBUTTONDOWN, cx(kWidth - 1), cy(kHeight - 1)); // bottom-right corner
    EXPECT_EQ(screen().moveResizeCode, ht::HTBOTTOMRIGHT);
    pointer(msg::WM_LBUTTONDOWN, cx(100), cy(100)); // client: to the widget tree in y-up pixels
    EXPECT_EQ(content.events.back(), "mouse 1 200,150"); // a flipped point is its pixel's top edge
    content.hitAnswer = [](int32_t, int32_t) { return ht::HTCLIENT; }; // a widget claims the caption
    pointer(msg::WM_LBUTTONDOWN, cx(50), cy(10));
    EXPECT_EQ(content.events.back(), "mouse 1 150,240");
}

TEST_F(WindowTest, CloseButtonClosesOnlyWhenReleasedOverIt)
{
    int32_t closeX = cx(kWidth - 10);
    pointer(msg::WM_MOUSEMOVE, closeX, cy(5));
    EXPECT_EQ(window.hotButton(), CaptionButton::Close);
    EXPECT_EQ(ui.captureRoute().owner(), &window);
    EXPECT_EQ(backend.capture(), kNoWindow) << "a hot button leaves the pointer to other programs";
    pointer(msg::WM_LBUTTONDOWN, closeX, cy(5));
    EXPECT_EQ(window.armedButton(), CaptionButton::Close);
    EXPECT_EQ(backend.capture(), window.id()) << "held, it sees the release anywhere";
    pointer(msg::WM_MOUSEMOVE, cx(50), cy(60)); // leaves the button: capture ends
    pointer(msg::WM_LBUTTONUP, cx(50), cy(60));
    drain(ui);
    EXPECT_NE(window.id(), kNoWindow);
    EXPECT_EQ(window.hotButton(), CaptionButton::None);
    EXPECT_EQ(backend.capture(), kNoWindow);

    pointer(msg::WM_MOUSEMOVE, closeX, cy(5));
    pointer(msg::WM_LBUTTONDOWN, closeX, cy(5));
    pointer(msg::WM_MOUSEMOVE, cx(kWidth - 40), cy(5)); // over maximise now
    EXPECT_EQ(window.hotButton(), CaptionButton::Maximise);
    pointer(msg::WM_LBUTTONUP, cx(kWidth - 40), cy(5));
    drain(ui);
    EXPECT_EQ(window.state() & LayeredWindow::kMaximised, 0u);
    EXPECT_NE(window.id(), kNoWindow);

    pointer(msg::WM_MOUSEMOVE, closeX, cy(5));
    pointer(msg::WM_LBUTTONDOWN, closeX, cy(5));
    content.events.clear();
    pointer(msg::WM_LBUTTONUP, closeX, cy(5));
    WindowId id = window.id();
    drain(ui); // the posted WM_CLOSE: close stop, hide, destroy
    EXPECT_EQ(window.id(), kNoWindow);
    EXPECT_TRUE(backend.window(id).destroyed);
    EXPECT_EQ(content.events, (std::vector<std::string>{"stop work", "stop workers"}));
    EXPECT_TRUE(ui.quitPending());
}

TEST_F(WindowTest, MaximiseAndMinimiseButtons)
{
    int32_t maxX = cx(kWidth - 40);
    pointer(msg::WM_MOUSEMOVE, maxX, cy(5));
    pointer(msg::WM_LBUTTONDOWN, maxX, cy(5));
    pointer(msg::WM_LBUTTONUP, maxX, cy(5));
    EXPECT_NE(window.state() & LayeredWindow::kMaximised, 0u);
    EXPECT_EQ(window.width(), 1280);
    // Maximised: no margin, the buttons sit at the screen's top-right corner.
    pointer(msg::WM_MOUSEMOVE, 1280 - 40, 5);
    pointer(msg::WM_LBUTTONDOWN, 1280 - 40, 5);
    pointer(msg::WM_LBUTTONUP, 1280 - 40, 5);
    EXPECT_EQ(window.state() & LayeredWindow::kMaximised, 0u);
    EXPECT_EQ(screen().rect, kWindowRect);

    int32_t minX = cx(kWidth - 70);
    pointer(msg::WM_MOUSEMOVE, minX, cy(5));
    pointer(msg::WM_LBUTTONDOWN, minX, cy(5));
    pointer(msg::WM_LBUTTONUP, minX, cy(5));
    EXPECT_EQ(window.state() & (LayeredWindow::kMinimised | LayeredWindow::kShown), LayeredWindow::kMinimised);
    EXPECT_TRUE(screen().iconic);
    EXPECT_TRUE(window.updating());
    send(msg::WM_SYSCOMMAND, sc::SC_RESTORE);
    EXPECT_EQ(window.state() & (LayeredWindow::kMinimised | LayeredWindow::kShown), LayeredWindow::kShown);
    EXPECT_FALSE(screen().iconic);
    EXPECT_FALSE(window.updating());
    EXPECT_EQ(screen().rect, kWindowRect);
    EXPECT_EQ(screen().pixel(9, 9), 0xFF0000FFu);
}

TEST_F(WindowTest, KeyboardDispatch)
{
    window.setKeyTable({{'O', mod::kCtrl, 7}, {'q', mod::kCaseless, 8}, {vk::VK_F1, mod::kRightShift, 9}});
    struct Row {
        uint32_t message;
        uint64_t key;
        uint32_t modifiers;
        std::vector<std::string> events;
    };
    const Row rows[] = {
        {msg::WM_KEYDOWN, 'O', mod::kCtrl, {"command 7"}},
        {msg::WM_KEYDOWN, 'O', mod::kCtrl | mod::kShift, {"key 79"}},
        {msg::WM_KEYDOWN, 'Q', 0, {"command 8"}},
        {msg::WM_KEYDOWN, vk::VK_F1, mod::kShift | mod::kRightShift, {"command 9"}},
        {msg::WM_KEYDOWN, vk::VK_F1, mod::kShift | mod::kLeftShift, {"key 112"}},
        {msg::WM_KEYDOWN, vk::VK_TAB, 0, {"focus fwd"}},
        {msg::WM_KEYUP, 'O', mod::kCtrl, {"keyup 79"}},
        {msg::WM_XBUTTONDOWN, xb::MK_XBUTTON1 | xb::MK_XBUTTON2, 0, {"key 5", "key 6"}},
        {msg::WM_CHAR, 'a', 0, {}},
    };
    for (const Row& row : rows) {
        content.events.clear();
        backend.setModifiers(row.modifiers);
        send(row.message, row.key);
        EXPECT_EQ(content.events, row.events) << row.key;
    }
    content.focusAnswers = false; // nothing focusable: one search from the other end, then stop
    content.events.clear();
    backend.setModifiers(mod::kShift | mod::kLeftShift);
    send(msg::WM_KEYDOWN, vk::VK_TAB);
    EXPECT_EQ(content.events, (std::vector<std::string>{"focus back", "focus back wrap"}));
}

TEST_F(WindowTest, CaptureOwnerTakesPointerAndWheel)
{
    RecordingContent owner;
    ui.captureRoute().setOwner(&owner, window.id());
    pointer(msg::WM_RBUTTONDOWN, cx(0), cy(0));
    Message wheel{window.id(), msg::WM_MOUSEWHEEL, static_cast<uint64_t>(static_cast<uint16_t>(-120)) << 16 | 0x8};
    wheel.x = 150;
    wheel.y = 800;
    ui.dispatch(wheel);
    EXPECT_TRUE(content.events.empty());
    EXPECT_EQ(owner.events, (std::vector<std::string>{"mouse 4 100,250", "wheel 150,200 -120 8"}));
    ui.captureRoute().clear();
    EXPECT_EQ(backend.capture(), kNoWindow);
    ui.dispatch(wheel);
    EXPECT_EQ(content.events, std::vector<std::string>{"wheel 150,200 -120 8"});
}

TEST_F(WindowTest, RepaintsFromWorkerThreadsAndTheUiThreadDoNotMix)
{
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (!stop.load())
            window.repaint();
    });
    for (int i = 0; i < 50; ++i) {
        Message moved{window.id(), msg::WM_WINDOWPOSCHANGED};
        moved.x = 91 + i;
        moved.y = 741;
        moved.flags = swp::SWP_NOSIZE;
        window.dispatch(moved);
        window.repaint();
    }
    stop = true;
    worker.join();
    HeadlessBackend::WindowRecord shown = screen();
    EXPECT_EQ(shown.rect.x, 91 + 49);
    EXPECT_EQ(shown.pixel(9, 9), 0xFF0000FFu);
}

// Content whose picture does not depend on the clip it is painted under: a gradient, a
// translucent disc whose colour the test changes, and an edge line (a region repaint must give
// exactly the pixels a whole one gives).
class SceneContent final : public WindowContent {
public:
    void paint(Surface& surface) override
    {
        surface.roundedRectangle(0, 0, kWidth, kHeight, 6, 0, Paint::linearY(0xFFF4F6F8u, 0xFF8090A0u, 0, kHeight));
        surface.disc(60, 50, 17.3, Paint::solid(disc));
        surface.fillRectangle(0, kHeight - 1, kWidth, kHeight, 0xFF0000FFu);
    }
    std::atomic<uint32_t> disc{0x80FF0000u};
};

TEST(RegionRepaint, PushesOnlyTheRegionAndEqualsAWholeRepaint)
{
    struct Row {
        const char* name;
        bool compositor;
        IntRect region; // content pixels, y up
        bool compositorStops; // a new look: the screen holds no whole picture of it yet
        ScreenRect pushed; // window pixels, top-down; the margin is 9 left and top with a compositor
    };
    const Row rows[] = {
        {"the disc's cell", true, {40, 30, 80, 70}, false, {49, 89, 40, 40}},
        {"cut to the content", true, {-20, -10, 90, 80}, false, {9, 79, 90, 80}},
        {"without compositor", false, {40, 30, 80, 70}, false, {40, 80, 40, 40}},
        {"compositor gone since the last push", true, {40, 30, 80, 70}, true, {0, 0, kWidth, kHeight}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WindowFixture fixture;
        SceneContent content;
        fixture.backend.setCompositor(row.compositor);
        LayeredWindow window(fixture.ui, content, fixture.mainConfig());
        ASSERT_TRUE(window.create(kLeft, kBottom, kLeft + kWidth, kBottom + kHeight));
        window.repaint(); // the show animation, then the whole picture
        window.repaint();
        std::vector<uint32_t> before = fixture.backend.window(window.id()).pixels;
        if (row.compositorStops)
            fixture.backend.setCompositor(false);
        content.disc = 0xC00060FFu;
        window.repaint(row.region);
        HeadlessBackend::WindowRecord partial = fixture.backend.window(window.id());
        EXPECT_EQ(partial.lastPushed, row.pushed);
        window.repaint();
        HeadlessBackend::WindowRecord whole = fixture.backend.window(window.id());
        ASSERT_EQ(partial.pixels.size(), whole.pixels.size());
        size_t differing = 0;
        for (size_t i = 0; i < whole.pixels.size(); ++i)
            differing += partial.pixels[i] != whole.pixels[i];
        EXPECT_EQ(differing, 0u);
        if (!row.compositorStops) {
            size_t changed = 0;
            for (size_t i = 0; i < before.size(); ++i)
                changed += before[i] != whole.pixels[i];
            EXPECT_GT(changed, 100u) << "the disc's new colour is on screen";
        }
    }
}

} // namespace
} // namespace tonvane::testing
