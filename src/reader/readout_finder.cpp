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
  // costs the one read it always has. While something lies over it, nothing
  // else is looked for: the read-out is still there.
  std::optional<PlaceKind> failed;
  if (trusted_) {
    PlaceReading reading = ReadAt(pixels, *trusted_);
    if (!reading.position.empty()) return Judge(*trusted_, std::move(reading), nowMs);
    if (reading.covered) {
      guard_.Present();
      FinderResult covered;
      covered.covered = true;
      return covered;
    }
    failed = trusted_->kind;
    trusted_.reset();
  }

  // Then every known place in the order of preference.
  std::vector<ReadoutPlace> places{{PlaceKind::Table, view_.table}};
  const auto corner = CornerOrigin(view_.clientWidth, view_.clientHeight);
  if (corner && !probeTable_) places.push_back({PlaceKind::Corner, *corner});
  if (found_) places.push_back({PlaceKind::Found, *found_});
  bool covered = false;
  for (const ReadoutPlace& place : places) {
    if (failed == place.kind) continue;
    PlaceReading reading = ReadAt(pixels, place);
    covered = covered || reading.covered;
    if (reading.position.empty()) continue;
    trusted_ = place;
    return Judge(place, std::move(reading), nowMs);
  }

  // A place the search found counts once it reads again, moved, and again.
  if (FinderResult confirmed = Confirm(pixels); confirmed.place) {
    found_ = confirmed.place->origin;
    trusted_ = confirmed.place;
    candidates_.clear();
    setAside_.clear();
    pace_ = {};
    return Judge(*confirmed.place, {std::move(confirmed.position)}, nowMs);
  }

  if (covered) guard_.Present();
  else guard_.Absent();
  if (view_.clientWidth > 0 && view_.clientHeight > 0 && nowMs >= nextSearchMs_) SearchBand(pixels, nowMs);
  FinderResult nothing;
  nothing.confirming = !candidates_.empty();
  nothing.covered = covered;
  return nothing;
}

FinderResult ReadoutFinder::Judge(const ReadoutPlace& place, PlaceReading reading, std::int64_t nowMs) {
  FinderResult result;
  result.place = place;
  // Read by the probes alone, as the reference reads: nothing more is known.
  if (!reading.whole) {
    result.position = std::move(reading.position);
    return result;
  }
  if (place.kind == PlaceKind::Found && !KeepsPace(reading.position)) {
    found_.reset();
    trusted_.reset();
    return {};
  }
  if (guard_.Counts(place.origin, reading.position, nowMs)) result.position = std::move(reading.position);
  else result.held = true;
  return result;
}

bool ReadoutFinder::KeepsPace(const std::string& text) {
  if (text == pace_.last) {
    if (++pace_.rest == kRestCaptures && pace_.afterRest) {
      pace_.afterRest = false;
      if (++pace_.lone >= kLoneSteps) return false;
    }
    return true;
  }
  pace_.afterRest = pace_.rest >= kRestCaptures;
  if (!pace_.afterRest) pace_.lone = 0;  // it sails on
  pace_.rest = 0;
  pace_.last = text;
  return true;
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
  setAside_.clear();
  pace_ = {};
  guard_.Reset();
  bandBottom_ = view.clientHeight;
  nextSearchMs_ = nowMs;
}

PlaceReading ReadoutFinder::ReadAt(ClientPixels& pixels, const ReadoutPlace& place) const {
  if (place.kind == PlaceKind::Table && probeTable_) return pixels.ReadProbes(place.origin);
  const platform::PixelRect area = WholeGlyphArea(place.origin);
  platform::PixelBlock block;
  if (area.width == 0 || !pixels.Read(area, block, false)) return {};
  CellsRead cells = ReadCells(block, place.origin);
  PlaceReading reading;
  reading.covered = cells.show == CellsShow::Covered;
  if (cells.show == CellsShow::Readout && IsWorldPosition(cells.text)) reading.position = std::move(cells.text);
  return reading;
}

FinderResult ReadoutFinder::Confirm(ClientPixels& pixels) {
  for (auto it = candidates_.begin(); it != candidates_.end();) {
    const ReadoutPlace place{PlaceKind::Found, it->origin};
    std::string text = ReadAt(pixels, place).position;
    if (text.empty()) {
      it = candidates_.erase(it);
      continue;
    }
    if (PlausibleStep(it->last, text)) {
      if (++it->moves >= kMovesToConfirm) return {std::move(text), place};
    } else {
      it->moves = 0;  // still, or jumped: start again
      if (text == it->last) ++it->still;
    }
    it->last = std::move(text);
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
    for (FoundReadout& f : FindReadouts(band)) {
      if (std::ranges::find(candidates_, f.origin, &Candidate::origin) != candidates_.end()) continue;
      Candidate fresh{f.origin, std::move(f.position)};
      // A place set aside comes back with its count, unless it changed meanwhile.
      if (const auto aside = std::ranges::find(setAside_, f.origin, &Candidate::origin); aside != setAside_.end()) {
        if (aside->last == fresh.last) fresh.still = aside->still;
        setAside_.erase(aside);
      }
      candidates_.push_back(std::move(fresh));
    }
    // Places tried least first, so that numbers that stay still (a price
    // list) give way to places not yet tried; nearer the corner among equals.
    std::stable_sort(candidates_.begin(), candidates_.end(), [this](const Candidate& a, const Candidate& b) {
      return a.still != b.still ? a.still < b.still : Before(a.origin, b.origin);
    });
    for (; candidates_.size() > kMaxCandidates; candidates_.pop_back()) setAside_.push_back(std::move(candidates_.back()));
    if (setAside_.size() > kSetAsidePlaces)
      setAside_.erase(setAside_.begin(), setAside_.end() - static_cast<std::ptrdiff_t>(kSetAsidePlaces));
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
