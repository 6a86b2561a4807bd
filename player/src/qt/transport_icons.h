// The window's pictures, drawn in code with the 16 colours of the classic
// palette: the icons of the four transport buttons and the four frames of the
// conversion picture (Image1).
#pragma once

#include <QIcon>
#include <QPixmap>

namespace calendo {

enum class TransportIcon { play, stop, cue, review };

// The icon of a transport button, drawn at `size` × `size` pixels.
QPixmap DrawTransportIcon(TransportIcon kind, int size);

// The icon with pixmaps drawn for the sizes a button may ask for (16 to 32).
QIcon MakeTransportIcon(TransportIcon kind);

// Frame `index` (0 to 3) of the conversion picture: a tape reel, a quarter
// of its turn further in each frame. 32 × 32 pixels.
QPixmap DrawReelFrame(int index);

}  // namespace calendo
