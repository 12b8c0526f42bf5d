#include "graphics/text/FontList.h"

#include "core/foundation/Utf.h"
#include "graphics/text/Font.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace tonvane {

namespace {

constexpr int32_t kDefaultResolution = 96; // [dots per inch]
constexpr int32_t kDefaultPointSize = 8;
constexpr int32_t kLargePointSize = kDefaultPointSize + 2;
const std::u16string kDefaultFace = u"Tahoma";

std::vector<Font*> g_fonts;
int32_t g_resolution = kDefaultResolution;
Font* g_default = nullptr;
Font* g_large = nullptr;

char16_t foldCase(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) // Latin-1 capitals
        return c + 32;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) // Greek capitals
        return c + 32;
    if (c >= 0x410 && c <= 0x42F) // Cyrillic capitals
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

Font* findOrCreate(const std::u16string& faceName, int32_t pointSize, bool bold, bool italic)
{
    for (Font* font : g_fonts)
        if (font->point_size == pointSize && font->bold == bold && font->italic == italic
            && sameFaceName(font->face_name, faceName)) {
            ++font->refs;
            return font;
        }
    FontFile file;
    if (!findFontFile(utf16ToUtf8(faceName), bold, italic, 0, file))
        return nullptr;
    Font* font = Font::create(faceName, pointSize, bold, italic, g_resolution, file);
    if (font == nullptr)
        return nullptr;
    font->refs = 1;
    g_fonts.push_back(font);
    return font;
}

void releaseLocked(Font* font)
{
    if (font == nullptr || --font->refs > 0)
        return;
    g_fonts.erase(std::remove(g_fonts.begin(), g_fonts.end(), font), g_fonts.end());
    delete font;
}

} // namespace

std::mutex& textLock()
{
    static std::mutex lock;
    return lock;
}

bool sameFaceName(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return foldCase(x) == foldCase(y); });
}

Font* getFont(const std::u16string& faceName, int32_t pointSize, bool bold, bool italic)
{
    std::lock_guard guard(textLock());
    return findOrCreate(faceName, pointSize, bold, italic);
}

void releaseFont(Font* font)
{
    std::lock_guard guard(textLock());
    releaseLocked(font);
}

Font* defaultFont()
{
    std::lock_guard guard(textLock());
    if (g_default == nullptr)
        g_default = findOrCreate(kDefaultFace, kDefaultPointSize, false, false);
    if (g_default != nullptr)
        ++g_default->refs;
    return g_default;
}

Font* defaultLargeFont()
{
    std::lock_guard guard(textLock());
    if (g_large == nullptr)
        g_large = findOrCreate(kDefaultFace, kLargePointSize, false, false);
    if (g_large != nullptr)
        ++g_large->refs;
    return g_large;
}

void setTextResolution(int32_t dpi)
{
    std::lock_guard guard(textLock());
    if (dpi > 0 && dpi <= 1200)
        g_resolution = dpi;
}

int32_t textResolution()
{
    std::lock_guard guard(textLock());
    return g_resolution;
}

bool startTextEngine()
{
    Font* font = defaultFont();
    Font* large = defaultLargeFont();
    releaseFont(large); // the shared references stay in g_default and g_large
    releaseFont(font);
    if (font == nullptr) {
        std::fprintf(stderr, "tonvane: no font found for \"Tahoma\" (fontconfig offers no usable face); "
                             "windows will show no text. Install fonts-dejavu-core.\n");
        return false;
    }
    return true;
}

void stopTextEngine()
{
    std::lock_guard guard(textLock());
    releaseLocked(g_large);
    releaseLocked(g_default);
    g_large = nullptr;
    g_default = nullptr;
}

} // namespace tonvane
