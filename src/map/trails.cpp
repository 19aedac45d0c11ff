#include "map/trails.h"

#include <algorithm>
#include <cmath>

#include "map/position_text.h"

namespace crewmap::map {

const Trails::Sample& Trails::At(int i, std::size_t k) const {
  const Ring& r = rings_[static_cast<std::size_t>(i)];
  return r.samples[(r.first + k) % kCapacity];
}

void Trails::Note(const net::SlotTable& slots, std::int64_t nowMs) {
  for (int i = 0; i < kSlots; ++i) {
    Ring& r = rings_[static_cast<std::size_t>(i)];
    const net::Slot& slot = slots[static_cast<std::size_t>(i)];
    const auto position = ParsePosition(slot.Point);
    if (slot.Nick.empty() || !position) {
      r.pendingBreak = true;  // away, or its position unknown: the line breaks
      continue;
    }
    if (slot.Nick != r.nick) {  // another member: another trail
      r = Ring();
      r.nick = slot.Nick;
    }
    // A position stamped on arrival counts at its arrival: one seen again on
    // a later tick is the same reading, and the member is not known to be
    // there any later.
    const std::int64_t at = slot.PointAtMs != 0 ? slot.PointAtMs : nowMs;
    if (at <= r.seenMs) continue;
    const bool gap = r.seenMs >= 0 && at - r.seenMs > kGapMs;
    r.seenMs = at;
    const Sample* last = r.count > 0 ? &At(i, r.count - 1) : nullptr;
    const auto x = static_cast<float>(position->x), y = static_cast<float>(position->y);
    const bool moved = !last || last->x != x || last->y != y;
    if (!moved && !gap && !r.pendingBreak) continue;  // still there: the line needs nothing new
    bool jump = false;
    if (last) {
      const double seconds = static_cast<double>(at - last->atMs) / 1000.0;
      jump = std::hypot(ShorterDx(x - last->x), y - last->y) > kJumpSpeed * seconds;
    }
    const Sample sample{at, x, y, !last || r.pendingBreak || gap || jump};
    r.pendingBreak = false;
    if (r.count < kCapacity) {
      r.samples[(r.first + r.count) % kCapacity] = sample;
      ++r.count;
    } else {  // full: the oldest goes
      r.samples[r.first] = sample;
      r.first = (r.first + 1) % kCapacity;
    }
  }
}

std::vector<TrailPiece> TrailPieces(const Trails& trails, std::int64_t nowMs, std::int32_t viewX, std::int32_t viewY,
                                    HoseiValue hosei, int areaW, int areaH) {
  std::vector<TrailPiece> pieces;
  const double z = HoseiToDouble(hosei);
  const auto w = static_cast<std::int32_t>(std::ceil(areaW / z));
  const double worldPixels = z * MapWidth;
  const std::int64_t oldest = nowMs - Trails::kWindowMs;
  const auto toX = [&](double x) { return z * (GameToMapX(x) - viewX); };
  const auto toY = [&](double y) { return z * (GameToMapY(y) - viewY); };
  for (int i = 0; i < Trails::kSlots; ++i) {
    const std::size_t count = trails.Count(i);
    if (count < 2) continue;
    // From the newest back: each sample the shorter way from the next one;
    // the newest, and the start of every run after a break, at the copy of
    // the world nearest the view's middle.
    double x = NearestCopyX(trails.At(i, count - 1).x, viewX, w);
    for (std::size_t k = count - 1; k-- > 0;) {
      const Trails::Sample& older = trails.At(i, k);
      const Trails::Sample& newer = trails.At(i, k + 1);
      if (older.atMs < oldest) break;
      if (newer.breakBefore) {
        x = NearestCopyX(older.x, viewX, w);
        continue;
      }
      const double olderX = x - ShorterDx(newer.x - older.x);
      const auto band = static_cast<int>(std::clamp<std::int64_t>((nowMs - newer.atMs) * kTrailBands / Trails::kWindowMs,
                                                                  0, kTrailBands - 1));
      const double x0 = toX(olderX), x1 = toX(x), y0 = toY(older.y), y1 = toY(newer.y);
      x = olderX;
      if (std::max(y0, y1) < -2 || std::min(y0, y1) > areaH + 2) continue;
      for (const double shift : {0.0, -worldPixels, worldPixels}) {
        if (std::max(x0, x1) + shift < -2 || std::min(x0, x1) + shift > areaW + 2) continue;
        pieces.push_back({static_cast<float>(x0 + shift), static_cast<float>(y0), static_cast<float>(x1 + shift),
                          static_cast<float>(y1), i, band});
      }
    }
  }
  return pieces;
}

}  // namespace crewmap::map
