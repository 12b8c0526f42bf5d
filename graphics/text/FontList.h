#pragma once
#include <cstdint>
#include <mutex>
#include <string>

namespace tonvane {

class Font;

// The process-wide font list. Fonts are shared: asking twice for the same face name (letter case
// ignored), size and style gives the same font with its count raised; releasing the last
// reference frees it with its glyph pages.

// Held while fonts are created, released or load glyphs, and while text is measured and laid
// out; band workers never take it (they read published glyph pages only).
std::mutex& textLock();

// Null when fontconfig finds no face or FreeType cannot open it.
Font* getFont(const std::u16string& faceName, int32_t pointSize, bool bold, bool italic);
void releaseFont(Font* font);

// The shared "Tahoma" 8 (the default font of every surface) and its 10-point sibling, with
// their counts raised. Null when no face could be opened at all.
Font* defaultFont();
Font* defaultLargeFont();

// Character sizes are set at this resolution [dots per inch]; 96 until the window toolkit
// reads the screen's. Fonts already created keep theirs.
void setTextResolution(int32_t dpi);
int32_t textResolution();

// Creates the shared fonts (start-up) and releases them (shutdown). Start-up says on standard
// error when "Tahoma" resolves to nothing, since every window would be empty of text.
bool startTextEngine();
void stopTextEngine();

// Case-insensitive comparison of face names (ASCII, Latin-1, Greek and Cyrillic letters).
bool sameFaceName(const std::u16string& a, const std::u16string& b);

// Owns one reference.
class FontRef {
public:
    FontRef() = default;
    explicit FontRef(Font* font) : m_font(font) {}
    FontRef(const FontRef&) = delete;
    FontRef& operator=(const FontRef&) = delete;
    FontRef(FontRef&& other) noexcept : m_font(other.m_font) { other.m_font = nullptr; }
    FontRef& operator=(FontRef&& other) noexcept
    {
        if (this != &other) {
            releaseFont(m_font);
            m_font = other.m_font;
            other.m_font = nullptr;
        }
        return *this;
    }
    ~FontRef() { releaseFont(m_font); }
    Font* get() const { return m_font; }
    Font* operator->() const { return m_font; }
    explicit operator bool() const { return m_font != nullptr; }

private:
    Font* m_font = nullptr;
};

} // namespace tonvane
