// The main window's menus on the headless backend: keys and clicks in popup menus, the picture of
// an accelerator column, the language items, the two 600 ms timers of a popup (a submenu opening,
// another menu taking over) and their end when the popup closes, and Alt on its own.
#include "MainWindowFixture.h"

#include "app/window/MenuTreeBuilder.h"
#include "app/window/PopupMenu.h"
#include "core/ProductConfig.h"
#include "core/settings/SettingsDefaults.h"
#include "core/settings/SettingsStore.h"
#include "graphics/text/Font.h"
#include "graphics/text/TextLayout.h"
#include "windowing/message/KeyCodes.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace tonvane {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kHoverDelay = std::chrono::milliseconds(PopupMenu::kHoverDelayMs);

// An owner that takes nothing over.
struct QuietOwner final : MenuOwner {
    bool pointerFromChild(int32_t, int32_t) override { return false; }
    void pressFromChild(int32_t, int32_t, bool) override {}
    bool keyFromChild(uint32_t) override { return false; }
    bool escapeFromChild() override { return false; }
    void dismissFromChild() override {}
    void childClosed() override {}
};

struct Menus : test::MainWindowFixture {
    std::vector<int32_t> commands;

    void SetUp() override
    {
        MainWindowFixture::SetUp();
        fillLanguageSlots();
        setCurrentLanguage(kEnglish);
        settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, kEnglish);
        settings::writeDword(product::kProductKey, settings::kFreeDbKey, settings::kValueAuto, 0);
        open(); // the demo disc is loaded: Convert and Consult FreeDB are enabled
    }
    MenuBar& bar() { return content->menuBar(); }
    // The bar's commands written down instead of run.
    void recordCommands()
    {
        bar().setCommandRoutine([this](int32_t command) { commands.push_back(command); });
    }
    void key(uint32_t message, uint32_t code) { ui.dispatch(Message{window->id(), message, code}); }
    void injectKey(PopupMenu& popup, uint32_t code)
    {
        backend.inject(Message{popup.popupWindow().id(), msg::WM_KEYDOWN, code});
    }
    // Move, press and release on child `index`'s row of an open popup.
    void injectClick(PopupMenu& popup, int32_t index)
    {
        const IntRect& r = popup.itemRects()[size_t(index)];
        for (uint32_t message : {msg::WM_MOUSEMOVE, msg::WM_LBUTTONDOWN, msg::WM_LBUTTONUP})
            injectPointer(popup.popupWindow(), message, 30, (r.y0 + r.y1) / 2);
    }
    // A move to child `index`'s row of `target`, told to the popup that holds the pointer.
    void injectMoveToRow(PopupMenu& holder, PopupMenu& target, int32_t index)
    {
        const IntRect& r = target.itemRects()[size_t(index)];
        const LayeredWindow& from = holder.popupWindow();
        const LayeredWindow& to = target.popupWindow();
        injectPointer(from, msg::WM_MOUSEMOVE, to.left() + 30 - from.left(),
                      to.bottom() + (r.y0 + r.y1) / 2 - from.bottom());
    }
    // A move to the middle of a title of the bar, told to the popup that holds the pointer.
    void injectMoveToTitle(PopupMenu& popup, int32_t title)
    {
        const IntRect& r = bar().itemRects()[size_t(title)];
        IntRect own = bar().windowRect();
        const LayeredWindow& w = popup.popupWindow();
        injectPointer(w, msg::WM_MOUSEMOVE, window->left() + own.x0 + (r.x0 + r.x1) / 2 - w.left(),
                      window->bottom() + own.y0 + (r.y0 + r.y1) / 2 - w.bottom());
    }
};

