#pragma once
// A PNG writer for tests, independent of libpng: chunks and CRCs by hand, image data through
// zlib. It writes every colour type and bit depth, palettes with and without transparency,
// and Adam7 interlacing, from samples the test chooses, so decoded pixels can be checked
// against values known by construction.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tonvane::testpng {

enum ColourType : uint8_t { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, Rgba = 6 };

struct TestPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    ColourType colourType = Rgb;
    uint8_t bitDepth = 8;
    bool interlaced = false;
    std::vector<uint32_t> palette; // 0x00RRGGBB entries
    std::vector<uint8_t> paletteAlpha; // tRNS for palettes (may be shorter than the palette)
    bool greyOrRgbTransparency = false; // tRNS for grey / RGB: the sample values below
    uint16_t transparent[3] = {};
    std::vector<uint16_t> samples; // channels per pixel, rows top-down
};

inline int channelsOf(ColourType type)
{
    switch (type) {
    case Grey:
    case Palette:
        return 1;
    case GreyAlpha:
        return 2;
    case Rgb:
        return 3;
    case Rgba:
        return 4;
    }
    return 0;
}

inline void putU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

inline void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    putU32(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    putU32(out, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

inline std::vector<uint8_t> ihdrData(uint32_t width, uint32_t height, uint8_t depth, uint8_t type, bool interlaced)
{
    std::vector<uint8_t> d;
    putU32(d, width);
    putU32(d, height);
    d.push_back(depth);
    d.push_back(type);
    d.push_back(0); // deflate
    d.push_back(0); // adaptive filtering
    d.push_back(interlaced ? 1 : 0);
    return d;
}

// Appends one scanline (filter type 0) of the pixels x = x0, x0 + step, ... of row y.
inline void putScanline(std::vector<uint8_t>& raw, const TestPicture& picture, uint32_t y, uint32_t x0, uint32_t step)
{
    int channels = channelsOf(picture.colourType);
    raw.push_back(0);
    uint32_t bits = 0;
    int bitCount = 0;
    for (uint32_t x = x0; x < picture.width; x += step) {
        for (int c = 0; c < channels; ++c) {
            uint16_t s = picture.samples[(size_t(y) * picture.width + x) * channels + c];
            if (picture.bitDepth == 16) {
                raw.push_back(static_cast<uint8_t>(s >> 8));
                raw.push_back(static_cast<uint8_t>(s));
            } else if (picture.bitDepth == 8) {
                raw.push_back(static_cast<uint8_t>(s));
            } else {
                bits = bits << picture.bitDepth | s;
                bitCount += picture.bitDepth;
                if (bitCount == 8) {
                    raw.push_back(static_cast<uint8_t>(bits));
                    bits = 0;
                    bitCount = 0;
                }
            }
        }
    }
    if (bitCount > 0)
        raw.push_back(static_cast<uint8_t>(bits << (8 - bitCount)));
}

inline std::vector<uint8_t> rawImageData(const TestPicture& picture)
{
    std::vector<uint8_t> raw;
    if (!picture.interlaced) {
        for (uint32_t y = 0; y < picture.height; ++y)
            putScanline(raw, picture, y, 0, 1);
        return raw;
    }
    // Adam7: pass origins and steps.
    static const uint32_t passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                          {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (const auto& p : passes) {
        if (p[0] >= picture.width)
            continue; // an empty pass has no scanlines
        for (uint32_t y = p[1]; y < picture.height; y += p[3])
            putScanline(raw, picture, y, p[0], p[2]);
    }
    return raw;
}

inline std::vector<uint8_t> deflate(const std::vector<uint8_t>& raw)
{
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
    out.resize(size);
    return out;
}

inline const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

inline std::vector<uint8_t> writePng(const TestPicture& picture)
{
    std::vector<uint8_t> out(kSignature, kSignature + 8);
    putChunk(out, "IHDR", ihdrData(picture.width, picture.height, picture.bitDepth, picture.colourType, picture.interlaced));
    if (!picture.palette.empty()) {
        std::vector<uint8_t> plte;
        for (uint32_t entry : picture.palette) {
            plte.push_back(static_cast<uint8_t>(entry >> 16));
            plte.push_back(static_cast<uint8_t>(entry >> 8));
            plte.push_back(static_cast<uint8_t>(entry));
        }
        putChunk(out, "PLTE", plte);
    }
    if (!picture.paletteAlpha.empty())
        putChunk(out, "tRNS", picture.paletteAlpha);
    if (picture.greyOrRgbTransparency) {
        std::vector<uint8_t> trns;
        int count = picture.colourType == Grey ? 1 : 3;
        for (int i = 0; i < count; ++i) {
            trns.push_back(static_cast<uint8_t>(picture.transparent[i] >> 8));
            trns.push_back(static_cast<uint8_t>(picture.transparent[i]));
        }
        putChunk(out, "tRNS", trns);
    }
    putChunk(out, "IDAT", deflate(rawImageData(picture)));
    putChunk(out, "IEND", {});
    return out;
}

// Offsets of each chunk (its length field) in a written file, in order, with their types.
struct ChunkPlace {
    size_t offset;
    std::string type;
    uint32_t length;
};

inline std::vector<ChunkPlace> chunkPlaces(const std::vector<uint8_t>& png)
{
    std::vector<ChunkPlace> places;
    size_t at = 8;
    while (at + 12 <= png.size()) {
        uint32_t length = uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 | png[at + 3];
        places.push_back({at, std::string(png.begin() + at + 4, png.begin() + at + 8), length});
        at += 12 + length;
    }
    return places;
}

} // namespace tonvane::testpng
