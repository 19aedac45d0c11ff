#include "map/place_layout.h"

#include <algorithm>
#include <cmath>

#include "map/transform.h"

namespace crewmap::map {

namespace {

// Grid cells of kCell x kCell pixels.
constexpr int kCell = 4;
int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Which cells of a grid over the area are taken.
class Taken {
 public:
  // The grid's memory is kept from one layout to the next: made anew for
  // every frame of scrolling, it came fresh from the system each time.
  Taken(int w, int h) : columns_(w / kCell + 1), rows_(h / kCell + 1), cells_(Cells()) {
    cells_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), 0);
  }
  bool Any(int left, int top, int w, int h) const {
    bool any = false;
    ForCells(left, top, w, h, [&](std::size_t i) { any = any || cells_[i]; });
    return any;
  }
  void Take(int left, int top, int w, int h) {
    ForCells(left, top, w, h, [&](std::size_t i) { cells_[i] = 1; });
  }

 private:
  template <typename Each>
  void ForCells(int left, int top, int w, int h, Each&& each) const {
    const int c0 = std::max(0, FloorDiv(left, kCell)),
              c1 = std::min(columns_ - 1, FloorDiv(left + w - 1, kCell));
    const int r0 = std::max(0, FloorDiv(top, kCell)),
              r1 = std::min(rows_ - 1, FloorDiv(top + h - 1, kCell));
    for (int r = r0; r <= r1; ++r)
      for (int c = c0; c <= c1; ++c) each(static_cast<std::size_t>(r) * columns_ + c);
  }
  static std::vector<char>& Cells() {
    thread_local std::vector<char> cells;
    return cells;
  }
  int columns_, rows_;
  std::vector<char>& cells_;
};

}  // namespace

std::vector<PlaceSpot> LayOutPlaces(const std::vector<Place>& places, const ViewState& view,
                                    int areaW, int areaH,
                                    const std::function<LabelSize(std::size_t)>& labelSize) {
  std::vector<PlaceSpot> spots;
  if (areaW <= 0 || areaH <= 0 || places.empty()) return spots;
  const double z = HoseiToDouble(view.hosei);
  constexpr int r = kPlaceMarkRadius;
  Taken taken(areaW, areaH);
  for (std::size_t i = 0; i < places.size(); ++i) {
    const GamePoint p = places[i].point;
    const double x = z * (GameToMapX(NearestCopyX(p.x, view.viewX, view.w)) - view.viewX);
    const double y = z * (GameToMapY(p.y) - view.viewY);
    if (x < -r || y < -r || x > areaW + r || y > areaH + r) continue;
    PlaceSpot spot;
    spot.place = i;
    spot.x = static_cast<int>(std::floor(x));
    spot.y = static_cast<int>(std::floor(y));
    taken.Take(spot.x - r, spot.y - r, 2 * r + 1, 2 * r + 1);
    spots.push_back(spot);
  }
  // Names after all marks, so that no name hides a mark.
  for (PlaceSpot& spot : spots) {
    const LabelSize size = labelSize(spot.place);
    const int top = spot.y - size.h / 2;
    // From the first cell clear of the mark on its right, or up to the
    // last one on its left: never in a cell the mark takes.
    const int right = (FloorDiv(spot.x + r, kCell) + 1) * kCell;
    const int leftEnd = FloorDiv(spot.x - r, kCell) * kCell;
    for (const int left : {right, leftEnd - size.w}) {
      if (left < 0 || top < 0 || left + size.w > areaW || top + size.h > areaH) continue;
      if (taken.Any(left, top, size.w, size.h)) continue;
      taken.Take(left, top, size.w, size.h);
      spot.named = true;
      spot.labelLeft = left;
      spot.labelTop = top;
      break;
    }
  }
  return spots;
}

}  // namespace crewmap::map
