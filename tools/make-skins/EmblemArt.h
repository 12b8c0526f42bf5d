#pragma once
#include "tools/make-skins/Canvas.h"

namespace tonvane::skins {

// The product logo: a small disc and the name in letters. Renders canvas.
void paintProductLogo(Canvas& canvas);
// A graduation cap (mortarboard with tassel) for the tutorials. Renders canvas.
void paintGraduationCap(Canvas& canvas);
// The program's icon at the canvas's size: the disc. Renders canvas.
void paintWindowIcon(Canvas& canvas);

} // namespace tonvane::skins
