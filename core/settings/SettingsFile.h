#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonvane::settings {

// In-memory form of the settings file: keys (full registry-style paths) holding DWORD and
// string values. Key paths and value names compare case-insensitively (ASCII), as the Windows
// registry does, and keep the case they were created with.
//
// Text form, UTF-8, one item a line:
//   Tonvane settings 1
//   [SOFTWARE\ORVAL SOFTWARE\Tonvane 0.2\Main]
//   "x"=dword:00000064
//   "Path"="/home/ana/Music/"
//   ; end
// In key paths, names and strings the characters below U+0020, U+007F, '%', '"', '[', ']' and
// '=' are written as %XX, and unpaired surrogates as %uXXXX. The end line makes a file that was
// cut short detectable.
class SettingsFile {
public:
    enum class Type { Dword, String };
    struct Value {
        std::u16string name;
        Type type = Type::Dword;
        uint32_t dword = 0;
        std::u16string text;
    };
    struct Key {
        std::u16string path;
        std::vector<Value> values;
    };

    static constexpr size_t kMaxFileBytes = 16u << 20; // [bytes] larger files are not settings
    static constexpr size_t kMaxValueLength = 1u << 20; // [UTF-16 units] per string value
    static constexpr size_t kMaxNameLength = 16383; // [UTF-16 units] as the registry allows

    // Answers nullopt when the text is not a whole, well-formed settings file.
    static std::optional<SettingsFile> parse(std::string_view text);
    std::string serialize() const;

    const Key* findKey(std::u16string_view path) const;
    Key& createKey(std::u16string_view path);
    const Value* findValue(std::u16string_view path, std::u16string_view name) const;
    void setValue(std::u16string_view path, Value value);
    bool deleteValue(std::u16string_view path, std::u16string_view name);

    const std::vector<Key>& keys() const { return m_keys; }

private:
    std::vector<Key> m_keys;
};

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b);

} // namespace tonvane::settings
