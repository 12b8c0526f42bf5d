#include "graphics/text/FontSource.h"

#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <map>
#include <mutex>

namespace tonvane {

namespace {

constexpr size_t kMaxFontFileBytes = size_t{64} << 20; // [bytes] the largest CJK collections are ~30 MiB

std::mutex g_sourceLock; // fontconfig's configuration and the file cache
std::map<std::string, std::weak_ptr<const std::vector<uint8_t>>> g_files;

std::shared_ptr<const std::vector<uint8_t>> readWholeFile(const std::string& path)
{
    auto known = g_files.find(path);
    if (known != g_files.end())
        if (auto bytes = known->second.lock())
            return bytes;
    FILE* file = std::fopen(path.c_str(), "rbe");
    if (file == nullptr)
        return nullptr;
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    uint8_t chunk[65536];
    size_t got = 0;
    bool tooLarge = false;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (bytes->size() + got > kMaxFontFileBytes) {
            tooLarge = true;
            break;
        }
        bytes->insert(bytes->end(), chunk, chunk + got);
    }
    bool failed = std::ferror(file) != 0 || tooLarge || bytes->empty();
    std::fclose(file);
    if (failed)
        return nullptr;
    g_files[path] = bytes;
    return bytes;
}

// The pattern for family, weight and slant, completed the way applications do.
FcPattern* makePattern(const std::string& family, bool bold, bool italic)
{
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return nullptr;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

bool hasCharacter(FcPattern* font, char32_t c)
{
    FcCharSet* charset = nullptr;
    return FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) == FcResultMatch && charset != nullptr
        && FcCharSetHasChar(charset, c);
}

bool fileOf(FcPattern* font, FontFile& out)
{
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || file == nullptr)
        return false;
    if (FcPatternGetInteger(font, FC_INDEX, 0, &index) != FcResultMatch)
        index = 0;
    std::string path(reinterpret_cast<const char*>(file));
    auto bytes = readWholeFile(path);
    if (!bytes)
        return false;
    out.bytes = std::move(bytes);
    out.faceIndex = index & 0xFFFF; // the upper bits name a variation instance, not a face
    out.path = std::move(path);
    return true;
}

bool bestMatch(FcPattern* pattern, FontFile& out)
{
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    if (match == nullptr)
        return false;
    bool found = fileOf(match, out);
    FcPatternDestroy(match);
    return found;
}

// The best face for the family that holds the character: fontconfig's ordering, filtered.
bool bestMatchWith(FcPattern* pattern, char32_t c, FontFile& out)
{
    FcCharSet* wanted = FcCharSetCreate();
    if (wanted != nullptr) {
        FcCharSetAddChar(wanted, c);
        FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
        FcCharSetDestroy(wanted);
    }
    FcResult result = FcResultNoMatch;
    // Trimmed: fonts that add no characters to the better ones before them are left out.
    FcFontSet* sorted = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    if (sorted == nullptr)
        return false;
    bool found = false;
    for (int i = 0; i < sorted->nfont && !found; ++i) {
        FcPattern* font = FcFontRenderPrepare(nullptr, pattern, sorted->fonts[i]);
        if (font == nullptr)
            continue;
        if (hasCharacter(font, c))
            found = fileOf(font, out);
        FcPatternDestroy(font);
    }
    FcFontSetDestroy(sorted);
    return found;
}

} // namespace

bool findFontFile(const std::string& family, bool bold, bool italic, char32_t mustHave, FontFile& out)
{
    std::lock_guard guard(g_sourceLock);
    if (!FcInit())
        return false;
    FcPattern* pattern = makePattern(family, bold, italic);
    if (pattern == nullptr)
        return false;
    bool found = mustHave == 0 ? bestMatch(pattern, out) : bestMatchWith(pattern, mustHave, out);
    FcPatternDestroy(pattern);
    return found;
}

} // namespace tonvane
