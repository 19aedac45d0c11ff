#include "reader/readout_finder.h"

#include <algorithm>

#include "reader/readout_search.h"
#include "reader/validation.h"
#include "reader/whole_glyphs.h"

namespace crewmap::reader {

std::optional<ReadoutOrigin> CornerOrigin(std::int32_t clientWidth, std::int32_t clientHeight) {
  // Every row of the origin table is this rule for its nominal client size.
  constexpr std::int32_t kFromRight = 78;
  constexpr std::int32_t kFromBottom = 272;
  if (clientWidth < kFromRight || clientHeight < kFromBottom) return std::nullopt;
  return ReadoutOrigin{clientWidth - kFromRight, clientHeight - kFromBottom};
}

FinderResult ReadoutFinder::Read(ClientPixels& pixels, const WindowView& view, std::int64_t nowMs) {
  if (view != view_) Restart(view, nowMs);

  // The place that read last time first: while it keeps reading, a capture
  // costs the one read it always has.
  std::optional<PlaceKind> failed;
  if (trusted_) {
    std::string text = ReadAt(pixels, *trusted_);
    if (!text.empty()) return {std::move(text), trusted_, false};
    failed = trusted_->kind;
    trusted_.reset();
  }

  // Then every known place in the order of preference.
  std::vector<ReadoutPlace> places{{PlaceKind::Table, view_.table}};
  const auto corner = CornerOrigin(view_.clientWidth, view_.clientHeight);
  if (corner && !probeTable_) places.push_back({PlaceKind::Corner, *corner});
  if (found_) places.push_back({PlaceKind::Found, *found_});
  for (const ReadoutPlace& place : places) {
    if (failed == place.kind) continue;
    std::string text = ReadAt(pixels, place);
    if (text.empty()) continue;
    trusted_ = place;
    return {std::move(text), place, false};
  }

  // A place the search found counts once it reads again, moved.
  if (FinderResult confirmed = Confirm(pixels); confirmed.place) {
    found_ = confirmed.place->origin;
    trusted_ = confirmed.place;
    candidates_.clear();
    return confirmed;
  }

  if (view_.clientWidth > 0 && view_.clientHeight > 0 && nowMs >= nextSearchMs_) SearchBand(pixels, nowMs);
  FinderResult nothing;
  nothing.confirming = !candidates_.empty();
  return nothing;
}

void ReadoutFinder::Restart(const WindowView& view, std::int64_t nowMs) {
  view_ = view;
  // Where the table's place is the corner's (the table's own sizes, and any
  // size the window source cannot tell), it is read exactly as it always
  // was; elsewhere it needs the same evidence as the corner's place.
  const auto corner = CornerOrigin(view.clientWidth, view.clientHeight);
  probeTable_ = view.clientWidth < 0 || corner == view.table;
  trusted_.reset();
  found_.reset();
  candidates_.clear();
  bandBottom_ = view.clientHeight;
  nextSearchMs_ = nowMs;
}

std::string ReadoutFinder::ReadAt(ClientPixels& pixels, const ReadoutPlace& place) const {
  if (place.kind == PlaceKind::Table && probeTable_) return pixels.ReadProbes(place.origin);
  const platform::PixelRect area = WholeGlyphArea(place.origin);
  platform::PixelBlock block;
  if (area.width == 0 || !pixels.Read(area, block, false)) return {};
  return ReadWholeGlyphs(block, place.origin);
}

FinderResult ReadoutFinder::Confirm(ClientPixels& pixels) {
  for (auto it = candidates_.begin(); it != candidates_.end();) {
    const ReadoutPlace place{PlaceKind::Found, it->origin};
    std::string text = ReadAt(pixels, place);
    if (text.empty()) {
      it = candidates_.erase(it);
      continue;
    }
    if (PlausibleStep(it->last, text)) return {std::move(text), place, false};
    it->last = std::move(text);  // still, or jumped: wait for the next step
    ++it;
  }
  return {};
}

void ReadoutFinder::SearchBand(ClientPixels& pixels, std::int64_t nowMs) {
  // Bands overlap by a read-out's rows with their outline, so that each
  // read-out lies wholly in one band.
  constexpr std::int32_t kOverlap = 12;
  // (Not std::clamp: a client area lower than two overlaps is read whole.)
  const auto rows = static_cast<std::int32_t>(
      std::min<std::int64_t>(std::max<std::int64_t>(kBandPixels / view_.clientWidth, 2 * kOverlap), view_.clientHeight));
  const std::int32_t top = std::max(0, bandBottom_ - rows);
  platform::PixelBlock band;
  const bool read = pixels.Read({0, top, view_.clientWidth, bandBottom_ - top}, band, true);
  if (read) {
    for (FoundReadout& f : FindReadouts(band))
      if (std::ranges::find(candidates_, f.origin, &Candidate::origin) == candidates_.end())
        candidates_.push_back({f.origin, std::move(f.position)});
    std::stable_sort(candidates_.begin(), candidates_.end(),
                     [this](const Candidate& a, const Candidate& b) { return Before(a.origin, b.origin); });
    if (candidates_.size() > kMaxCandidates) candidates_.resize(kMaxCandidates);
  }
  if (!read || top == 0) {
    bandBottom_ = view_.clientHeight;
    nextSearchMs_ = nowMs + kSearchPauseMs;
  } else {
    bandBottom_ = top + kOverlap;
  }
}

bool ReadoutFinder::Before(const ReadoutOrigin& a, const ReadoutOrigin& b) const {
  const auto distance = [this](const ReadoutOrigin& o) {
    const std::int64_t dx = std::int64_t{view_.clientWidth} - o.x;
    const std::int64_t dy = std::int64_t{view_.clientHeight} - o.y;
    return dx * dx + dy * dy;
  };
  return distance(a) < distance(b);
}

}  // namespace crewmap::reader
