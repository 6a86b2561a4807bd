// The window's fonts as designed, each with fallbacks that the desktop is
// likely to have: the Japanese-capable window font and the plain sans serif.
#pragma once

#include <QFont>

namespace calendo {

// "ＭＳ Ｐゴシック" at `points` (9 as designed), else a Japanese gothic face.
QFont GothicFont(double points = 9.0);

// "MS Sans Serif" at `points` (8.25 as designed), else a similar sans serif.
QFont SansSerifFont(double points = 8.25, bool bold = false);

}  // namespace calendo
