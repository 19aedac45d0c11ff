#include "navi/ring_marks.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "navi/bearing.h"

namespace crewmap::navi {
namespace {

constexpr double kTurn = 2 * std::numbers::pi;
// The least angle between two marks' middles: a mark and a two-pixel gap,
// along the ring where it curves most tightly.
constexpr double kStep = (kMarkDiameter + 30) / kMarkRingHalfHeight;
// The least angle between the target dot's middle and a mark's.
constexpr double kDotClear = ((kDotDiameter + kMarkDiameter) / 2 + 30) / kMarkRingHalfHeight;

// Marks drawn side by side around the middle of the directions they stand for.
struct Cluster {
  std::vector<double> wants;  // the directions, rising (past a full turn where the group spans 0)
  std::vector<std::size_t> marks;
  double centre = 0;
  double Half() const { return (static_cast<double>(wants.size()) - 1) * kStep / 2; }
};

}  // namespace

std::vector<PlacedMark> PlaceRingMarks(const std::vector<RingMark>& marks, std::optional<double> dotAngle) {
  std::vector<Cluster> clusters;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const RingMark& m = marks[i];
    if (!std::isfinite(m.dx) || !std::isfinite(m.dy) || (m.dx == 0 && m.dy == 0)) continue;
    double want = std::atan2(static_cast<double>(m.dy), static_cast<double>(m.dx));
    if (want < 0) want += kTurn;
    clusters.push_back({{want}, {i}, want});
  }
  const auto byCentre = [](const Cluster& a, const Cluster& b) { return a.centre < b.centre; };
  std::stable_sort(clusters.begin(), clusters.end(), byCentre);
  // Joins neighbours that come too close (the last and the first across the
  // full turn too) until every pair is a step apart. Each join leaves one
  // cluster fewer, so this ends.
  for (bool joined = true; joined && clusters.size() > 1;) {
    joined = false;
    for (std::size_t c = 0; c < clusters.size(); ++c) {
      const std::size_t n = (c + 1) % clusters.size();
      const double across = n == 0 ? kTurn : 0;
      Cluster& a = clusters[c];
      Cluster& b = clusters[n];
      if ((b.centre + across - b.Half()) - (a.centre + a.Half()) >= kStep) continue;
      for (std::size_t k = 0; k < b.wants.size(); ++k) {
        a.wants.push_back(b.wants[k] + across);
        a.marks.push_back(b.marks[k]);
      }
      double sum = 0;
      for (const double w : a.wants) sum += w;
      a.centre = sum / static_cast<double>(a.wants.size());
      if (a.centre >= kTurn) {
        a.centre -= kTurn;
        for (double& w : a.wants) w -= kTurn;
      }
      clusters.erase(clusters.begin() + static_cast<std::ptrdiff_t>(n));
      std::stable_sort(clusters.begin(), clusters.end(), byCentre);
      joined = true;
      break;
    }
  }
  std::vector<PlacedMark> placed;
  for (const Cluster& cluster : clusters) {
    for (std::size_t k = 0; k < cluster.marks.size(); ++k) {
      PlacedMark p;
      p.angle = cluster.centre - cluster.Half() + static_cast<double>(k) * kStep;
      p.mark = marks[cluster.marks[k]];
      p.index = cluster.marks[k];
      placed.push_back(p);
    }
  }
  if (dotAngle) {
    // Marks under the dot (members at the target, or on the way to it) move
    // out to its two sides, in their order and still a step apart. At most
    // eight marks never reach round to the far side.
    std::vector<std::pair<double, PlacedMark*>> sides[2];
    for (PlacedMark& p : placed) {
      const double off = std::remainder(p.angle - *dotAngle, kTurn);
      sides[off < 0].push_back({std::fabs(off), &p});
    }
    for (int side = 0; side < 2; ++side) {
      std::sort(sides[side].begin(), sides[side].end(),
                [](const auto& a, const auto& b) { return a.first < b.first; });
      double least = kDotClear;
      for (auto& [off, p] : sides[side]) {
        off = std::max(off, least);
        least = off + kStep;
        p->angle = *dotAngle + (side == 0 ? off : -off);
      }
    }
  }
  for (PlacedMark& p : placed) {
    p.left = kMarkRingCentreX + kMarkRingHalfWidth * std::cos(p.angle) - kMarkDiameter / 2;
    p.top = kMarkRingCentreY + kMarkRingHalfHeight * std::sin(p.angle) - kMarkDiameter / 2;
    p.angle = std::fmod(p.angle + 2 * kTurn, kTurn);
  }
  std::sort(placed.begin(), placed.end(), [](const PlacedMark& a, const PlacedMark& b) { return a.index < b.index; });
  return placed;
}

double DotAngle(double bearingLeft, double bearingTop) {
  // The bearing's corner moves on an ellipse around (885, 765) with its
  // half-axes: its offset from there, over them, is the direction.
  return std::atan2((bearingTop - (kRingHalfHeight + kDotOffset)) / kRingHalfHeight,
                    (bearingLeft - (kRingHalfWidth + kDotOffset)) / kRingHalfWidth);
}

DotCorner DotOnRing(double bearingLeft, double bearingTop) {
  const double angle = DotAngle(bearingLeft, bearingTop);
  return {kMarkRingCentreX + kMarkRingHalfWidth * std::cos(angle) - kDotDiameter / 2,
          kMarkRingCentreY + kMarkRingHalfHeight * std::sin(angle) - kDotDiameter / 2};
}

}  // namespace crewmap::navi
