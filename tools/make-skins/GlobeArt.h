#pragma once
#include "tools/make-skins/Canvas.h"

namespace tonvane::skins {

// The globe of the busy spinner and the menus: oceans, continents turned eastwards by turn
// radians (as turn grows the lands move to the right, as the Earth turns), shading and a rim.
// Uses a layer of target for the continents, so target must be rendered after this.
void drawGlobe(Canvas& target, double cx, double cy, double radius, double turn);

} // namespace tonvane::skins
