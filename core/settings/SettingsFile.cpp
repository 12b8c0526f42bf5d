#include "core/settings/SettingsFile.h"

#include "core/foundation/Utf.h"

#include <cstdio>

namespace tonvane::settings {

namespace {

constexpr std::string_view kHeaderLine = "Tonvane settings 1";
constexpr std::string_view kEndLine = "; end";
constexpr std::string_view kDwordPrefix = "dword:";

char16_t foldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool mustEscape(char16_t c)
{
    return c < 0x20 || c == 0x7F || c == u'%' || c == u'"' || c == u'[' || c == u']' || c == u'=';
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string escape(std::u16string_view text)
{
    std::string out;
    std::u16string plain;
    auto flush = [&] {
        out += utf16ToUtf8(plain);
        plain.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        bool high = c >= 0xD800 && c <= 0xDBFF;
        bool low = c >= 0xDC00 && c <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            plain.push_back(c);
            plain.push_back(text[++i]);
        } else if (high || low) {
            flush();
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "%%u%04X", static_cast<unsigned>(c));
            out += buffer;
        } else if (mustEscape(c)) {
            flush();
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "%%%02X", static_cast<unsigned>(c));
            out += buffer;
        } else {
            plain.push_back(c);
        }
    }
    flush();
    return out;
}

// Reverses escape(); fails on malformed escapes, raw special characters or invalid UTF-8.
std::optional<std::u16string> unescape(std::string_view text)
{
    if (!isValidUtf8(text))
        return std::nullopt;
    std::u16string out;
    std::string plain;
    auto flush = [&] {
        out += utf8ToUtf16(plain);
        plain.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '%') {
            if (static_cast<unsigned char>(c) < 0x80 && mustEscape(static_cast<char16_t>(c)))
                return std::nullopt;
            plain.push_back(c);
            continue;
        }
        flush();
        if (i + 1 < text.size() && text[i + 1] == 'u') {
            if (i + 6 > text.size())
                return std::nullopt;
            unsigned value = 0;
            for (size_t k = i + 2; k < i + 6; ++k) {
                int digit = hexDigit(text[k]);
                if (digit < 0)
                    return std::nullopt;
                value = value * 16 + static_cast<unsigned>(digit);
            }
            out.push_back(static_cast<char16_t>(value));
            i += 5;
        } else {
            if (i + 3 > text.size())
                return std::nullopt;
            int high = hexDigit(text[i + 1]), low = hexDigit(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out.push_back(static_cast<char16_t>(high * 16 + low));
            i += 2;
        }
    }
    flush();
    return out;
}

// Parses '"' escaped '"' at the front of line, leaving the rest in line.
std::optional<std::u16string> takeQuoted(std::string_view& line)
{
    if (line.empty() || line.front() != '"')
        return std::nullopt;
    size_t close = line.find('"', 1);
    if (close == std::string_view::npos)
        return std::nullopt;
    auto text = unescape(line.substr(1, close - 1));
    line.remove_prefix(close + 1);
    return text;
}

bool parseValueLine(std::string_view line, SettingsFile::Value& value)
{
    auto name = takeQuoted(line);
    if (!name || name->size() > SettingsFile::kMaxNameLength || line.empty() || line.front() != '=')
        return false;
    line.remove_prefix(1);
    value.name = std::move(*name);
    if (line.substr(0, kDwordPrefix.size()) == kDwordPrefix) {
        line.remove_prefix(kDwordPrefix.size());
        if (line.size() != 8)
            return false;
        uint32_t number = 0;
        for (char c : line) {
            int digit = hexDigit(c);
            if (digit < 0)
                return false;
            number = number * 16 + static_cast<uint32_t>(digit);
        }
        value.type = SettingsFile::Type::Dword;
        value.dword = number;
        return true;
    }
    auto text = takeQuoted(line);
    if (!text || !line.empty())
        return false;
    value.type = SettingsFile::Type::String;
    value.text = std::move(*text);
    return true;
}

} // namespace

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    return true;
}

