#pragma once
#include "tools/make-skins/Canvas.h"

namespace tonvane::skins {

// A compact disc seen from its silver side: a soft shadow below, the data area with coloured
// sheen, a glint and faint tracks (tracks only when the disc is large enough), the clear hub
// and the hole. Uses layers of target, so target must be rendered after this.
void drawDisc(Canvas& target, double cx, double cy, double radius);

} // namespace tonvane::skins
