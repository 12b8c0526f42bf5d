// render-text --font FAMILY --size PT [--bold] [--italic] [--dpi N] [--width W]
//             [--align centre|right|justify] TEXT --out FILE.png
// Lays TEXT out with our text engine, renders it black on white into a PNG, and prints the font
// files it used ("font: <file> index <n>") and each line ("line <k>: chars <n> width <w>").
#include "core/foundation/Utf.h"
#include "graphics/image/PngEncoder.h"
#include "graphics/surface/Surface.h"
#include "graphics/text/Font.h"
#include "graphics/text/FontList.h"
#include "graphics/text/TextLayout.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace tonvane;

namespace {

constexpr int32_t kMargin = 8; // [pixels] around the text
constexpr double kUnbounded = 16000; // [pixels] line width without --width

struct Options {
    std::string family;
    int32_t size = 0;
    bool bold = false;
    bool italic = false;
    int32_t dpi = 96;
    double width = 0;
    uint32_t flags = 0;
    std::string text;
    std::string out;
};

int usage()
{
    std::fprintf(stderr, "usage: render-text --font FAMILY --size PT [--bold] [--italic] [--dpi N] [--width W]\n"
                         "                   [--align centre|right|justify] TEXT --out FILE.png\n");
    return 2;
}

bool parse(int argc, char** argv, Options& o)
{
    bool haveText = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--font" && hasValue)
            o.family = argv[++i];
        else if (a == "--size" && hasValue)
            o.size = std::atoi(argv[++i]);
        else if (a == "--dpi" && hasValue)
            o.dpi = std::atoi(argv[++i]);
        else if (a == "--width" && hasValue)
            o.width = std::atof(argv[++i]);
        else if (a == "--out" && hasValue)
            o.out = argv[++i];
        else if (a == "--bold")
            o.bold = true;
        else if (a == "--italic")
            o.italic = true;
        else if (a == "--align" && hasValue) {
            std::string v = argv[++i];
            if (v == "centre" || v == "center")
                o.flags = kTextCentre;
            else if (v == "right")
                o.flags = kTextRight;
            else if (v == "justify")
                o.flags = kTextJustify;
            else
                return false;
        } else if (!haveText && (a.empty() || a[0] != '-')) {
            o.text = a;
            haveText = true;
        } else
            return false;
    }
    return haveText && !o.family.empty() && o.size > 0 && !o.out.empty() && o.dpi > 0 && o.width >= 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o))
        return usage();
    setTextResolution(o.dpi);
    FontRef font(getFont(utf8ToUtf16(o.family), o.size, o.bold, o.italic));
    if (!font) {
        std::fprintf(stderr, "render-text: no font for \"%s\"\n", o.family.c_str());
        return 1;
    }
    std::u16string text = utf8ToUtf16(o.text);
    double boxWidth = o.width > 0 ? o.width : kUnbounded;
    int32_t length = static_cast<int32_t>(text.size());
    // Measure first: the picture is as tall as the lines and, without --width, as wide as the
    // widest line.
    std::vector<LaidOutLine> lines = layoutText(*font.get(), text.c_str(), length, o.flags, 0, -1e9, boxWidth, 0);
    double widest = 0;
    for (const LaidOutLine& line : lines)
        widest = std::max(widest, line.width);
    if (o.width <= 0)
        boxWidth = std::ceil(widest);
    size_t lineCount = std::max<size_t>(1, lines.empty() ? 1 : lines.size() + (text.size() - lines.back().start - lines.back().characters > 0 ? 1 : 0));
    int32_t width = static_cast<int32_t>(boxWidth) + 2 * kMargin;
    int32_t height = static_cast<int32_t>(std::ceil(font->line_height * lineCount)) + 2 * kMargin;

    Surface surface(1);
    if (!surface.setSize(width, height)) {
        std::fprintf(stderr, "render-text: picture too large\n");
        return 1;
    }
    surface.begin();
    surface.fillRectangle(0, 0, width, height, 0xFFFFFFFFu);
    surface.font = font.get();
    surface.text_colour = 0xFF000000u;
    double top = height - kMargin;
    drawText(surface, text.c_str(), length, o.flags, kMargin, kMargin, kMargin + boxWidth, top);
    surface.render();
    if (!writeSurfacePng(surface, width, height, o.out)) {
        std::fprintf(stderr, "render-text: cannot write %s\n", o.out.c_str());
        return 1;
    }
    for (const FontFile& face : font->facesUsed())
        std::printf("font: %s index %d\n", face.path.c_str(), face.faceIndex);
    int k = 0;
    for (const LaidOutLine& line : layoutText(*font.get(), text.c_str(), length, o.flags, kMargin, kMargin,
                                              kMargin + boxWidth, top))
        std::printf("line %d: chars %u width %.2f\n", ++k, line.characters, line.width);
    return 0;
}