TEST_F(Menus, UpAndDownSkipSeparatorsAndDisabledItemsAroundTheEnds)
{
    enum Child { On, Off, Sep, Hidden };
    struct Case {
        const char* what;
        std::vector<Child> children;
        std::string keys; // U up, D down
        std::vector<int32_t> hot; // after each key
    } cases[] = {
        {"File with a disc", {On, On, Sep, On}, "UUUUD", {3, 1, 0, 3, 0}},
        {"File without a disc", {Off, Off, Sep, On}, "UUDD", {3, 3, 3, 3}},
        {"Help", {On, On, On, Sep, On}, "DDDDD", {0, 1, 2, 4, 0}},
        {"a hidden item", {On, Hidden, On}, "DDDU", {0, 2, 0, 2}},
        {"nothing to choose", {Off, Sep, Off}, "UD", {-1, -1}},
    };
    QuietOwner owner;
    for (const Case& c : cases) {
        MenuTreeBuilder b;
        b.beginSubmenu(1);
        for (Child child : c.children) {
            if (child == Sep)
                b.separator();
            else
                b.item(kTextOk, -1,
                       child == On ? menuflag::kEnabled : child == Hidden ? menuflag::kEnabled | menuflag::kHidden : 0);
        }
        MenuTree tree = b.finish();
        PopupMenu popup(ui, window->id(), tree, *tree.root(), owner, nullptr);
        std::vector<int32_t> seen;
        for (char k : c.keys) {
            popup.keyDown(k == 'U' ? vk::VK_UP : vk::VK_DOWN);
            seen.push_back(popup.hot());
        }
        EXPECT_EQ(seen, c.hot) << c.what;
    }
}

TEST_F(Menus, ADisabledItemIgnoresClicksAndExitDrawsItsAcceleratorInTheRightColumn)
{
    recordCommands();
    PopupMenu* file = nullptr;
    bool stayedOpen = false, redrawn = false;
    HeadlessBackend::WindowRecord shown;
    std::vector<IntRect> rows;
    int32_t h = 0, marginLeft = 0, marginTop = 0, height = 0;
    injectStep([&] {
        file = bar().popup();
        ASSERT_NE(file, nullptr);
        LayeredWindow& w = file->popupWindow();
        // The disc goes while the menu is open: Convert is disabled and the menu redraws.
        uint32_t pushes = backend.window(w.id()).pushCount;
        content->onMediaRemoved("demo:");
        redrawn = backend.window(w.id()).pushCount > pushes;
        shown = backend.window(w.id());
        rows = file->itemRects();
        h = file->itemHeight();
        marginLeft = w.marginLeft();
        marginTop = w.marginTop();
        height = w.height();
        injectClick(*file, 0); // Convert
        injectClick(*file, 2); // the separator
        injectStep([&] {
            stayedOpen = bar().popup() == file && !file->closing();
            injectKey(*file, vk::VK_ESCAPE);
        });
    });
    bar().openMenu(0);
    EXPECT_TRUE(redrawn);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(bar().popup(), nullptr);

    // "Exit\tAlt+F4": "Exit" after the icon column, "Alt+F4" ending 8 pixels before the right
    // edge, nothing drawn between. Ink columns of the row are found in the pushed picture.
    ASSERT_EQ(rows.size(), 4u);
    IntRect exitRow = rows[3];
    int32_t width = exitRow.x1;
    int32_t top = marginTop + (height - exitRow.y1);
    std::vector<bool> ink(size_t(width), false);
    for (int32_t x = h; x < width; ++x)
        for (int32_t y = top; y < top + h; ++y)
            if (((shown.pixel(marginLeft + x, y) >> 8) & 0xFF) < 0x90)
                ink[size_t(x)] = true;
    struct Run {
        int32_t start, end;
    };
    std::vector<Run> runs;
    constexpr int32_t kLetterGap = 6; // [pixels] gaps this small are inside a word
    for (int32_t x = 0; x < width; ++x) {
        if (!ink[size_t(x)])
            continue;
        if (!runs.empty() && x - runs.back().end <= kLetterGap)
            runs.back().end = x + 1;
        else
            runs.push_back({x, x + 1});
    }
    Font& font = *theme.font();
    auto measured = [&](std::u16string_view text) {
        return int32_t(std::lround(measureLine(font, text.data(), uint32_t(text.size()), 1e6).width));
    };
    ASSERT_EQ(runs.size(), 2u) << "a caption column and an accelerator column";
    EXPECT_NEAR(runs[0].start, h + PopupMenu::kTextMargin, 2);
    EXPECT_NEAR(runs[0].end - runs[0].start, measured(u"Exit"), 2);
    EXPECT_NEAR(runs[1].end, width - 8, 2);
    EXPECT_NEAR(runs[1].end - runs[1].start, measured(u"Alt+F4"), 2);
}

