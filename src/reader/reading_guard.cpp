#include "reader/reading_guard.h"

#include <algorithm>

#include "common/game_point.h"
#include "reader/validation.h"

namespace crewmap::reader {

bool WithinReach(std::string_view from, std::string_view to, std::int64_t elapsedMs) {
  if (from == to) return true;
  const auto a = ParseWorldPoint(from);
  const auto b = ParseWorldPoint(to);
  if (!a || !b) return false;
  std::int64_t dx = a->x > b->x ? a->x - b->x : b->x - a->x;
  dx = std::min<std::int64_t>(dx, kWorldWidth - dx);
  const std::int64_t dy = a->y > b->y ? a->y - b->y : b->y - a->y;
  const std::int64_t reach =
      std::max<std::int64_t>(kLargestStep, ReadingGuard::kTopSpeed * (std::max<std::int64_t>(elapsedMs, 0) / 1000));
  return dx <= reach && dy <= reach;
}

bool ReadingGuard::Counts(ReadoutOrigin origin, const std::string& text, std::int64_t nowMs) {
  const bool fresh = !last_ || !(last_->origin == origin) || absent_ >= kAbsentCaptures;
  absent_ = 0;
  // A held run goes on as a ship would sail from it: still covered, or still
  // the jump. It is judged against its own last reading, not the last one
  // that counted, so that time alone never lets it through.
  const bool heldRun = held_ && (text == *held_ || PlausibleStep(*held_, text));
  if (!fresh && (heldRun || !WithinReach(last_->text, text, nowMs - last_->atMs))) {
    held_ = text;
    return false;
  }
  last_ = Last{origin, text, nowMs};
  held_.reset();
  return true;
}

void ReadingGuard::Reset() {
  last_.reset();
  held_.reset();
  absent_ = 0;
}

}  // namespace crewmap::reader
