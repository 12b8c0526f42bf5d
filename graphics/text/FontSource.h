#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tonvane {

// The bytes of an installed font file, shared by every face opened from it.
struct FontFile {
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    int32_t faceIndex = 0; // face within a collection
    std::string path;
};

inline constexpr int32_t kWeightRegular = 400;
inline constexpr int32_t kWeightBold = 700;

// Finds an installed face through fontconfig: the family (UTF-8), weight 700 or 400 and slant
// asked for; fontconfig substitutes what is installed for a family it does not have. With
// `mustHave` non-zero only a face whose character set holds that character is taken, the best
// match for the family first. The file is read whole into memory (and kept for later faces).
// False when nothing suitable is installed or the file cannot be read.
bool findFontFile(const std::string& family, bool bold, bool italic, char32_t mustHave, FontFile& out);

} // namespace tonvane
