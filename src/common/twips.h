#pragma once
// Window geometry is worked out in twips at a fixed 15 twips per screen pixel;
// the display's real resolution is never consulted.
#include "common/rounding.h"

namespace crewmap {

inline constexpr int TwipsPerPixel = 15;

inline int TwipsToPixels(double twips) {
  return RoundClampInt32(twips / TwipsPerPixel);
}

inline constexpr double PixelsToTwips(double pixels) { return pixels * TwipsPerPixel; }

}  // namespace crewmap
