// control-gallery OUTDIR: draws every control of the theme in every state it has into one PNG
// per family (frames, buttons, check boxes, progress bars, menus, lists and bars, text entries), headless, so
// the whole look can be seen at once.
#include "controls/theme/ControlTheme.h"
#include "controls/list/ItemList.h"
#include "controls/theme/StyleBits.h"
#include "graphics/image/PngEncoder.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/TextLayout.h"
#include "resources/skins/SkinResources.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

using namespace tonvane;
using namespace tonvane::style;

namespace {

constexpr uint32_t kBackdrop = 0xFFE9EDF2; // a window's content behind the controls

struct Sheet {
    const char* file;
    int32_t width;
    int32_t height;
    std::function<void(Surface&, const ControlTheme&)> draw;
};

void label(Surface& s, const ControlTheme& theme, const char16_t* text, double x, double y)
{
    s.font = theme.font();
    s.text_colour = 0xFF405060;
    drawText(s, text, -1, 0, x, y, x + 200, y + 14);
}

void frames(Surface& s, const ControlTheme& theme)
{
    const uint32_t buttons = kCloseButton | kMaximiseButton | kMinimiseButton;
    struct Case {
        uint32_t style;
        uint32_t hot;
        const char16_t* caption;
    };
    const Case cases[] = {
        {kSizable | kCaption | buttons, 0, u"Tonvane"},
        {kSizable | kCaption | buttons, 1, u"Close hot"},
        {kSizable | kCaption | buttons, 2, u"Maximise hot"},
        {kSizable | kCaption | buttons, 4, u"Minimise hot"},
        {kRounded | kCaption | kCloseButton, 1, u"Dialog, close only"},
        {kSizable | kCaption | buttons | kMaximised, 0, u"Maximised"},
        {kOuterBorder | kInnerBorder, 0, nullptr},
        {kSizable | kCaption | buttons | kVerticalScrollBar | kHorizontalScrollBar, 0, u"Scroll bars"},
    };
    for (int i = 0; i < 8; ++i) {
        double x = 10 + (i % 4) * 300, y = 180 - (i / 4) * 170;
        s.setOrigin(x, y);
        theme.drawFrame(s, 280, 150, cases[i].style, i != 3, cases[i].hot, nullptr, cases[i].caption);
        IntRect c = theme.contentRect(280, 150, cases[i].style);
        s.fillRectangle(c.x0, c.y0, c.x1, c.y1, 0x60FFFFFF);
        s.setOrigin(-x, -y);
    }
}

void buttons(Surface& s, const ControlTheme& theme)
{
    struct Case {
        uint32_t state;
        const char16_t* name;
    };
    const Case cases[] = {{0, u"Normal"}, {kHot, u"Hot"}, {kHot | kPressed, u"Pressed"}, {kPressed, u"Space-pressed"},
                          {kThemeDisabled, u"Disabled"}, {kFocused, u"Focused"}, {kCaptionLeft, u"Left"},
                          {kCaptionRight, u"Right"}};
    for (int i = 0; i < 8; ++i) {
        double x = 10 + (i % 4) * 130, y = 80 - (i / 4) * 40;
        theme.drawButton(s, {int32_t(x), int32_t(y), int32_t(x) + 120, int32_t(y) + 26}, cases[i].state, cases[i].name,
                         -1, -1, 0);
    }
    // With icons from the menu strip, with and without caption, normal and disabled.
    theme.drawButton(s, {10, 120, 130, 146}, 0, u"Save", -1, 1, 0);
    theme.drawButton(s, {140, 120, 260, 146}, kThemeDisabled, u"Save", -1, 1, 0);
    theme.drawButton(s, {270, 120, 300, 146}, kNoCaption, nullptr, -1, 12, 0);
    theme.drawButton(s, {310, 120, 430, 146}, kHot, u"Green face", -1, -1, 0xE040B060);
}

void checkBoxes(Surface& s, const ControlTheme& theme)
{
    const uint32_t states[] = {0, kHot, kTicked, kTicked | kHot, kThemeDisabled, kThemeDisabled | kTicked};
    const char16_t* names[] = {u"Off", u"Hot", u"Ticked", u"Ticked hot", u"Disabled", u"Disabled ticked"};
    for (int i = 0; i < 6; ++i) {
        int32_t x = 10 + (i % 3) * 130, y = 40 - (i / 3) * 28;
        theme.drawCheckBox(s, {x, y, x + 16, y + 22}, states[i]);
        label(s, theme, names[i], x + 22, y + 4);
    }
}

// One-line text entries: empty, focused with a caret, a selection, scrolled text, disabled.
void entries(Surface& s, const ControlTheme& theme)
{
    struct Case {
        const char16_t* name;
        TextEntryLook look;
    };
    const std::u16string accented = u"Cafe\u0301 del Mar \u2013 Nin\u0303o";
    const std::u16string longText = u"A title far wider than its field, scrolled to keep the caret in view";
    const Case cases[] = {
        {u"Empty", {}},
        {u"Focused, caret", {accented, 0, 0, 0, 58, true, kFocused}},
        {u"Selection", {accented, 0, 0, 45, 45, false, kFocused}},
        {u"Scrolled", {longText, 150, 0, 0, 355, true, kFocused}},
        {u"Unfocused selection", {accented, 0, 20, 45, 0, false, 0}},
        {u"Disabled", {accented, 0, 0, 0, 0, false, kThemeDisabled}},
    };
    for (int i = 0; i < 6; ++i) {
        int32_t y = 170 - i * 30;
        theme.drawTextEntry(s, {130, y, 370, y + 22}, cases[i].look);
        label(s, theme, cases[i].name, 10, y + 4);
    }
}

void progress(Surface& s, const ControlTheme& theme)
{
    const double fractions[] = {0, 0.37, 1, 1.5};
    const char16_t* names[] = {u"0", u"0.37", u"1", u"1.5"};
    for (int i = 0; i < 4; ++i) {
        int32_t y = 100 - i * 28;
        theme.drawProgress(s, {60, y, 360, y + 14}, fractions[i], i == 2 ? palette::kProgressComplete : 0xFF3080D0u);
        label(s, theme, names[i], 10, y);
    }
}

void menus(Surface& s, const ControlTheme& theme)
{
    theme.drawMenuBar(s, {0, 220, 420, 242});
    const char16_t* titles[] = {u"File", u"View", u"Options", u"Help"};
    const uint32_t titleStates[] = {kPressed, kHot, 0, kThemeDisabled};
    for (int i = 0; i < 4; ++i)
        theme.drawMenuBarItem(s, {4 + i * 70, 222, 68 + i * 70, 240}, titleStates[i], titles[i]);
    theme.drawPanel(s, {4, 10, 220, 216}, 0);
    struct Item {
        uint32_t state;
        const char16_t* text;
        int32_t icon;
    };
    const Item items[] = {{0, u"Convert\tCtrl+R", 1},        {kHot, u"Consult FreeDB", 12}, {kSeparator, nullptr, -1},
                          {kSubmenu, u"Language", 4},          {kHot | kSubmenu, u"Options", 2},
                          {kThemeDisabled, u"Check for updates...", 12}, {0, u"Exit\tAlt+F4", 0}};
    int32_t top = 212;
    for (const Item& item : items) {
        int32_t h = (item.state & kSeparator) ? metrics::kMenuSeparator : 22;
        theme.drawMenuItem(s, {8, top - h, 216, top}, item.state, item.text, -1, item.icon);
        top -= h;
    }
    theme.drawPanel(s, {240, 120, 410, 200}, 6);
}

void lists(Surface& s, const ControlTheme& theme)
{
    theme.drawDropDownBox(s, {10, 200, 230, 222}, 0, u"Album closed", -1);
    theme.drawDropDownBox(s, {240, 200, 460, 222}, kHot, u"Album hot or open", -1);
    theme.drawDropDownBox(s, {10, 170, 230, 192}, kThemeDisabled, u"Disabled", -1);
    const char16_t* rows[] = {u"First match", u"Second match (selected)", u"Third match"};
    for (int i = 0; i < 3; ++i)
        theme.drawDropListRow(s, {240, 168 - i * 20, 460, 188 - i * 20}, i == 1 ? kSelected : 0, rows[i], -1);
    theme.drawTreeItem(s, {10, 120, 230, 140}, 0, u"Collapsed item", -1, 3);
    theme.drawTreeItem(s, {10, 98, 230, 118}, kSubmenu | kSelected, u"Expanded, selected", -1, 12);
    theme.drawFace(s, {240, 76, 256, 120}, 0, palette::kButtonFace, 0, 1.0);
    theme.drawFace(s, {262, 76, 278, 120}, 0, palette::kButtonFace, kHot, 1.0);
    theme.drawFace(s, {284, 76, 300, 120}, 1, palette::kButtonFace, kThemeDisabled, 0.6);
    theme.drawStatusBar(s, {0, 0, 470, 26}, true);
    theme.drawStatusPane(s, {4, 3, 300, 23}, u"Connected to FreeDB", -1, 12);
    theme.drawStatusPane(s, {304, 3, 440, 23}, u"01:23", -1, -1);
    theme.drawStatusBar(s, {0, 40, 470, 66}, false);
}

// Item lists without bars, with the vertical bar (hot) and with both, rows drawn by the owner.
void itemLists(Surface& s, const ControlTheme& theme)
{
    struct Case {
        int32_t items;
        int32_t contentWidth;
        double vertical;
    };
    const Case cases[] = {{3, 0, 1}, {20, 0, 0.4}, {20, 300, 0}};
    for (int i = 0; i < 3; ++i) {
        ItemList list(nullptr);
        list.create(0, 0, 200, 120, kVisible);
        list.setCellSize(200, 22);
        list.setContentWidth(cases[i].contentWidth);
        list.setItemCount(cases[i].items);
        list.setPositions(0.1, cases[i].vertical);
        ItemList::Routines routines;
        routines.drawItem = [&](Surface& surface, int32_t index, const IntRect& rect) {
            std::u16string text = u"Track " + std::u16string(1, char16_t(u'A' + index));
            theme.drawDropListRow(surface, rect, index == 2 ? kSelected : 0, text.c_str(), -1);
        };
        list.setRoutines(routines);
        double x = 10 + i * 215;
        s.setOrigin(x, 10);
        s.setClip(0, 0, 200, 120);
        list.paint(s);
        s.setOrigin(-x, -10);
        s.setClip(0, 0, 660, 140);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: control-gallery OUTDIR\n");
        return 2;
    }
    std::string folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    ControlTheme theme;
    setControlTheme(&theme);
    ImageStrip icons;
    icons.load(256);
    theme.setIconImage(&icons, 16);
    ImagePtr logo = loadImageFromMemory(productLogoPng());
    theme.setCaptionIcon(logo.get());
    const Sheet sheets[] = {{"frames.png", 1210, 350, frames},      {"buttons.png", 540, 160, buttons},
                            {"checkboxes.png", 400, 80, checkBoxes}, {"progress.png", 380, 130, progress},
                            {"menus.png", 420, 250, menus},          {"lists.png", 470, 232, lists},          {"itemlists.png", 660, 140, itemLists}, {"entries.png", 380, 200, entries}};
    int failures = 0;
    for (const Sheet& sheet : sheets) {
        Surface surface(1);
        if (!surface.setSize(sheet.width, sheet.height)) {
            ++failures;
            continue;
        }
        surface.begin();
        surface.fillRectangle(0, 0, sheet.width, sheet.height, kBackdrop);
        sheet.draw(surface, theme);
        surface.render();
        std::string path = folder + "/" + sheet.file;
        if (!writeSurfacePng(surface, sheet.width, sheet.height, path)) {
            std::fprintf(stderr, "control-gallery: cannot write %s\n", path.c_str());
            ++failures;
            continue;
        }
        std::printf("%s\n", path.c_str());
    }
    return failures == 0 ? 0 : 1;
}
