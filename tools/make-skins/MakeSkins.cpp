// make-skins OUTPUT_FOLDER: draws every picture of the interface with the renderer and writes
// them as PNG files (the catalogue, the window logo and cap, the desktop icons). The same
// program always writes the same bytes.
#include "graphics/image/PngEncoder.h"
#include "tools/make-skins/Canvas.h"
#include "tools/make-skins/DiscArt.h"
#include "tools/make-skins/EmblemArt.h"
#include "tools/make-skins/EncoderBadgeArt.h"
#include "tools/make-skins/FlagArt.h"
#include "tools/make-skins/GlobeArt.h"
#include "tools/make-skins/MenuIconArt.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <system_error>

using namespace tonvane;
using namespace tonvane::skins;

namespace {

constexpr int kSpinnerFrames = 47;
constexpr int kSpinnerFrameSize = 16; // [pixels]
constexpr double kGlobeRadius = 7; // [pixels]

void paintSpinner(Canvas& canvas)
{
    for (int frame = 0; frame < kSpinnerFrames; ++frame) {
        double turn = 2 * std::numbers::pi * frame / kSpinnerFrames;
        drawGlobe(canvas, frame * kSpinnerFrameSize + 8.0, 8.0, kGlobeRadius, turn);
    }
    canvas.render();
}

// The large disc of the disc page, one pixel taller than wide for the shadow below it.
void paintDiscArtwork(Canvas& canvas)
{
    constexpr double kRadius = 96; // [pixels]
    drawDisc(canvas, canvas.width() / 2.0, canvas.height() - kRadius - 1.5, kRadius);
    canvas.render();
}

struct Picture {
    const char* file;
    int32_t width; // [pixels]
    int32_t height; // [pixels]
    PngChannels channels;
    std::function<void(Canvas&)> paint;
};

const Picture kPictures[] = {
    {"disc.png", 196, 197, PngChannels::Rgba, paintDiscArtwork},
    {"flags.png", 384, 32, PngChannels::Rgb, [](Canvas& c) { paintFlagStrip(c, 48, 32); }},
    {"encoders.png", 240, 48, PngChannels::Rgba, [](Canvas& c) { paintEncoderBadges(c, 48); }},
    {"globe-spinner.png", 752, 16, PngChannels::Rgba, paintSpinner},
    {"menu-icons.png", 224, 16, PngChannels::Rgba, paintMenuIcons},
    {"product-logo.png", 59, 20, PngChannels::Rgba, paintProductLogo},
    {"graduation-cap.png", 40, 32, PngChannels::Rgba, paintGraduationCap},
    {"icons/tonvane-16.png", 16, 16, PngChannels::Rgba, paintWindowIcon},
    {"icons/tonvane-32.png", 32, 32, PngChannels::Rgba, paintWindowIcon},
    {"icons/tonvane-48.png", 48, 48, PngChannels::Rgba, paintWindowIcon},
    {"icons/tonvane-128.png", 128, 128, PngChannels::Rgba, paintWindowIcon},
    {"icons/tonvane-256.png", 256, 256, PngChannels::Rgba, paintWindowIcon},
};

bool makePicture(const Picture& picture, const std::string& folder)
{
    Canvas canvas(picture.width, picture.height);
    if (!canvas.ready())
        return false;
    picture.paint(canvas);
    if (!canvas.ready())
        return false;
    const std::vector<uint32_t>& pixels = canvas.straightPixels();
    return writeArgbPng(pixels.data(), picture.width, picture.height, picture.width, picture.channels,
                        folder + "/" + picture.file);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-skins OUTPUT_FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder + "/icons", error);
    if (error) {
        std::fprintf(stderr, "make-skins: cannot create %s/icons: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }
    for (const Picture& picture : kPictures) {
        if (!makePicture(picture, folder)) {
            std::fprintf(stderr, "make-skins: cannot write %s/%s\n", folder.c_str(), picture.file);
            return 1;
        }
        std::printf("%s: %d x %d\n", picture.file, picture.width, picture.height);
    }
    return 0;
}
