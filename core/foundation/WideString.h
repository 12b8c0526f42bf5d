#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tonvane {

// Growable UTF-16 text: every text and path of the program. The character at index length is
// always 0 after a write, so text() can be handed to code that wants a terminated string.
// Storage stays null until the first write; capacity grows by the reserve rule and never shrinks.
class WideString {
public:
    static constexpr int32_t kMeasureLimit = 4096; // [characters] texts are at most 4095 long
    static constexpr int32_t kMaxCapacity = 1 << 28; // [characters] beyond this is a program fault

    WideString() = default;
    explicit WideString(const char16_t* zeroTerminated);
    WideString(std::u16string_view text);
    WideString(const WideString& other);
    WideString(WideString&& other) noexcept;
    WideString& operator=(const WideString& other);
    WideString& operator=(WideString&& other) noexcept;
    ~WideString();

    // Characters before the terminating 0, or -1 when none is found within limit characters.
    static int32_t measure(const char16_t* text, int32_t limit = kMeasureLimit);
    // Capacity the reserve rule gives for a request of n characters (n > current capacity).
    static int32_t grownCapacity(int32_t n);

    void reserve(int32_t n);
    void setLength(int32_t n);
    void assign(const char16_t* text, int32_t n);
    void assign(std::u16string_view text) { assign(text.data(), static_cast<int32_t>(text.size())); }
    void append(const char16_t* text, int32_t n);
    void append(std::u16string_view text) { append(text.data(), static_cast<int32_t>(text.size())); }
    void appendZeroTerminated(const char16_t* text);
    void appendChar(char16_t c);
    void appendDecimal(int32_t value);
    // Integer part, then "." and the fraction when it is not 0. pad: left-pad the integer part
    // with '0' to minIntegerDigits (0 then shows only the padding). keep: write the fraction as
    // given, else pad it to minFractionDigits and drop its trailing zeros.
    void appendFormattedNumber(int32_t integerPart, int32_t fractionPart, int32_t minIntegerDigits,
                               int32_t minFractionDigits, bool pad, bool keep);
    // Replaces every occurrence of search (non-empty) in place.
    void replaceAll(std::u16string_view search, std::u16string_view replacement);
    // Registry-style key paths: "\" between parts unless the suffix starts with one.
    void joinKeyPath(std::u16string_view suffix);
    // File paths: "/" between parts unless the suffix starts with one.
    void joinFilePath(std::u16string_view suffix);
    void clear();

    const char16_t* text() const { return m_text ? m_text : u""; }
    const char16_t* data() const { return m_text; }
    char16_t* data() { return m_text; }
    int32_t length() const { return m_length; }
    int32_t capacity() const { return m_capacity; }
    bool empty() const { return m_length == 0; }
    std::u16string_view view() const { return {text(), static_cast<size_t>(m_length)}; }
    operator std::u16string_view() const { return view(); }
    bool operator==(std::u16string_view other) const { return view() == other; }

    std::string toUtf8() const;
    static WideString fromUtf8(std::string_view utf8);

private:
    void terminate() { m_text[m_length] = 0; }

    char16_t* m_text = nullptr;
    int32_t m_length = 0;
    int32_t m_capacity = 0;
};

} // namespace tonvane
