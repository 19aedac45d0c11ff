#include "map/label_spread.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace crewmap::map {
namespace {

bool Inside(const LabelBox& box, const LabelBox& area) {
  return box.left >= area.left && box.top >= area.top && box.left + box.width <= area.left + area.width &&
         box.top + box.height <= area.top + area.height;
}

bool ClearOf(const LabelBox& box, std::span<const LabelBox> others, std::size_t skip = SIZE_MAX) {
  for (std::size_t i = 0; i < others.size(); ++i)
    if (i != skip && Overlap(box, others[i])) return false;
  return true;
}

// Moves `box` down below the boxes in its way until none is. Each move goes
// below one of them, so at most as many moves as there are boxes end it.
void StackBelow(LabelBox& box, std::span<const LabelBox> placed) {
  for (bool moved = true; moved;) {
    moved = false;
    for (const LabelBox& other : placed) {
      if (other.width > 0 && other.height > 0 && Overlap(box, other)) {
        box.top = other.top + other.height;
        moved = true;
      }
    }
  }
}

}  // namespace

bool Overlap(const LabelBox& a, const LabelBox& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

void SpreadLabels(std::vector<LabelBox>& boxes) {
  for (std::size_t i = 1; i < boxes.size(); ++i) StackBelow(boxes[i], std::span(boxes).first(i));
}

void PlaceNames(std::vector<LabelBox>& names, const MapObstacles& around) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    const LabelBox usual = names[i];
    const std::span<const LabelBox> placed = std::span(names).first(i);
    if (i >= around.circles.size()) {
      StackBelow(names[i], placed);
      continue;
    }
    // The usual place touches the circle's lower right corner; the other
    // places mirror it across the circle, or centre the name beside it.
    const LabelBox& c = around.circles[i];
    const int w = usual.width, h = usual.height;
    const int right = usual.left, below = usual.top;
    const int left = c.left - (usual.left - (c.left + c.width)) - w;
    const int above = c.top - (usual.top - (c.top + c.height)) - h;
    const int middle = c.top + (c.height - h) / 2;
    const LabelBox places[] = {{right, below, w, h}, {right, middle, w, h}, {right, above, w, h},
                               {left, below, w, h},  {left, middle, w, h},  {left, above, w, h}};
    const auto first = [&](bool circlesToo) -> const LabelBox* {
      for (const LabelBox& p : places)
        if (Inside(p, around.area) && ClearOf(p, placed) && ClearOf(p, around.controls) &&
            (!circlesToo || ClearOf(p, around.circles, i)))
          return &p;
      return nullptr;
    };
    const LabelBox* chosen = first(true);
    if (!chosen) chosen = first(false);
    if (chosen)
      names[i] = *chosen;
    else
      StackBelow(names[i], placed);
  }
}

LabelBox PlaceBeside(const LabelBox& anchor, int width, int height, std::span<const LabelBox> taken,
                     const MapObstacles& around) {
  const int centreX = anchor.left + (anchor.width - width) / 2;
  const int centreY = anchor.top + (anchor.height - height) / 2;
  const LabelBox places[] = {{anchor.left + anchor.width, centreY, width, height},
                             {anchor.left - width, centreY, width, height},
                             {centreX, anchor.top + anchor.height, width, height},
                             {centreX, anchor.top - height, width, height}};
  for (const LabelBox& p : places)
    if (Inside(p, around.area) && ClearOf(p, around.controls) && ClearOf(p, taken) && ClearOf(p, around.circles))
      return p;
  for (const LabelBox& p : places)
    if (Inside(p, around.area) && ClearOf(p, around.controls)) return p;
  for (const LabelBox& p : places)
    if (Inside(p, around.area)) return p;
  return places[0];
}

}  // namespace crewmap::map
