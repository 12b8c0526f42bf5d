// The one-line text entry: grapheme boundaries, typing, deleting, selecting, the clipboard and
// primary selection through the headless backend's in-process selections, the caret's blink on
// the window's clock, and what the theme draws (pixels).
#include "ControlsFixture.h"

#include "controls/entry/TextBoundaries.h"
#include "controls/entry/TextEntry.h"
#include "controls/theme/StyleBits.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/message/TextMessage.h"

#include <string>
#include <vector>

namespace tonvane {
namespace {

namespace tb = text_boundaries;
using namespace style;
using testing::ControlsFixture;

const std::string kEAcuteDecomposed = "e\xCC\x81"; // e + U+0301
const std::string kThumbsUpMedium = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"; // U+1F44D U+1F3FD
const std::string kGrinning = "\xF0\x9F\x98\x80"; // U+1F600, a surrogate pair in UTF-16
const std::string kWomanGirl = "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"; // U+1F469 ZWJ U+1F467
const std::string kReplacement = "\xEF\xBF\xBD";

struct BoundaryCase {
    std::string text;
    std::vector<size_t> boundaries; // every grapheme boundary after 0, in order
};

TEST(TextBoundaries, GraphemesHoldTheirMarksModifiersAndJoinedCharacters)
{
    const std::vector<BoundaryCase> cases = {
        {"abc", {1, 2, 3}},
        {kEAcuteDecomposed + "x", {3, 4}},
        {"a\xCC\x81\xCC\xA3" "b", {5, 6}}, // two marks on one base
        {"x" + kThumbsUpMedium, {1, 9}},
        {kWomanGirl + "!", {11, 12}},
        {"\xE2\x9D\xA4\xEF\xB8\x8F" "a", {6, 7}}, // U+2764 with a variation selector
        {"\xE3\x81\x8B\xE3\x82\x99", {6}}, // ka + combining voiced sound mark
        {"q\xE1\xAA\xB0\xE1\xB7\x80\xE2\x83\x90\xEF\xB8\xA0", {13}}, // marks of the four other blocks
        {"\xC3\xA9" + kGrinning, {2, 6}},
    };
    for (const BoundaryCase& c : cases) {
        std::vector<size_t> forward;
        for (size_t at = tb::nextGrapheme(c.text, 0);; at = tb::nextGrapheme(c.text, at)) {
            forward.push_back(at);
            if (at >= c.text.size())
                break;
        }
        EXPECT_EQ(forward, c.boundaries) << c.text;
        std::vector<size_t> backward;
        for (size_t at = c.text.size(); at > 0; at = tb::previousGrapheme(c.text, at))
            backward.insert(backward.begin(), at);
        EXPECT_EQ(backward, c.boundaries) << c.text;
        for (size_t at = 0; at <= c.text.size(); ++at) {
            bool listed = at == 0 || std::find(c.boundaries.begin(), c.boundaries.end(), at) != c.boundaries.end();
            EXPECT_EQ(tb::isGraphemeBoundary(c.text, at), listed) << c.text << " at " << at;
        }
    }
}

TEST(TextBoundaries, TextFromOutsideIsCleanedForOneLine)
{
    struct Case {
        std::string in;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"line one\nline two", "line one line two"},
        {"a\r\nb\rc", "a b c"},
        {"tab\there", "tab here"},
        {"bell\x07 nul", "bell nul"},
        {std::string("a\0b", 3), "ab"},
        {"del\x7F" "x", "delx"},
        {"c1\xC2\x85" "x", "c1x"}, // U+0085
        {"ab\xFF" "cd", "ab" + kReplacement + "cd"},
        {"cut\xE2\x82", "cut" + kReplacement + kReplacement},
        {"\xC0\xAF", kReplacement + kReplacement}, // overlong '/'
        {"\xED\xA0\x80", kReplacement + kReplacement + kReplacement}, // a UTF-16 surrogate
        {"\xCC\x81" "alone", "alone"}, // a mark with nothing before it
        {kEAcuteDecomposed, kEAcuteDecomposed},
        {kWomanGirl, kWomanGirl},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tb::cleanTypedText(c.in), c.out) << c.in;
    EXPECT_EQ(tb::cleanTypedText("\xCC\x81", true), "\xCC\x81"); // joins the character before it
}

TEST(TextBoundaries, CutsFallBetweenGraphemes)
{
    std::string text = "ab" + kEAcuteDecomposed + kThumbsUpMedium;
    EXPECT_EQ(tb::graphemeCut(text, 100), text.size());
    EXPECT_EQ(tb::graphemeCut(text, 4), 2u);
    EXPECT_EQ(tb::graphemeCut(text, 5), 5u);
    EXPECT_EQ(tb::graphemeCut(text, 12), 5u);
    EXPECT_EQ(tb::graphemeCut(text, 13), 13u);
}

TEST(TextMessages, LongTextIsSplitBetweenCodePointsAndComesBackWhole)
{
    std::string text = "abcdefg" + kGrinning + kEAcuteDecomposed + "\xE6\x97\xA5\xE6\x9C\xAC";
    std::vector<Message> messages = textMessages(7, text);
    std::string joined;
    for (const Message& m : messages) {
        EXPECT_EQ(m.message, msg::WM_CHAR);
        EXPECT_EQ(m.window, 7u);
        std::string part = textOf(m);
        EXPECT_LE(part.size(), kTextBytesPerMessage);
        EXPECT_EQ(tb::cleanTypedText(part, true), part) << "a part split a sequence";
        joined += part;
    }
    EXPECT_EQ(joined, text);
    EXPECT_TRUE(textOf(Message{7, msg::WM_KEYDOWN, 0x41, 1}).empty());
}

struct TextEntries : ControlsFixture {
    TextEntry entry{&content.root()};
    int accepted = 0;
    int cancelled = 0;
    std::vector<bool> tabs;
    static constexpr int32_t kEntryLeft = 40;
    static constexpr int32_t kEntryBottom = 120;
    static constexpr int32_t kEntryWidth = 200;
    static constexpr int32_t kEntryHeight = 22;

