#include "resources/skins/SkinResources.h"

#include "resources/skins/EmbeddedFile.h"

#include <string_view>

namespace tonvane {

namespace {

// Resource ids of the image catalogue.
constexpr uint32_t kDiscArtwork = 129;
constexpr uint32_t kLanguageFlags = 130;
constexpr uint32_t kEncoderLogos = 131;
constexpr uint32_t kBusyGlobe = 132;
constexpr uint32_t kMenuIcons = 256;

std::span<const uint8_t> embedded(std::string_view name)
{
    for (size_t i = 0; i < kSkinFilesCount; ++i) {
        if (name == kSkinFiles[i].name)
            return {kSkinFiles[i].bytes, kSkinFiles[i].size};
    }
    return {};
}

} // namespace

std::span<const uint8_t> skinResource(uint32_t id)
{
    switch (id) {
    case kDiscArtwork:
        return embedded("disc.png");
    case kLanguageFlags:
        return embedded("flags.png");
    case kEncoderLogos:
        return embedded("encoders.png");
    case kBusyGlobe:
        return embedded("globe-spinner.png");
    case kMenuIcons:
        return embedded("menu-icons.png");
    default:
        return {};
    }
}

std::span<const uint8_t> productLogoPng()
{
    return embedded("product-logo.png");
}

std::span<const uint8_t> graduationCapPng()
{
    return embedded("graduation-cap.png");
}

std::span<const uint8_t> windowIconPng(int32_t size)
{
    switch (size) {
    case 16:
        return embedded("icons/tonvane-16.png");
    case 32:
        return embedded("icons/tonvane-32.png");
    case 48:
        return embedded("icons/tonvane-48.png");
    case 128:
        return embedded("icons/tonvane-128.png");
    case 256:
        return embedded("icons/tonvane-256.png");
    default:
        return {};
    }
}

} // namespace tonvane
