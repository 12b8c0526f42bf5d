#pragma once
#include "tools/make-skins/Canvas.h"

namespace tonvane::skins {

// The menu icon strip, 16 x 16 cells: power, floppy disk, sliders, house, the eight flags in
// language order, globe, question mark. Renders canvas.
void paintMenuIcons(Canvas& canvas);

} // namespace tonvane::skins
