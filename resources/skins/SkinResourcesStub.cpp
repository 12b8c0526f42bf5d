// Placeholder until the skin images are generated and compiled in.
#include "resources/skins/SkinResources.h"

namespace tonvane {
std::span<const uint8_t> skinResource(uint32_t) { return {}; }
std::span<const uint8_t> productLogoPng() { return {}; }
std::span<const uint8_t> graduationCapPng() { return {}; }
std::span<const uint8_t> windowIconPng(int32_t) { return {}; }
} // namespace tonvane
