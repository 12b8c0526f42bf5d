// The skin images: the generator redraws exactly the committed files, the program carries
// exactly those bytes, and each file's PNG header has the catalogue's size and colour type.
#include "core/disc/EncoderFormat.h"
#include "graphics/image/Image.h"
#include "graphics/image/ImageStrip.h"
#include "resources/skins/SkinResources.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <span>
#include <string>

namespace tonvane {
namespace {

constexpr uint8_t kRgb = 2; // PNG colour types
constexpr uint8_t kRgba = 6;

struct CatalogueEntry {
    const char* file; // below resources/skins/
    std::span<const uint8_t> (*embedded)();
    uint32_t width; // [pixels]
    uint32_t height; // [pixels]
    uint8_t colourType;
};

const CatalogueEntry kCatalogue[] = {
    {"disc.png", [] { return skinResource(129); }, 196, 197, kRgba},
    {"flags.png", [] { return skinResource(130); }, 384, 32, kRgb},
    {"encoders.png", [] { return skinResource(131); }, 240, 48, kRgba},
    {"globe-spinner.png", [] { return skinResource(132); }, 752, 16, kRgba},
    {"menu-icons.png", [] { return skinResource(256); }, 224, 16, kRgba},
    {"product-logo.png", productLogoPng, 59, 20, kRgba},
    {"graduation-cap.png", graduationCapPng, 40, 32, kRgba},
    {"icons/tonvane-16.png", [] { return windowIconPng(16); }, 16, 16, kRgba},
    {"icons/tonvane-32.png", [] { return windowIconPng(32); }, 32, 32, kRgba},
    {"icons/tonvane-48.png", [] { return windowIconPng(48); }, 48, 48, kRgba},
    {"icons/tonvane-128.png", [] { return windowIconPng(128); }, 128, 128, kRgba},
    {"icons/tonvane-256.png", [] { return windowIconPng(256); }, 256, 256, kRgba},
};

std::string committedFile(const std::string& name)
{
    return test::readFile(std::string(TONVANE_SOURCE_DIR) + "/resources/skins/" + name);
}

// Every PNG file below folder, as paths relative to it.
std::set<std::string> pngFilesBelow(const std::string& folder)
{
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (entry.path().extension() == ".png")
            names.insert(std::filesystem::relative(entry.path(), folder).string());
    }
    return names;
}

std::set<std::string> catalogueFiles()
{
    std::set<std::string> names;
    for (const CatalogueEntry& entry : kCatalogue)
        names.insert(entry.file);
    return names;
}

uint32_t bigEndian32(const std::string& bytes, size_t at)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 24
        | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 16
        | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 8
        | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3]));
}

TEST(SkinCatalogue, GeneratorRedrawsTheCommittedFilesByteForByte)
{
    test::TempDir folder;
    test::ProcessResult run =
        test::runProcess(std::string(TONVANE_BINARY_DIR) + "/tools/make-skins/make-skins", {folder.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(pngFilesBelow(folder.path()), catalogueFiles());
    EXPECT_EQ(pngFilesBelow(std::string(TONVANE_SOURCE_DIR) + "/resources/skins"), catalogueFiles());
    for (const CatalogueEntry& entry : kCatalogue) {
        std::string drawn = test::readFile(folder.file(entry.file));
        ASSERT_FALSE(drawn.empty()) << entry.file;
        EXPECT_TRUE(drawn == committedFile(entry.file)) << entry.file << " differs from the committed file";
    }
}

TEST(SkinCatalogue, ProgramCarriesTheCommittedFilesWithTheirCatalogueHeaders)
{
    const std::string kSignature("\x89PNG\r\n\x1a\n", 8);
    const std::string kIendChunk("\0\0\0\0IEND\xae\x42\x60\x82", 12);
    constexpr size_t kIhdrEnd = 8 + 8 + 13 + 4; // signature, length and type, fields, CRC
    for (const CatalogueEntry& entry : kCatalogue) {
        SCOPED_TRACE(entry.file);
        std::string file = committedFile(entry.file);
        ASSERT_GT(file.size(), kIhdrEnd + kIendChunk.size());
        std::span<const uint8_t> carried = entry.embedded();
        EXPECT_TRUE(std::string(carried.begin(), carried.end()) == file);

        EXPECT_EQ(file.substr(0, 8), kSignature);
        EXPECT_EQ(bigEndian32(file, 8), 13u);
        EXPECT_EQ(file.substr(12, 4), "IHDR");
        EXPECT_EQ(bigEndian32(file, 16), entry.width);
        EXPECT_EQ(bigEndian32(file, 20), entry.height);
        EXPECT_EQ(static_cast<uint8_t>(file[24]), 8) << "bit depth";
        EXPECT_EQ(static_cast<uint8_t>(file[25]), entry.colourType);
        EXPECT_EQ(file.substr(26, 3), std::string(3, '\0')) << "compression, filter, no interlace";
        EXPECT_EQ(file.substr(file.size() - kIendChunk.size()), kIendChunk);
    }
    for (uint32_t id : {0u, 128u, 133u, 255u, 257u})
        EXPECT_TRUE(skinResource(id).empty()) << id;
    for (int32_t size : {0, 24, 64, -16, 512})
        EXPECT_TRUE(windowIconPng(size).empty()) << size;
}

// The program's own decoder reads every picture at its catalogue size, and the strips cut into
// the frames their users expect.
TEST(SkinCatalogue, PicturesDecodeAndStripsCutIntoTheirFrames)
{
    for (const CatalogueEntry& entry : kCatalogue) {
        ImagePtr image = loadImageFromMemory(entry.embedded());
        ASSERT_NE(image, nullptr) << entry.file;
        EXPECT_EQ(image->width, int32_t(entry.width)) << entry.file;
        EXPECT_EQ(image->height, int32_t(entry.height)) << entry.file;
    }
    struct Strip {
        uint32_t id;
        int32_t frameWidth; // 0: as loaded
        int32_t frames;
        int32_t side;
    };
    for (Strip s : {Strip{130, 0, 12, 32}, {130, 48, 8, 32}, {131, 0, kFormatCount, 48}, {132, 0, 47, 16}, {256, 0, 14, 16}}) {
        ImageStrip strip;
        ASSERT_TRUE(strip.load(s.id)) << s.id;
        if (s.frameWidth != 0)
            strip.setFrameSize(s.frameWidth, s.side);
        EXPECT_EQ(strip.frameCount(), s.frames) << s.id;
        EXPECT_EQ(strip.frame(s.frames - 1).height, s.side) << s.id;
        EXPECT_EQ(strip.frame(s.frames).pixels, nullptr) << s.id;
    }
    // The flag strip is opaque; the spinner's corners are transparent around the globe.
    ImageStrip flags, spinner;
    ASSERT_TRUE(flags.load(130) && spinner.load(132));
    EXPECT_EQ(flags.image()->pixels[0] >> 24, 255u);
    EXPECT_EQ(spinner.frame(0).pixels[0] >> 24, 0u);
}

} // namespace
} // namespace tonvane
