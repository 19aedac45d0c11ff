#pragma once
// The overlay's cut-out at any display scaling. The window's mask is a
// region of whole logical pixels, which the system scales to the screen;
// at 150 % a logical pixel covers one or two screen pixels, and the
// drawing's edges fall between them. So a logical pixel is kept when any
// of its screen pixels is drawn, and the white screen pixels left inside
// the kept ones are coloured from their drawn neighbours, so no white speck
// shows over the game.
#include <QImage>
#include <QRegion>

namespace crewmap::navi {

struct CutOut {
  QRegion region;  // logical pixels to keep
  QImage filled;   // the drawing with the white beside its edges filled in; null at 100 %
};

// `drawn` is the window's drawing at the screen's resolution (its device
// pixel ratio set), on white; `size` the window's logical size.
CutOut CutOutWhite(const QImage& drawn, QSize size);

}  // namespace crewmap::navi