TEST_F(Menus, TheLanguageInForceStaysDisabledAndChoosingItAgainChangesNothing)
{
    ASSERT_EQ(isItemEnabled(bar().tree(), kTextEnglishName), false);
    PopupMenu* languages = nullptr;
    bool englishIgnored = false;
    injectStep([&] {
        PopupMenu* view = bar().popup();
        injectClick(*view, 2); // Language: a press opens the submenu at once
        injectStep([&, view] {
            languages = view->child();
            ASSERT_NE(languages, nullptr);
            injectClick(*languages, 1); // English, the language in force
            injectStep([&, view] {
                englishIgnored = view->child() == languages && currentLanguage() == kEnglish;
                injectClick(*languages, 3); // Deutsch
            });
        });
    });
    bar().openMenu(1);
    EXPECT_TRUE(englishIgnored);
    EXPECT_EQ(currentLanguage(), kGerman);
    EXPECT_EQ(isItemEnabled(bar().tree(), kTextGermanName), false);
    EXPECT_EQ(isItemEnabled(bar().tree(), kTextEnglishName), true);

    settings::writeDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, 99); // a marker
    content->onCommand(kTextGermanName);
    uint32_t stored = 0;
    settings::readDword(product::kProductKey, settings::kMainKey, settings::kValueLanguage, stored);
    EXPECT_EQ(stored, 99u) << "the language in force again: nothing is stored";
    EXPECT_EQ(currentLanguage(), kGerman);
    EXPECT_EQ(isItemEnabled(bar().tree(), kTextGermanName), false);
    EXPECT_EQ(isItemEnabled(bar().tree(), kTextEnglishName), true);
    setCurrentLanguage(kEnglish);
}

// The pointer rests on Language: its submenu opens 600 ms later. It then rests outside the
// submenu on another entry of an owner (the bar's Help title, View's Options row): 600 ms later
// that owner takes over.
TEST_F(Menus, Resting600MsOpensTheSubmenuAndOnAnotherEntryOfAnOwnerHandsOverToIt)
{
    enum class Rest { HelpTitle, OptionsRow };
    struct Case {
        Rest rest;
        std::vector<int32_t> menus; // the bar's open menus, in order
        int32_t viewHot; // after the hand-over, while View is still open
    } cases[] = {
        {Rest::HelpTitle, {1, 2}, -1}, // View and the submenu close, Help opens
        {Rest::OptionsRow, {1}, 0}, // the submenu closes, Options is hot
    };
    recordCommands();
    for (const Case& c : cases) {
        PopupMenu* view = nullptr;
        PopupMenu* languages = nullptr;
        Clock::time_point rested, opened, restedAgain, tookOver;
        std::vector<int32_t> menus;
        int32_t viewHot = -1;
        backend.setPushObserver([&](WindowId, const HeadlessBackend::WindowRecord&) {
            // The bar's own repaint after its last popup closed: `view` is gone by then.
            if (bar().popup() == nullptr)
                return;
            int32_t open = bar().openIndex();
            if (bar().popup() != nullptr && (menus.empty() || menus.back() != open))
                menus.push_back(open);
            if (languages == nullptr && view != nullptr && view->child() != nullptr) {
                opened = Clock::now();
                languages = view->child();
                injectStep([&] {
                    restedAgain = Clock::now();
                    if (c.rest == Rest::HelpTitle)
                        injectMoveToTitle(*languages, 2);
                    else
                        injectMoveToRow(*languages, *view, 0);
                });
            }
            bool handedOver = c.rest == Rest::HelpTitle ? open == 2 && bar().popup() != nullptr
                                                        : languages != nullptr && view->child() == nullptr;
            if (tookOver == Clock::time_point{} && handedOver) {
                tookOver = Clock::now();
                if (c.rest == Rest::OptionsRow)
                    viewHot = view->hot();
                injectKey(*bar().popup(), vk::VK_ESCAPE);
            }
        });
        injectStep([&] {
            view = bar().popup();
            rested = Clock::now();
            injectMoveToRow(*view, *view, 2);
        });
        bar().openMenu(1);
        backend.setPushObserver(nullptr);
        ASSERT_NE(languages, nullptr) << "the submenu opened";
        EXPECT_GE(opened - rested, kHoverDelay);
        EXPECT_GE(tookOver - restedAgain, kHoverDelay);
        EXPECT_EQ(menus, c.menus);
        EXPECT_EQ(viewHot, c.viewHot);
        EXPECT_TRUE(commands.empty());
        EXPECT_EQ(bar().openIndex(), -1);
    }
}

