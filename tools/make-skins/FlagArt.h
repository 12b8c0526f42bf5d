#pragma once
#include "tools/make-skins/Canvas.h"

namespace tonvane::skins {

// The interface languages' flags, in the order of the language buttons and menus.
enum class Flag { Spanish, English, Russian, German, French, Portuguese, Italian, Japanese };
constexpr int kFlagCount = 8;

// Draws the plain flag filling the whole-pixel rectangle (x, y) to (x + width, y + height), y up,
// opaque. The clip is left at the surface's bounds.
void drawFlag(Surface& surface, Flag flag, int x, int y, int width, int height);

// The language-button strip: the eight flags side by side, each with a light sheen on its
// upper half and a faint edge, opaque.
void paintFlagStrip(Canvas& canvas, int flagWidth, int flagHeight);

} // namespace tonvane::skins
