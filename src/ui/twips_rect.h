#pragma once
// Design geometry is given in twips (left, top, width, height); widgets are
// placed in pixels at the fixed 15 twips per pixel.
#include <QRect>

#include "common/twips.h"

namespace crewmap::ui {

inline QRect TwipsRect(double left, double top, double width, double height) {
  return {TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height)};
}

}  // namespace crewmap::ui