TEST_F(Menus, APopupThatClosesStopsItsTimersAndNothingIsPostedAfterwards)
{
    // Both waits under way (the pointer on Language, then on the Help title), then Esc.
    injectStep([&] {
        PopupMenu* view = bar().popup();
        injectMoveToRow(*view, *view, 2);
        injectMoveToTitle(*view, 2);
        injectKey(*view, vk::VK_ESCAPE);
    });
    bar().openMenu(1);
    EXPECT_EQ(bar().popup(), nullptr);
    std::this_thread::sleep_for(kHoverDelay + std::chrono::milliseconds(300));
    int invokes = 0;
    Message message;
    while (ui.peekMessage(message)) {
        invokes += message.message == msg::WM_INVOKE;
        ui.dispatch(message);
    }
    EXPECT_EQ(invokes, 0) << "a timer step was posted after its popup closed";
}

TEST_F(Menus, AltAloneEntersKeyboardNavigationAndDownOpensTheFileMenu)
{
    constexpr uint32_t kDown = msg::WM_KEYDOWN, kUp = msg::WM_KEYUP, kClick = msg::WM_LBUTTONDOWN;
    struct Step {
        uint32_t message;
        uint32_t key;
    };
    const Step altDown{kDown, vk::VK_MENU}, altUp{kUp, vk::VK_MENU};
    struct Case {
        const char* what;
        std::vector<Step> steps;
        bool navigating;
        int32_t hot;
    } cases[] = {
        {"Alt alone", {altDown, altUp}, true, 0},
        {"another key between", {altDown, {kDown, 'A'}, {kUp, 'A'}, altUp}, false, -1},
        {"a click between", {altDown, {kClick, 0}, altUp}, false, -1},
        {"the keyboard grabbed between", {altDown, {msg::WM_KILLFOCUS, 0}, altUp}, false, -1},
        {"Alt again leaves", {altDown, altUp, altDown, altUp}, false, -1},
        {"Esc leaves", {altDown, altUp, {kDown, vk::VK_ESCAPE}}, false, -1},
        {"Left from the first title", {altDown, altUp, {kDown, vk::VK_LEFT}}, true, 2},
        {"Right around the end",
         {altDown, altUp, {kDown, vk::VK_RIGHT}, {kDown, vk::VK_RIGHT}, {kDown, vk::VK_RIGHT}},
         true,
         0},
        {"another key leaves", {altDown, altUp, {kDown, 'A'}}, false, -1},
    };
    for (const Case& c : cases) {
        for (const Step& s : c.steps) {
            if (s.message == kClick)
                click(content->statusBar(), 10, 10);
            else
                key(s.message, s.key);
        }
        EXPECT_EQ((bar().state() & MenuBar::kKeyboardNavigation) != 0, c.navigating) << c.what;
        EXPECT_EQ(bar().hovered(), c.hot) << c.what;
        key(kDown, vk::VK_ESCAPE);
        EXPECT_EQ(bar().hovered(), -1) << c.what;
    }

    // Alt, then Down: File opens with its first item hot; Esc goes back to its title, Esc again
    // leaves.
    int32_t open = -1, hot = -1;
    injectStep([&] {
        open = bar().openIndex();
        hot = bar().popup()->hot();
        injectKey(*bar().popup(), vk::VK_ESCAPE);
    });
    key(kDown, vk::VK_MENU);
    key(kUp, vk::VK_MENU);
    key(kDown, vk::VK_DOWN);
    EXPECT_EQ(open, 0);
    EXPECT_EQ(hot, 0) << "Convert, enabled with the demo disc loaded";
    EXPECT_NE(bar().state() & MenuBar::kKeyboardNavigation, 0u);
    EXPECT_EQ(bar().hovered(), 0);
    key(kDown, vk::VK_ESCAPE);
    EXPECT_EQ(bar().state() & MenuBar::kKeyboardNavigation, 0u);
}

} // namespace
} // namespace tonvane
