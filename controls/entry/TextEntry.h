#pragma once
#include "controls/widget/Widget.h"
#include "graphics/text/FontList.h"
#include "windowing/backend/WindowBackend.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tonvane {

class UiThread;

// A one-line text entry. The text is UTF-8 of at most kMaxBytes; the caret and the selection's
// anchor are byte offsets on grapheme boundaries, so no edit splits a UTF-8 sequence or leaves a
// combining mark without its character. Keys: arrows (Shift extends the selection), Home, End,
// Backspace, Delete, Ctrl+A, Ctrl+C, Ctrl+X, Ctrl+V; the middle button pastes the primary
// selection and a selection made becomes the primary selection. Return, Esc and Tab go to the
// owner's routines. The caret blinks on the window's clock while the entry has the focus; text
// wider than the box scrolls so that the caret stays in view. Drawn by the theme.
class TextEntry : public Widget {
public:
    static constexpr size_t kMaxBytes = 1024; // [bytes] of UTF-8
    static constexpr uint64_t kBlinkNs = 530000000; // half a caret blink period, 530 ms

    struct Routines {
        std::function<void()> onAccept; // Return
        std::function<void()> onCancel; // Esc
        std::function<void(bool backwards)> onTab; // empty: Tab moves the focus as usual
        std::function<void()> onChange; // after each edit of the text
        std::function<void()> onFocusLost;
    };

    explicit TextEntry(Widget* parent);
    ~TextEntry() override;

    void setRoutines(Routines routines) { m_routines = std::move(routines); }
    // Replaces the text (cleaned and cut to kMaxBytes), caret at its end, nothing selected.
    void setText(std::string_view utf8);
    const std::string& text() const { return m_text; }
    // Drawn in grey while the text is empty (what an empty entry stands for); not part of text().
    void setPlaceholder(std::u16string placeholder);
    const std::u16string& placeholder() const { return m_placeholder; }
    size_t caret() const { return m_caret; }
    size_t anchor() const { return m_anchor; }
    size_t selectionStart() const { return std::min(m_caret, m_anchor); }
    size_t selectionEnd() const { return std::max(m_caret, m_anchor); }
    bool hasSelection() const { return m_caret != m_anchor; }
    std::string selectedText() const;
    // Both moved to the nearest grapheme boundary at or before them.
    void select(size_t anchor, size_t caret);
    void selectAll();
    // Replaces the selection with text (cleaned; what would pass kMaxBytes is cut at a grapheme
    // boundary); the caret after it. False when nothing of it could go in.
    bool insert(std::string_view utf8);
    void copyToClipboard();
    void cutToClipboard();
    void paste(TextSelection from);

    // Pixels from the start of the text to a byte offset, and the offset nearest to a point of
    // the widget (own coordinates).
    double offsetX(size_t offset) const;
    size_t offsetAt(int32_t x) const;
    double scroll() const { return m_scroll; }
    bool caretShown() const { return m_caretOn; }

    void layout() override;
    void paint(Surface& surface) override;
    void onMouse(MouseAction action, int32_t x, int32_t y) override;
    bool onKeyDown(uint32_t key) override;
    bool onText(std::string_view text) override;
    bool acceptsFocus() const override { return true; }
    bool takesTab() const override { return static_cast<bool>(m_routines.onTab); }
    void focusChanged(bool focused) override;

private:
    uint32_t modifiers() const;
    void moveCaret(size_t to, bool extend);
    void deleteRange(size_t start, size_t end);
    void changed();
    void scrollToCaret();
    void restartBlink();
    void scheduleBlink();
    void stopBlink();
    void offerPrimary();
    WindowBackend* backend() const;
    WindowId windowId() const;

    Routines m_routines;
    FontRef m_font;
    std::string m_text;
    std::u16string m_placeholder;
    size_t m_caret = 0;
    size_t m_anchor = 0;
    double m_scroll = 0; // [pixels]
    bool m_caretOn = true;
    bool m_dragging = false;
    UiThread* m_blinkUi = nullptr; // where the blink step is scheduled, if anywhere
};

} // namespace tonvane
