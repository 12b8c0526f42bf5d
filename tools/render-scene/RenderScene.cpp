// render-scene [output.png]: draws a fixed scene with every shape, paint, clip and image path
// of the renderer, a text block in the eight interface languages, a justified paragraph and the
// skin images, and writes it as an 8-bit RGBA PNG, so the result can be looked at.
#include "core/language/Language.h"
#include "graphics/image/Image.h"
#include "graphics/image/ImageStrip.h"
#include "graphics/image/PngEncoder.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/FontList.h"
#include "graphics/text/TextLayout.h"
#include "resources/skins/SkinResources.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

using namespace tonvane;

namespace {

constexpr int kWidth = 720; // [pixels]
constexpr int kShapesHeight = 360; // [pixels] the shapes, above the text and image panel
constexpr int kPanelHeight = 430; // [pixels]
constexpr int kHeight = kShapesHeight + kPanelHeight; // [pixels]

// A 12 x 12 test picture: a colour ramp with a transparent corner and a half-transparent band.
std::vector<uint32_t> makePicture()
{
    std::vector<uint32_t> pixels(12 * 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            uint32_t alpha = (x + y < 5) ? 0 : (y == 6 ? 0x80 : 0xFF);
            uint32_t red = x * 21;
            uint32_t green = y * 21;
            uint32_t blue = (x + y) % 2 ? 0xFF : 0x40;
            pixels[y * 12 + x] = alpha << 24 | red << 16 | green << 8 | blue;
        }
    return pixels;
}

// Fonts are not owned by the commands that use them: they must outlive the render.
struct Fonts {
    FontRef small{getFont(u"Tahoma", 8, false, false)};
    FontRef large{getFont(u"Tahoma", 10, false, false)};
    FontRef bold{getFont(u"Tahoma", 10, true, false)};
};

struct SkinSet {
    ImagePtr disc = loadImageFromResource(129);
    ImagePtr logo = loadImageFromMemory(productLogoPng());
    ImagePtr cap = loadImageFromMemory(graduationCapPng());
    ImageStrip flags, logos, spinner, icons;
    SkinSet()
    {
        flags.load(130);
        flags.setFrameSize(48, 32);
        logos.load(131);
        spinner.load(132);
        icons.load(256);
    }
};

// Eight lines per font size: each language's own name and a few of its interface texts.
void drawLanguages(Surface& s, Font* font, double top)
{
    const LanguageTable* tables[] = {&kEnglishTable, &kFrenchTable, &kGermanTable, &kItalianTable,
                                     &kJapaneseTable, &kPortugueseTable, &kRussianTable, &kSpanishTable};
    const LanguageId ids[] = {kEnglish, kFrench, kGerman, kItalian, kJapanese, kPortuguese, kRussian, kSpanish};
    s.font = font;
    s.text_colour = 0xFF1A2430u;
    for (int i = 0; i < 8; ++i) {
        const LanguageTable& t = *tables[i];
        std::u16string line = std::u16string(t[languageNameText(ids[i])].view()) + u": "
            + std::u16string(t[kTextInsertCd].view()) + u" · " + std::u16string(t[kTextConvert].view()) + u" · "
            + std::u16string(t[kTextAlbumLabel].view());
        double lineTop = top - i * font->line_height * 1.15;
        // One line each: a box one line high.
        drawText(s, line.c_str(), static_cast<int32_t>(line.size()), 0, 20, lineTop - font->line_height, 445,
                 lineTop);
    }
}

void drawTextAndSkins(Surface& s, const Fonts& fonts, const SkinSet& skins)
{
    const FontRef& small = fonts.small;
    const FontRef& large = fonts.large;
    const FontRef& bold = fonts.bold;
    if (small && large && bold) {
        double top = kPanelHeight - 8;
        drawLanguages(s, small.get(), top);
        drawLanguages(s, large.get(), top - 8 * small->line_height * 1.15 - 6);
        // A justified paragraph with a gradient paint, a centred bold title and a tab.
        s.font = bold.get();
        s.text_colour = 0xFF203050u;
        drawText(s, u"Accurate, fast and pleasant", -1, kTextCentre, 20, 0, 440, 142);
        s.font = large.get();
        const char16_t* paragraph = u"Tonvane reads every track of an audio CD with SCSI multimedia commands, looks "
                                    u"the disc up on a CDDB server and encodes the chosen tracks, several at once, "
                                    u"to WAV, MP3, Ogg Vorbis or FLAC.\tTabs advance eight spaces. Déjà vu, naïve, "
                                    u"Straße, Ünïcödé — ひらがなとカタカナ、漢字。";
        drawText(s, paragraph, -1, kTextJustify, 20, 8, 440, 120,
                 Paint::linearX(0xFF102040u, 0xFF801020u, 20, 440));
    }
    // The skin images: disc, flags, encoder logos, spinner frames, menu icons, logo and cap.
    if (skins.disc)
        s.drawImage(460, kPanelHeight - 205, skins.disc->view(), 1);
    for (int i = 0; i < skins.flags.frameCount(); ++i)
        drawFrame(s, skins.flags, i, 460 + (i % 4) * 62, 150 - (i / 4) * 40, 1);
    for (int i = 0; i < skins.logos.frameCount(); ++i)
        drawFrame(s, skins.logos, i, 460 + i * 51, 60, 1); // five badges of 48 in the 260-pixel column
    for (int i = 0; i < 12 && i < skins.spinner.frameCount(); ++i)
        drawFrame(s, skins.spinner, i * 4, 460 + i * 20, 36, 1);
    for (int i = 0; i < skins.icons.frameCount(); ++i)
        drawFrame(s, skins.icons, i, 460 + i * 18, 14, 1);
    if (skins.logo)
        s.drawImage(656, 395, skins.logo->view(), 1);
    if (skins.cap)
        s.drawImage(666, 340, skins.cap->view(), 1);
}

void drawScene(Surface& s, const std::vector<uint32_t>& picture, const Fonts& fonts, const SkinSet& skins)
{
    s.begin();
    // Frame: window background with a vertical gradient and a rounded border.
    s.roundedRectangle(0, 0, kWidth, kHeight, 10, 0, Paint::linearY(0xFFE8ECF2u, 0xFFC8D0DCu, 0, kHeight));
    s.roundedRectangleOutline(0.5, 0.5, kWidth - 0.5, kHeight - 0.5, 10, 0, 1.5, Paint::solid(0xFF506070u));
    drawTextAndSkins(s, fonts, skins);
    s.setOrigin(0, kPanelHeight);

    // Row 1 (top): rectangle fills with the five paints, whole and fractional edges.
    double top = kShapesHeight - 20;
    s.fillRectangle(20, top - 60, 90, top, 0xFF3070C0u);
    s.fillRectangleVertical(100.5, top - 60.5, 170.5, top - 0.5, 0xFFFF0000u, 0xFF0000FFu);
    s.fillRectangleHorizontal(180.25, top - 60, 250.75, top, 0xFF00C000u, 0x2000C000u);
    s.fillRectangleRadial(260, top - 60, 330, top, 295, top - 30, 0xFFFFFF00u, 0xFF800000u, 5, 35);
    s.fillRectangleElliptical(340, top - 60, 460, top, 400, top - 30, 60, 30, 0xFFFFFFFFu, 0xFF004080u);

    // Row 2: discs and rings with gradients, a ring wide enough to be a disc, tiny shapes.
    double mid = top - 110;
    s.disc(55, mid, 35, Paint::radial(45, mid + 10, 0xFFFFFFFFu, 0xFF2060A0u, 0, 45));
    s.ring(140, mid, 35, 6, Paint::linearX(0xFFFF8000u, 0xFF8000FFu, 105, 175));
    s.ring(215, mid, 25, 30, Paint::solid(0xC0008040u));
    s.disc(265.3, mid + 10.7, 2.4, Paint::solid(0xFF000000u));
    s.disc(275.5, mid + 10.5, 0.8, Paint::solid(0xFF000000u));
    s.ring(300, mid, 18.4, 1.25, Paint::solid(0xFF000000u));
    s.disc(380, mid, 40, Paint::elliptical(380, mid, 40, 20, 0xFFFFFF80u, 0x00FF0000u));

    // Row 3: rounded rectangles upright and rotated both ways, outlines, a filled outline.
    double low = mid - 110;
    s.roundedRectangle(20, low - 30, 110, low + 30, 12, 0, Paint::linearY(0xFF90C0F0u, 0xFF3060A0u, low - 30, low + 30));
    s.roundedRectangle(130, low - 25, 210, low + 25, 10, 0.4, Paint::solid(0xD0C04040u));
    s.roundedRectangleOutline(230, low - 25, 310, low + 25, 10, -0.4, 3, Paint::solid(0xFF202020u));
    s.roundedRectangleOutline(330, low - 30, 400, low + 30, 14, 0, 2, Paint::linearX(0xFF00A0A0u, 0xFFA000A0u, 330, 400));
    s.roundedRectangleOutline(420, low - 15, 450, low + 15, 4, 0, 20, Paint::solid(0xFF608020u));

    // Row 4 (bottom): progress bar pieces that tile, images on every path, and a clip.
    double base = 20;
    s.roundedRectangle(20, base, 220, base + 14, 7, 0, Paint::solid(0xFFB0B8C0u));
    s.fillRectangleHorizontal(27, base + 2, 127.35, base + 12, 0xFF40A040u, 0xFF80E080u);
    s.fillRectangle(127.35, base + 2, 213, base + 12, 0xFFE0E4E8u);
    ImageView view{12, 12, 12, picture.data()};
    s.drawImage(240, base, view, 1);
    s.drawImage(260, base, view, 0.5);
    s.drawImage(280.5, base + 0.25, view, 1);
    s.drawImageScaled(300, base, 348, base + 48, view, 1);
    s.drawImageScaled(360.3, base + 3.3, 366.3, base + 9.3, view, 1);
    s.setOrigin(380, base);
    if (s.setClip(0, 0, 60, 30)) {
        s.disc(30, 15, 28, Paint::radial(30, 15, 0xFFFF0000u, 0xFF0000FFu, 0, 28));
        s.drawImageScaled(10, 5, 70, 45, view, 0.75);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : "scene.png";
    Surface surface;
    if (!surface.setSize(kWidth, kHeight)) {
        std::fprintf(stderr, "render-scene: no memory for the surface\n");
        return 1;
    }
    std::vector<uint32_t> picture = makePicture();
    Fonts fonts;
    SkinSet skins;
    drawScene(surface, picture, fonts, skins);
    surface.render();
    if (!writeSurfacePng(surface, kWidth, kHeight, path)) {
        std::fprintf(stderr, "render-scene: cannot write %s\n", path);
        return 1;
    }
    std::printf("%s: %d x %d\n", path, kWidth, kHeight);
    return 0;
}
