#include "map/label_spread.h"

#include <cstddef>

namespace crewmap::map {
namespace {
bool Overlap(const LabelBox& a, const LabelBox& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}
}  // namespace

void SpreadLabels(std::vector<LabelBox>& boxes) {
  for (std::size_t i = 1; i < boxes.size(); ++i) {
    // Each move goes below a placed box, so at most i moves end the search.
    for (bool moved = true; moved;) {
      moved = false;
      for (std::size_t j = 0; j < i; ++j) {
        if (boxes[j].width > 0 && boxes[j].height > 0 && Overlap(boxes[i], boxes[j])) {
          boxes[i].top = boxes[j].top + boxes[j].height;
          moved = true;
        }
      }
    }
  }
}

}  // namespace crewmap::map