    void SetUp() override
    {
        ControlsFixture::SetUp();
        content.layout(kWidth, kHeight);
        entry.create(kEntryLeft, kEntryBottom, kEntryWidth, kEntryHeight, kVisible);
        TextEntry::Routines routines;
        routines.onAccept = [this] { ++accepted; };
        routines.onCancel = [this] { ++cancelled; };
        routines.onTab = [this](bool backwards) { tabs.push_back(backwards); };
        entry.setRoutines(routines);
        entry.takeFocus();
    }
    void type(const std::string& text)
    {
        for (const Message& m : textMessages(window.id(), text))
            ui.dispatch(m);
    }
    void press(uint32_t virtualKey, uint32_t modifiers = 0)
    {
        backend.setModifiers(modifiers);
        key(msg::WM_KEYDOWN, virtualKey);
        key(msg::WM_KEYUP, virtualKey);
        backend.setModifiers(0);
    }
    // Runs the window's loop once: scheduled steps that are due, then one posted no-op.
    void pump()
    {
        ui.post(window.id(), [] {});
        Message m;
        ASSERT_TRUE(ui.getMessage(m));
        ui.dispatch(m);
    }
    // Top-down picture row of a content y (up from the content's bottom).
    uint32_t pixel(int32_t x, int32_t y)
    {
        HeadlessBackend::WindowRecord record = backend.window(window.id());
        return record.pixel(LayeredWindow::kMarginLeft + x, LayeredWindow::kMarginTop + kHeight - 1 - y);
    }
    // Rows of an entry column (x from its left) in the selection's pale blue: neither white
    // field nor dark ink nor the frame's edge.
    int selectionRows(int32_t x)
    {
        int rows = 0;
        for (int32_t y = 3; y < kEntryHeight - 3; ++y) {
            uint32_t p = pixel(kEntryLeft + x, kEntryBottom + y);
            uint32_t b = p & 0xFF, g = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
            rows += b > 0x90 && b < 0xF0 && b > g && g > r ? 1 : 0;
        }
        return rows;
    }
    // Columns of the entry's middle row darker than mid-grey.
    std::vector<int32_t> darkColumns()
    {
        window.repaint();
        std::vector<int32_t> columns;
        int32_t y = kEntryBottom + kEntryHeight / 2;
        for (int32_t x = kEntryLeft + 2; x < kEntryLeft + kEntryWidth - 2; ++x) {
            uint32_t p = pixel(x, y);
            if (((p >> 16) & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60)
                columns.push_back(x - kEntryLeft);
        }
        return columns;
    }
};

TEST_F(TextEntries, TypedTextGoesInAtTheCaretAndBackspaceTakesTheWholeGrapheme)
{
    type("Caf" + kEAcuteDecomposed);
    EXPECT_EQ(entry.text(), "Caf" + kEAcuteDecomposed);
    EXPECT_EQ(entry.caret(), entry.text().size());
    press(vk::VK_BACK);
    EXPECT_EQ(entry.text(), "Caf") << "the mark went without its e, or the e without its mark";
    // A mark typed on its own joins the character before the caret.
    type("e");
    type("\xCC\x81");
    EXPECT_EQ(entry.text(), "Caf" + kEAcuteDecomposed);
    press(vk::VK_LEFT);
    EXPECT_EQ(entry.caret(), 3u);
    press(vk::VK_HOME);
    type("\xC2\xBB ");
    EXPECT_EQ(entry.text(), "\xC2\xBB Caf" + kEAcuteDecomposed);
}

TEST_F(TextEntries, DeleteBeforeAnEmojiTakesAllOfItsBytes)
{
    entry.setText("a" + kGrinning + kThumbsUpMedium + "b");
    press(vk::VK_HOME);
    press(vk::VK_RIGHT);
    press(vk::VK_DELETE);
    EXPECT_EQ(entry.text(), "a" + kThumbsUpMedium + "b");
    press(vk::VK_DELETE);
    EXPECT_EQ(entry.text(), "ab") << "the skin tone is part of the thumb";
    press(vk::VK_END);
    press(vk::VK_DELETE);
    EXPECT_EQ(entry.text(), "ab");
}

TEST_F(TextEntries, CaretAndShiftSelectionMoveByGrapheme)
{
    entry.setText("x" + kWomanGirl + kEAcuteDecomposed + "y");
    press(vk::VK_LEFT);
    press(vk::VK_LEFT);
    EXPECT_EQ(entry.caret(), 12u);
    press(vk::VK_LEFT, mod::kShift | mod::kLeftShift);
    EXPECT_EQ(entry.selectionStart(), 1u);
    EXPECT_EQ(entry.selectionEnd(), 12u);
    EXPECT_EQ(entry.selectedText(), kWomanGirl);
    // A selection made is the primary selection.
    EXPECT_EQ(backend.selectionText(TextSelection::Primary), kWomanGirl);
    press(vk::VK_RIGHT);
    EXPECT_FALSE(entry.hasSelection());
    EXPECT_EQ(entry.caret(), 12u);
    // Shift+Home selects back to the start, and typing replaces the selection.
    press(vk::VK_HOME, mod::kShift | mod::kRightShift);
    EXPECT_EQ(entry.selectionStart(), 0u);
    EXPECT_EQ(entry.selectionEnd(), 12u);
    type("Z");
    EXPECT_EQ(entry.text(), "Z" + kEAcuteDecomposed + "y");
    press(vk::VK_END, mod::kShift);
    press(vk::VK_BACK);
    EXPECT_EQ(entry.text(), "Z");
    // Offsets inside a grapheme snap back to its start.
    entry.setText(kEAcuteDecomposed + "z");
    entry.select(2, 1);
    EXPECT_EQ(entry.anchor(), 0u);
    EXPECT_EQ(entry.caret(), 0u);
}

TEST_F(TextEntries, TextStopsAtTheByteLimitOnAGraphemeBoundary)
{
    entry.setText(std::string(1030, 'a'));
    EXPECT_EQ(entry.text().size(), TextEntry::kMaxBytes);
    entry.setText(std::string(1021, 'a'));
    type(kEAcuteDecomposed); // 3 bytes: fits exactly
    EXPECT_EQ(entry.text().size(), 1024u);
    press(vk::VK_BACK);
    press(vk::VK_BACK);
    EXPECT_EQ(entry.text().size(), 1020u);
    // Five bytes of room: "b" and e + U+0301 fit, the emoji after them does not, nor half of it.
    entry.insert("b" + kEAcuteDecomposed + kGrinning + "c");
    EXPECT_EQ(entry.text(), std::string(1020, 'a') + "b" + kEAcuteDecomposed);
    type("d");
    EXPECT_EQ(entry.text().size(), 1024u);
    // A pasted text past the limit is cut between graphemes, never inside a sequence.
    entry.setText(std::string(1022, 'a'));
    backend.setSelectionText(TextSelection::Clipboard, kEAcuteDecomposed + "z");
    press('V', mod::kCtrl);
    EXPECT_EQ(entry.text(), std::string(1022, 'a')) << "e without its mark, or a cut mark";
}

TEST_F(TextEntries, ClipboardRoundTripThroughCopyCutAndPaste)
{
    entry.setText("Bl\xC3\xA5 d\xC3\xB8r");
    press('A', mod::kCtrl);
    press('C', mod::kCtrl);
    EXPECT_EQ(backend.selectionText(TextSelection::Clipboard), "Bl\xC3\xA5 d\xC3\xB8r");
    press(vk::VK_END);
    press(vk::VK_LEFT, mod::kShift);
    press(vk::VK_LEFT, mod::kShift); // "ør" selected
    press('X', mod::kCtrl);
    EXPECT_EQ(entry.text(), "Bl\xC3\xA5 d");
    EXPECT_EQ(backend.selectionText(TextSelection::Clipboard), "\xC3\xB8r");
    press(vk::VK_HOME);
    press('V', mod::kCtrl);
    EXPECT_EQ(entry.text(), "\xC3\xB8rBl\xC3\xA5 d");
    // Ctrl and Alt combinations type nothing.
    backend.setModifiers(mod::kCtrl);
    type("v");
    backend.setModifiers(0);
    EXPECT_EQ(entry.text(), "\xC3\xB8rBl\xC3\xA5 d");
}

TEST_F(TextEntries, PastedLineBreaksBecomeSpacesAndControlsAndBadBytesAreNotKept)
{
    backend.setSelectionText(TextSelection::Clipboard, "One\r\nTwo\nThree\x07\x1B[0m\xFF");
    press('V', mod::kCtrl);
    EXPECT_EQ(entry.text(), "One Two Three[0m" + kReplacement);
    // Nothing on the clipboard: nothing changes.
    entry.setText("kept");
    backend.setSelectionText(TextSelection::Clipboard, "");
    press('V', mod::kCtrl);
    EXPECT_EQ(entry.text(), "kept");
}

TEST_F(TextEntries, MiddleButtonPastesThePrimarySelectionWhereItIsPressed)
{
    entry.setText("ab");
    backend.setSelectionText(TextSelection::Primary, "XY");
    // Left of the first character: the caret goes to the start.
    pointer(msg::WM_MBUTTONDOWN, kEntryLeft + 2, kEntryBottom + 10);
    pointer(msg::WM_MBUTTONUP, kEntryLeft + 2, kEntryBottom + 10);
    EXPECT_EQ(entry.text(), "XYab");
    // A drag with the left button selects, and the selection becomes the primary one.
    double end = entry.offsetX(entry.text().size());
    pointer(msg::WM_LBUTTONDOWN, kEntryLeft + 2, kEntryBottom + 10);
    pointer(msg::WM_MOUSEMOVE, kEntryLeft + metrics::kEntryPadding + int32_t(end) + 30, kEntryBottom + 10);
    pointer(msg::WM_LBUTTONUP, kEntryLeft + metrics::kEntryPadding + int32_t(end) + 30, kEntryBottom + 10);
    EXPECT_EQ(entry.selectedText(), "XYab");
    EXPECT_EQ(backend.selectionText(TextSelection::Primary), "XYab");
}

TEST_F(TextEntries, ReturnEscAndTabGoToTheOwner)
{
    press(vk::VK_RETURN);
    press(vk::VK_ESCAPE);
    press(vk::VK_TAB);
    press(vk::VK_TAB, mod::kShift | mod::kLeftShift);
    EXPECT_EQ(accepted, 1);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(tabs, (std::vector<bool>{false, true}));
    EXPECT_TRUE(entry.hasFocus()) << "Tab moved the focus away from an entry that takes it";
}

TEST_F(TextEntries, TheThemeDrawsTheCaretTheSelectionAndScrollsLongText)
{
    entry.setText("Hi");
    std::vector<int32_t> dark = darkColumns();
    ASSERT_FALSE(dark.empty()) << "no text or caret drawn";
    int32_t caret = metrics::kEntryPadding + int32_t(std::lround(entry.offsetX(2)));
    EXPECT_NE(std::find(dark.begin(), dark.end(), caret), dark.end()) << "no caret after the text";
    // The caret blinks on the window's clock: off after 530 ms, on again after 530 more.
    clock.advanceMs(531);
    pump();
    EXPECT_FALSE(entry.caretShown());
    dark = darkColumns();
    EXPECT_EQ(std::find(dark.begin(), dark.end(), caret), dark.end()) << "the caret did not blink";
    clock.advanceMs(531);
    pump();
    EXPECT_TRUE(entry.caretShown());
    // A selection is filled with the list selection's colour.
    press('A', mod::kCtrl);
    window.repaint();
    EXPECT_GE(selectionRows(metrics::kEntryPadding + 1), 3) << "selection not drawn";
    EXPECT_EQ(selectionRows(kEntryWidth - 10), 0) << "the field right of the text is white";
    press(vk::VK_END);
    window.repaint();
    EXPECT_EQ(selectionRows(metrics::kEntryPadding + 1), 0) << "selection left behind";
    // A text wider than the field scrolls to keep the caret in it.
    entry.setText(std::string(120, 'W'));
    EXPECT_GT(entry.scroll(), 0);
    double caretInField = metrics::kEntryPadding + entry.offsetX(entry.caret()) - entry.scroll();
    EXPECT_GT(caretInField, kEntryWidth / 2);
    EXPECT_LT(caretInField, kEntryWidth - metrics::kEntryPadding + 1);
    press(vk::VK_HOME);
    EXPECT_EQ(entry.scroll(), 0);
    // Unfocused: no caret and no accent ring.
    content.root().takeFocus();
    entry.setText("");
    EXPECT_TRUE(darkColumns().empty());
}

// An empty entry shows its placeholder in grey ink (no dark pixel of text); the first character
// typed replaces it with the text in dark ink; emptied, the grey comes back.
TEST_F(TextEntries, AnEmptyEntryShowsItsPlaceholderInGrey)
{
    auto greyColumns = [this] {
        window.repaint();
        int columns = 0;
        for (int32_t x = kEntryLeft + metrics::kEntryPadding; x < kEntryLeft + kEntryWidth - 4; ++x) {
            bool grey = false;
            for (int32_t y = kEntryBottom + 4; y < kEntryBottom + kEntryHeight - 4; ++y) {
                uint32_t p = pixel(x, y);
                uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                grey = grey || (r > 0x70 && r < 0xD8 && std::max({r, g, b}) - std::min({r, g, b}) < 0x18);
            }
            columns += grey ? 1 : 0;
        }
        return columns;
    };
    content.root().takeFocus(); // no caret: only the text's own ink
    EXPECT_EQ(greyColumns(), 0) << "an empty entry without a placeholder is white";
    entry.setPlaceholder(u"gnudb.gnudb.org:8880");
    EXPECT_GT(greyColumns(), 40) << "no placeholder drawn";
    EXPECT_TRUE(darkColumns().empty()) << "the placeholder is not drawn in the text's ink";
    EXPECT_EQ(entry.text(), "") << "the placeholder is not text";
    entry.takeFocus();
    type("x");
    EXPECT_EQ(entry.text(), "x");
    content.root().takeFocus();
    EXPECT_FALSE(darkColumns().empty()) << "the typed text in dark ink";
    EXPECT_LT(greyColumns(), 10) << "the placeholder is gone once text is typed";
    entry.setText("");
    EXPECT_GT(greyColumns(), 40);
}

} // namespace
} // namespace tonvane
