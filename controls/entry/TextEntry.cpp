#include "controls/entry/TextEntry.h"

#include "controls/entry/TextBoundaries.h"
#include "controls/theme/ControlTheme.h"
#include "controls/theme/StyleBits.h"
#include "controls/widget/WidgetWindow.h"
#include "core/foundation/Utf.h"
#include "graphics/text/Font.h"
#include "graphics/text/TextLayout.h"
#include "windowing/animation/AnimationClock.h"
#include "windowing/loop/UiThread.h"
#include "windowing/message/KeyCodes.h"
#include "windowing/window/LayeredWindow.h"

#include <algorithm>
#include <cmath>

namespace tonvane {

namespace tb = text_boundaries;

namespace {

constexpr double kCaretRoom = 2; // [pixels] kept free right of the caret when scrolling

} // namespace

TextEntry::TextEntry(Widget* parent) : Widget(parent), m_font(getFont(u"Tahoma", 8, false, false)) {}

TextEntry::~TextEntry()
{
    stopBlink();
}

WindowBackend* TextEntry::backend() const
{
    WidgetWindow* host = window();
    return host != nullptr && host->window() != nullptr ? &host->window()->ui().backend() : nullptr;
}

WindowId TextEntry::windowId() const
{
    WidgetWindow* host = window();
    return host != nullptr && host->window() != nullptr ? host->window()->id() : kNoWindow;
}

uint32_t TextEntry::modifiers() const
{
    WindowBackend* system = backend();
    return system != nullptr ? system->modifierState() : 0;
}

void TextEntry::setText(std::string_view utf8)
{
    std::string clean = tb::cleanTypedText(utf8);
    clean.resize(tb::graphemeCut(clean, kMaxBytes));
    m_text = std::move(clean);
    m_caret = m_anchor = m_text.size();
    m_scroll = 0;
    scrollToCaret();
    requestRepaint();
}

void TextEntry::setPlaceholder(std::u16string placeholder)
{
    m_placeholder = std::move(placeholder);
    requestRepaint();
}

std::string TextEntry::selectedText() const
{
    return m_text.substr(selectionStart(), selectionEnd() - selectionStart());
}

void TextEntry::select(size_t anchor, size_t caret)
{
    auto snap = [this](size_t at) {
        at = std::min(at, m_text.size());
        return tb::isGraphemeBoundary(m_text, at) ? at : tb::previousGrapheme(m_text, at);
    };
    m_anchor = snap(anchor);
    m_caret = snap(caret);
    scrollToCaret();
    restartBlink();
    requestRepaint();
}

void TextEntry::selectAll()
{
    select(0, m_text.size());
    offerPrimary();
}

bool TextEntry::insert(std::string_view utf8)
{
    size_t start = selectionStart(), end = selectionEnd();
    std::string clean = tb::cleanTypedText(utf8, start > 0);
    size_t room = kMaxBytes - (m_text.size() - (end - start));
    if (clean.size() > room) {
        // Cut at a grapheme boundary of what goes in, as it will sit after the text before it.
        clean.resize(tb::graphemeCut(clean, room));
    }
    if (clean.empty())
        return false;
    m_text.replace(start, end - start, clean);
    m_caret = m_anchor = start + clean.size();
    // A mark that joined the character before it keeps the caret after both.
    if (!tb::isGraphemeBoundary(m_text, m_caret))
        m_caret = m_anchor = tb::nextGrapheme(m_text, tb::previousGrapheme(m_text, m_caret));
    changed();
    return true;
}

void TextEntry::deleteRange(size_t start, size_t end)
{
    if (end <= start)
        return;
    m_text.erase(start, end - start);
    m_caret = m_anchor = start;
    changed();
}

void TextEntry::changed()
{
    scrollToCaret();
    restartBlink();
    requestRepaint();
    if (m_routines.onChange)
        m_routines.onChange();
}

void TextEntry::copyToClipboard()
{
    WindowBackend* system = backend();
    if (system != nullptr && hasSelection())
        system->offerText(windowId(), TextSelection::Clipboard, selectedText());
}

void TextEntry::cutToClipboard()
{
    if (!hasSelection())
        return;
    copyToClipboard();
    deleteRange(selectionStart(), selectionEnd());
}

void TextEntry::paste(TextSelection from)
{
    WindowBackend* system = backend();
    if (system == nullptr)
        return;
    std::optional<std::string> text = system->readText(windowId(), from);
    if (text)
        insert(*text);
}

void TextEntry::offerPrimary()
{
    WindowBackend* system = backend();
    if (system != nullptr && hasSelection())
        system->offerText(windowId(), TextSelection::Primary, selectedText());
}

void TextEntry::moveCaret(size_t to, bool extend)
{
    m_caret = to;
    if (!extend)
        m_anchor = to;
    scrollToCaret();
    restartBlink();
    requestRepaint();
    if (extend)
        offerPrimary();
}

bool TextEntry::onKeyDown(uint32_t key)
{
    uint32_t held = modifiers();
    bool shift = (held & mod::kShift) != 0;
    bool ctrl = (held & mod::kCtrl) != 0;
    if (ctrl) {
        switch (key) {
        case 'A':
            selectAll();
            return true;
        case 'C':
            copyToClipboard();
            return true;
        case 'X':
            cutToClipboard();
            return true;
        case 'V':
            paste(TextSelection::Clipboard);
            return true;
        default:
            break;
        }
    }
    switch (key) {
    case vk::VK_LEFT:
        if (hasSelection() && !shift)
            moveCaret(selectionStart(), false);
        else
            moveCaret(ctrl ? tb::wordStart(m_text, tb::previousGrapheme(m_text, m_caret))
                           : tb::previousGrapheme(m_text, m_caret),
                      shift);
        return true;
    case vk::VK_RIGHT:
        if (hasSelection() && !shift)
            moveCaret(selectionEnd(), false);
        else
            moveCaret(ctrl ? tb::wordEnd(m_text, tb::nextGrapheme(m_text, m_caret)) : tb::nextGrapheme(m_text, m_caret),
                      shift);
        return true;
    case vk::VK_HOME:
        moveCaret(0, shift);
        return true;
    case vk::VK_END:
        moveCaret(m_text.size(), shift);
        return true;
    case vk::VK_BACK:
        if (hasSelection())
            deleteRange(selectionStart(), selectionEnd());
        else
            deleteRange(tb::previousGrapheme(m_text, m_caret), m_caret);
        return true;
    case vk::VK_DELETE:
        if (hasSelection())
            deleteRange(selectionStart(), selectionEnd());
        else
            deleteRange(m_caret, tb::nextGrapheme(m_text, m_caret));
        return true;
    case vk::VK_INSERT:
        if (shift)
            paste(TextSelection::Clipboard);
        else if (ctrl)
            copyToClipboard();
        return true;
    case vk::VK_RETURN:
        if (m_routines.onAccept)
            m_routines.onAccept();
        return true;
    case vk::VK_ESCAPE:
        if (m_routines.onCancel)
            m_routines.onCancel();
        return true;
    case vk::VK_TAB:
        if (!m_routines.onTab)
            return false;
        m_routines.onTab(shift);
        return true;
    default:
        return false;
    }
}

bool TextEntry::onText(std::string_view text)
{
    // Ctrl and Alt combinations are commands, not text.
    if ((modifiers() & (mod::kCtrl | mod::kAlt)) != 0)
        return false;
    return insert(text);
}

void TextEntry::onMouse(MouseAction action, int32_t x, int32_t y)
{
    (void)y;
    switch (action) {
    case MouseAction::LeftDown:
        if (!isInteractive())
            return;
        takeFocus();
        takeCapture(true, CaptureHold::Grab);
        m_dragging = true;
        moveCaret(offsetAt(x), (modifiers() & mod::kShift) != 0);
        return;
    case MouseAction::LeftDouble: {
        if (!isInteractive())
            return;
        takeFocus();
        size_t at = offsetAt(x);
        select(tb::wordStart(m_text, at), tb::wordEnd(m_text, at));
        offerPrimary();
        return;
    }
    case MouseAction::Move:
        if (m_dragging && hasCapture())
            moveCaret(offsetAt(x), true);
        return;
    case MouseAction::LeftUp:
        if (m_dragging) {
            m_dragging = false;
            releaseCapture();
            offerPrimary();
        }
        return;
    case MouseAction::MiddleDown:
        if (!isInteractive())
            return;
        takeFocus();
        moveCaret(offsetAt(x), false);
        paste(TextSelection::Primary);
        return;
    default:
        return;
    }
}

void TextEntry::focusChanged(bool focused)
{
    if (focused)
        restartBlink();
    else
        stopBlink();
    requestRepaint();
    if (!focused && m_routines.onFocusLost)
        m_routines.onFocusLost();
}

double TextEntry::offsetX(size_t offset) const
{
    Font* font = m_font.get();
    if (font == nullptr || offset == 0)
        return 0;
    std::u16string head = utf8ToUtf16(std::string_view(m_text).substr(0, std::min(offset, m_text.size())));
    constexpr double kUnbounded = 1e9; // [pixels]
    return measureLine(*font, head.data(), uint32_t(head.size()), kUnbounded).width;
}

size_t TextEntry::offsetAt(int32_t x) const
{
    double target = x - metrics::kEntryPadding + m_scroll;
    size_t best = 0;
    double bestDistance = std::abs(target);
    for (size_t at = tb::nextGrapheme(m_text, 0); at > 0; at = tb::nextGrapheme(m_text, at)) {
        double distance = std::abs(offsetX(at) - target);
        if (distance < bestDistance) {
            best = at;
            bestDistance = distance;
        }
        if (at >= m_text.size())
            break;
    }
    return best;
}

void TextEntry::scrollToCaret()
{
    double room = width() - 2.0 * metrics::kEntryPadding;
    if (room <= 0)
        return;
    double caretX = offsetX(m_caret);
    double textWidth = offsetX(m_text.size());
    if (caretX - m_scroll > room - kCaretRoom)
        m_scroll = caretX - room + kCaretRoom;
    if (caretX < m_scroll)
        m_scroll = caretX;
    // No empty room right of the text while some of it is hidden on the left.
    if (textWidth - m_scroll < room - kCaretRoom)
        m_scroll = std::max(0.0, textWidth - room + kCaretRoom);
}

void TextEntry::layout()
{
    scrollToCaret();
}

void TextEntry::paint(Surface& surface)
{
    ControlTheme* theme = controlTheme();
    if (theme == nullptr)
        return;
    std::u16string shown = utf8ToUtf16(m_text);
    TextEntryLook look;
    look.text = shown;
    look.placeholder = m_placeholder;
    look.scroll = m_scroll;
    if (hasSelection()) {
        look.selectionLeft = offsetX(selectionStart());
        look.selectionRight = offsetX(selectionEnd());
    }
    look.caretX = offsetX(m_caret);
    look.caretShown = m_caretOn;
    look.state = (hasFocus() ? style::kFocused : 0) | (isInteractive() ? 0 : style::kThemeDisabled);
    theme->drawTextEntry(surface, {0, 0, width(), height()}, look);
}

// ---- caret blink: a step scheduled on the window's thread, timed by its animation clock ----

void TextEntry::restartBlink()
{
    m_caretOn = true;
    if (hasFocus())
        scheduleBlink();
}

void TextEntry::scheduleBlink()
{
    WidgetWindow* host = window();
    if (host == nullptr || host->window() == nullptr)
        return;
    UiThread& ui = host->window()->ui();
    m_blinkUi = &ui;
    ui.schedule(this, ui.clock().nowNs() + kBlinkNs, [this] {
        if (!hasFocus()) {
            m_caretOn = true;
            return;
        }
        m_caretOn = !m_caretOn;
        requestRepaint();
        scheduleBlink();
    });
}

void TextEntry::stopBlink()
{
    m_caretOn = true;
    if (m_blinkUi != nullptr)
        m_blinkUi->cancelScheduled(this);
    m_blinkUi = nullptr;
}

} // namespace tonvane
