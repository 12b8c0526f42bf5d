#include "graphics/image/Image.h"

#include "core/foundation/Heap.h"
#include "graphics/image/PngDecoder.h"
#include "resources/skins/SkinResources.h"

#include <cstdio>
#include <vector>

namespace tonvane {

namespace {

constexpr size_t kMaxImageFileBytes = size_t{64} << 20; // [bytes] larger files are not pictures of ours

// The pixels start at the first 16-byte boundary after the header.
constexpr size_t kPixelOffset = (sizeof(Image) + 15) / 16 * 16; // [bytes]

} // namespace

void ImageDeleter::operator()(Image* image) const
{
    freeImage(image);
}

bool imageSizeAcceptable(uint32_t width, uint32_t height)
{
    if (width == 0 || height == 0)
        return false;
    if (width > static_cast<uint32_t>(Image::kMaxDimension) || height > static_cast<uint32_t>(Image::kMaxDimension))
        return false;
    uint64_t bytes = uint64_t{width} * height * 4;
    return bytes <= UINT32_MAX;
}

Image* allocateImage(uint32_t width, uint32_t height)
{
    if (!imageSizeAcceptable(width, height))
        return nullptr;
    size_t bytes = kPixelOffset + size_t{width} * height * 4;
    void* block = tryAllocate(bytes);
    if (block == nullptr)
        return nullptr;
    auto* image = new (block) Image;
    image->width = static_cast<int32_t>(width);
    image->height = static_cast<int32_t>(height);
    image->pixels = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(block) + kPixelOffset);
    return image;
}

void freeImage(Image* image)
{
    if (image == nullptr)
        return;
    image->~Image();
    release(image);
}

ImagePtr loadImageFromResource(uint32_t id)
{
    std::span<const uint8_t> png = skinResource(id);
    if (png.empty())
        return nullptr;
    return loadImageFromMemory(png);
}

ImagePtr loadImageFromMemory(std::span<const uint8_t> png)
{
    if (png.data() == nullptr)
        return nullptr;
    return ImagePtr(decodePng(png.data(), png.size()));
}

ImagePtr loadImageFromFile(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rbe");
    if (file == nullptr)
        return nullptr;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got = 0;
    bool tooLarge = false;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (bytes.size() + got > kMaxImageFileBytes) {
            tooLarge = true;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (tooLarge || readError || bytes.empty())
        return nullptr;
    return loadImageFromMemory(bytes);
}

} // namespace tonvane
