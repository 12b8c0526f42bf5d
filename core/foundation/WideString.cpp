#include "core/foundation/WideString.h"

#include "core/foundation/Heap.h"
#include "core/foundation/Utf.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace tonvane {

namespace {
[[noreturn]] void tooLong()
{
    static const char message[] = "Error: text too long\n";
    ssize_t ignored = ::write(2, message, sizeof message - 1);
    (void)ignored;
    std::abort();
}

int32_t digitCount(int64_t value)
{
    int32_t digits = 0;
    for (; value != 0; value /= 10)
        ++digits;
    return digits;
}
} // namespace

WideString::WideString(const char16_t* zeroTerminated)
{
    if (!zeroTerminated)
        return;
    int32_t n = measure(zeroTerminated);
    if (n < 0) // longer than the usual limit: take it whole rather than cut it
        n = static_cast<int32_t>(std::char_traits<char16_t>::length(zeroTerminated));
    assign(zeroTerminated, n);
}

WideString::WideString(std::u16string_view text)
{
    if (!text.empty())
        assign(text);
}

WideString::WideString(const WideString& other)
{
    if (!other.empty())
        assign(other.view());
}

WideString::WideString(WideString&& other) noexcept
    : m_text(other.m_text), m_length(other.m_length), m_capacity(other.m_capacity)
{
    other.m_text = nullptr;
    other.m_length = other.m_capacity = 0;
}

WideString& WideString::operator=(const WideString& other)
{
    if (this != &other)
        assign(other.view());
    return *this;
}

WideString& WideString::operator=(WideString&& other) noexcept
{
    if (this != &other) {
        release(m_text);
        m_text = other.m_text;
        m_length = other.m_length;
        m_capacity = other.m_capacity;
        other.m_text = nullptr;
        other.m_length = other.m_capacity = 0;
    }
    return *this;
}

WideString::~WideString()
{
    release(m_text);
}

int32_t WideString::measure(const char16_t* text, int32_t limit)
{
    for (int32_t i = 0; i < limit; ++i)
        if (text[i] == 0)
            return i;
    return -1;
}

int32_t WideString::grownCapacity(int32_t n)
{
    if (n < 256)
        return 256;
    if (n < 512)
        return 512;
    if (n < 1024)
        return 1024;
    if (n < 2048)
        return 2048;
    return ((n + 4096) / 4096) * 4096;
}

void WideString::reserve(int32_t n)
{
    if (m_capacity >= n)
        return;
    if (n < 0 || n > kMaxCapacity)
        tooLong();
    int32_t capacity = grownCapacity(n);
    auto* storage = static_cast<char16_t*>(allocate(static_cast<size_t>(capacity) * sizeof(char16_t)));
    if (m_text && m_length > 0)
        std::memcpy(storage, m_text, static_cast<size_t>(m_length) * sizeof(char16_t));
    release(m_text);
    m_text = storage;
    m_capacity = capacity;
}

void WideString::setLength(int32_t n)
{
    if (n < 0 || n >= kMaxCapacity)
        tooLong();
    reserve(n + 1);
    m_length = n;
}

void WideString::assign(const char16_t* text, int32_t n)
{
    if (n == 0 && !m_text) // stays unallocated
        return;
    // text may point into our own storage: then n <= length < capacity, nothing moves, and
    // memmove copes with the overlap.
    setLength(n);
    std::memmove(m_text, text, static_cast<size_t>(n) * sizeof(char16_t));
    terminate();
}

void WideString::append(const char16_t* text, int32_t n)
{
    if (n <= 0)
        return;
    int32_t old = m_length;
    if (m_text && text >= m_text && text < m_text + m_capacity) {
        // Appending a part of ourselves: the storage may move while growing.
        std::u16string copy(text, static_cast<size_t>(n));
        setLength(old + n);
        std::memcpy(m_text + old, copy.data(), static_cast<size_t>(n) * sizeof(char16_t));
    } else {
        setLength(old + n);
        std::memcpy(m_text + old, text, static_cast<size_t>(n) * sizeof(char16_t));
    }
    terminate();
}

void WideString::appendZeroTerminated(const char16_t* text)
{
    int32_t n = measure(text);
    if (n < 0)
        n = static_cast<int32_t>(std::char_traits<char16_t>::length(text));
    append(text, n);
}

void WideString::appendChar(char16_t c)
{
    if (m_length == 0) {
        reserve(2);
        m_length = 1;
    } else {
        setLength(m_length + 1);
    }
    m_text[m_length - 1] = c;
    terminate();
}

void WideString::appendDecimal(int32_t value)
{
    char16_t digits[12];
    int n = 0;
    int64_t magnitude = value;
    if (magnitude < 0) {
        appendChar(u'-');
        magnitude = -magnitude;
    }
    do {
        digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    char16_t ordered[12];
    for (int i = 0; i < n; ++i)
        ordered[i] = digits[n - 1 - i];
    append(ordered, n);
}

void WideString::appendFormattedNumber(int32_t integerPart, int32_t fractionPart, int32_t minIntegerDigits,
                                       int32_t minFractionDigits, bool pad, bool keep)
{
    if (pad) {
        for (int32_t digits = digitCount(integerPart); digits < minIntegerDigits; ++digits)
            appendChar(u'0');
        if (integerPart == 0)
            return;
    }
    appendDecimal(integerPart);
    if (fractionPart == 0)
        return;
    appendChar(u'.');
    if (!keep) {
        for (int32_t digits = digitCount(fractionPart); digits < minFractionDigits; ++digits)
            appendChar(u'0');
        while (fractionPart % 10 == 0)
            fractionPart /= 10;
    }
    appendDecimal(fractionPart);
}

void WideString::replaceAll(std::u16string_view search, std::u16string_view replacement)
{
    if (search.empty() || m_length == 0)
        return;
    std::u16string result;
    std::u16string_view rest = view();
    bool changed = false;
    for (size_t at; (at = rest.find(search)) != std::u16string_view::npos;) {
        result.append(rest.substr(0, at));
        result.append(replacement);
        rest.remove_prefix(at + search.size());
        changed = true;
    }
    if (!changed)
        return;
    result.append(rest);
    assign(result);
}

void WideString::joinKeyPath(std::u16string_view suffix)
{
    if (suffix.empty() || suffix.front() != u'\\')
        appendChar(u'\\');
    append(suffix);
}

void WideString::joinFilePath(std::u16string_view suffix)
{
    if (suffix.empty() || suffix.front() != u'/')
        appendChar(u'/');
    append(suffix);
}

void WideString::clear()
{
    if (m_text) {
        m_length = 0;
        terminate();
    }
}

std::string WideString::toUtf8() const
{
    return utf16ToUtf8(view());
}

WideString WideString::fromUtf8(std::string_view utf8)
{
    return WideString(std::u16string_view(utf8ToUtf16(utf8)));
}

} // namespace tonvane