std::optional<SettingsFile> SettingsFile::parse(std::string_view text)
{
    if (text.size() > kMaxFileBytes)
        return std::nullopt;
    SettingsFile file;
    Key* key = nullptr;
    bool sawHeader = false, sawEnd = false;
    while (!text.empty()) {
        size_t newline = text.find('\n');
        if (newline == std::string_view::npos)
            return std::nullopt; // every line, the end line included, ends with a newline
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline + 1);
        // A file edited by hand: CRLF line ends, blank lines and ';' comment lines are fine.
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        bool comment = line.empty() || (line.front() == ';' && line != kEndLine);
        if (sawHeader && comment)
            continue;
        if (sawEnd)
            return std::nullopt; // nothing but blank and comment lines may follow the end line
        if (!sawHeader) {
            if (line != kHeaderLine)
                return std::nullopt;
            sawHeader = true;
        } else if (line == kEndLine) {
            sawEnd = true;
        } else if (!line.empty() && line.front() == '[') {
            if (line.back() != ']')
                return std::nullopt;
            auto path = unescape(line.substr(1, line.size() - 2));
            if (!path || file.findKey(*path))
                return std::nullopt;
            key = &file.createKey(*path);
        } else {
            Value value;
            if (!key || !parseValueLine(line, value))
                return std::nullopt;
            for (const Value& existing : key->values)
                if (equalsIgnoringCase(existing.name, value.name))
                    return std::nullopt;
            key->values.push_back(std::move(value));
        }
    }
    if (!sawEnd)
        return std::nullopt;
    return file;
}

std::string SettingsFile::serialize() const
{
    std::string out;
    out += kHeaderLine;
    out += '\n';
    for (const Key& key : m_keys) {
        out += '[';
        out += escape(key.path);
        out += "]\n";
        for (const Value& value : key.values) {
            out += '"';
            out += escape(value.name);
            out += "\"=";
            if (value.type == Type::Dword) {
                char buffer[16];
                std::snprintf(buffer, sizeof buffer, "dword:%08X", static_cast<unsigned>(value.dword));
                out += buffer;
            } else {
                out += '"';
                out += escape(value.text);
                out += '"';
            }
            out += '\n';
        }
    }
    out += kEndLine;
    out += '\n';
    return out;
}

const SettingsFile::Key* SettingsFile::findKey(std::u16string_view path) const
{
    for (const Key& key : m_keys)
        if (equalsIgnoringCase(key.path, path))
            return &key;
    return nullptr;
}

SettingsFile::Key& SettingsFile::createKey(std::u16string_view path)
{
    for (Key& key : m_keys)
        if (equalsIgnoringCase(key.path, path))
            return key;
    m_keys.push_back(Key{std::u16string(path), {}});
    return m_keys.back();
}

const SettingsFile::Value* SettingsFile::findValue(std::u16string_view path, std::u16string_view name) const
{
    const Key* key = findKey(path);
    if (!key)
        return nullptr;
    for (const Value& value : key->values)
        if (equalsIgnoringCase(value.name, name))
            return &value;
    return nullptr;
}

void SettingsFile::setValue(std::u16string_view path, Value value)
{
    Key& key = createKey(path);
    for (Value& existing : key.values) {
        if (equalsIgnoringCase(existing.name, value.name)) {
            value.name = std::move(existing.name); // the registry keeps the first spelling
            existing = std::move(value);
            return;
        }
    }
    key.values.push_back(std::move(value));
}

bool SettingsFile::deleteValue(std::u16string_view path, std::u16string_view name)
{
    Key& key = createKey(path);
    for (auto it = key.values.begin(); it != key.values.end(); ++it) {
        if (equalsIgnoringCase(it->name, name)) {
            key.values.erase(it);
            return true;
        }
    }
    return false;
}

} // namespace tonvane::settings
