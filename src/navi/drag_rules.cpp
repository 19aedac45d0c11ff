#include "navi/drag_rules.h"

#include "common/rounding.h"
#include "common/twips.h"

namespace crewmap::navi {

std::int32_t DragOffset(double cursorPixels, double windowEdgeTwips) {
  return RoundClampInt32(PixelsToTwips(cursorPixels) - windowEdgeTwips);
}

double DragEdge(double cursorPixels, std::int32_t offset, double screenEndTwips,
                double windowExtentTwips) {
  const double edge = PixelsToTwips(cursorPixels) - offset;
  const double limit = screenEndTwips - windowExtentTwips;
  return edge > limit ? limit : edge;
}

double PlaceOnScreen(double designTwips, double screenStartTwips, double screenEndTwips,
                     double windowExtentTwips) {
  double edge = designTwips;
  if (edge + windowExtentTwips > screenEndTwips) edge = screenEndTwips - windowExtentTwips;
  if (edge < screenStartTwips) edge = screenStartTwips;
  return edge;
}

}  // namespace crewmap::navi
