#include "map/composition.h"

#include <algorithm>

#include "map/transform.h"

namespace crewmap::map {

CompositionPlan PlanComposition(std::int32_t viewX, std::int32_t viewY, std::int32_t w, std::int32_t h) {
  CompositionPlan plan;
  std::int64_t k = 0;
  std::int64_t column = ((std::int64_t{viewX} % MapWidth) + MapWidth) % MapWidth;
  while (k < w) {
    const bool left = column < HalfWidth;
    const std::int64_t srcX = left ? column : column - HalfWidth;
    const std::int64_t run = std::min<std::int64_t>(w - k, HalfWidth - srcX);
    plan.copies.push_back({left ? Half::Left : Half::Right, static_cast<std::int32_t>(srcX),
                           static_cast<std::int32_t>(k), static_cast<std::int32_t>(run)});
    k += run;
    column = (column + run) % MapWidth;
  }
  const std::int64_t top = std::max<std::int64_t>(viewY, 0);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{viewY} + std::max(h, 0), MapHeight);
  if (bottom > top) {
    plan.srcRow = static_cast<std::int32_t>(top);
    plan.destRow = static_cast<std::int32_t>(top - viewY);
    plan.rows = static_cast<std::int32_t>(bottom - top);
  }
  return plan;
}

}  // namespace crewmap::map
