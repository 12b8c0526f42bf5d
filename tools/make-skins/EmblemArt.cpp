#include "tools/make-skins/EmblemArt.h"

#include "tools/make-skins/DiscArt.h"
#include "tools/make-skins/StrokeFont.h"
#include "tools/make-skins/Strokes.h"

#include <algorithm>
#include <numbers>

namespace tonvane::skins {

namespace {

constexpr uint32_t kNameDark = 0xFF2C3E50;
constexpr uint32_t kNameBlue = 0xFF2A7FD4;

} // namespace

// Letters one pixel wide on whole-pixel stems, so that the name stays sharp at this size.
void paintProductLogo(Canvas& canvas)
{
    constexpr double kDiscRadius = 7.5; // [pixels]
    constexpr double kLeft = 17; // [pixels] where the name starts
    drawDisc(canvas, kDiscRadius + 0.5, canvas.height() / 2.0 + 0.3, kDiscRadius);
    LetterStyle style{1.0, 1.0, 1.0, 1.0};
    double baseline = canvas.height() / 2.0 - 3.5;
    drawText(canvas.paint(), "TON", kLeft, baseline, style, Paint::solid(kNameDark));
    double left = kLeft + textWidth("TON", style) + style.gap;
    drawText(canvas.paint(), "VANE", left, baseline, style, Paint::solid(kNameBlue));
    canvas.render();
}

// The board is a square turned by an eighth of a turn on a layer, then squashed into a flat
// rhombus seen in perspective; its darker copy below gives it an edge.
void paintGraduationCap(Canvas& canvas)
{
    constexpr uint32_t kCloth = 0xFF26323Fu;
    constexpr uint32_t kClothLight = 0xFF465A70u;
    constexpr uint32_t kGold = 0xFFE3B43Bu;
    constexpr int kBoardLayer = 40; // [pixels] side of the unsquashed board
    Surface& s = canvas.paint();
    s.roundedRectangle(9, 4, 31, 20, 7, 0, Paint::linearY(kCloth, kClothLight, 4, 20));

    Canvas& board = canvas.addLayer(0, 0, kBoardLayer, kBoardLayer);
    double half = kBoardLayer / 2.0 / std::numbers::sqrt2 - 0.5;
    double mid = kBoardLayer / 2.0;
    board.paint().roundedRectangle(mid - half, mid - half, mid + half, mid + half, 1.5, std::numbers::pi / 4,
                                   Paint::linearY(kCloth, kClothLight, 0, kBoardLayer));
    board.render();
    Canvas& edge = canvas.addLayer(0, 0, kBoardLayer, kBoardLayer);
    edge.paint().roundedRectangle(mid - half, mid - half, mid + half, mid + half, 1.5, std::numbers::pi / 4,
                                  Paint::solid(0xFF131A22u));
    edge.render();
    s.drawImageScaled(0.5, 12.5, 39.5, 29.5, edge.image(), 1);
    s.drawImageScaled(0.5, 14, 39.5, 31, board.image(), 1);

    Point button{20, 22.5};
    strokePolyline(s, {button, {33.5, 20}, {33.5, 10}}, 1.1, Paint::solid(kGold));
    s.roundedRectangle(32, 4, 35, 11, 1.3, 0, Paint::linearY(0xFFB8871Eu, kGold, 4, 11));
    s.disc(button.x, button.y, 1.7, Paint::solid(kGold));
    canvas.render();
}

void paintWindowIcon(Canvas& canvas)
{
    double size = std::min(canvas.width(), canvas.height());
    double margin = std::max(0.5, size * 0.03);
    drawDisc(canvas, canvas.width() / 2.0, canvas.height() / 2.0 + margin / 2, size / 2 - margin);
    canvas.render();
}

} // namespace tonvane::skins
