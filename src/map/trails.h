#pragma once
// The way each member came over the last few minutes, and the line pieces
// the map draws for it. Plain C++ so the rules are tested without a window.
//
// Each slot 0..8 keeps its samples in a ring of fixed size, so memory does
// not grow however long the group sails. A sample is taken when a member's
// position changes, at most once a tick. The line breaks where the member
// was away (no position for a while, or its slot taken by another nickname)
// and where it jumped (a step faster than any ship: a misread read-out or a
// teleport); it is drawn the shorter way across the seam.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "map/transform.h"
#include "net/slots.h"

namespace crewmap::map {

class Trails {
 public:
  static constexpr std::int64_t kWindowMs = 5 * 60 * 1000;  // how far back a trail reaches
  static constexpr std::size_t kCapacity = 320;             // samples per member: the window at one a second
  static constexpr std::int64_t kGapMs = 10000;             // no position for longer: the line breaks
  static constexpr double kJumpSpeed = 200;                 // game units a second; faster is a jump
  static constexpr int kSlots = 9;

  struct Sample {
    std::int64_t atMs = 0;
    float x = 0, y = 0;        // game units
    bool breakBefore = false;  // no line from the sample before
  };

  // One tick: a sample for every slot 0..8 whose position moved, stamped
  // with its arrival (or `nowMs` when not stamped).
  void Note(const net::SlotTable& slots, std::int64_t nowMs);

  // Slot i's samples, oldest first.
  std::size_t Count(int i) const { return rings_[static_cast<std::size_t>(i)].count; }
  const Sample& At(int i, std::size_t k) const;

 private:
  struct Ring {
    std::array<Sample, kCapacity> samples{};
    std::size_t first = 0;  // the oldest
    std::size_t count = 0;
    std::string nick;          // whose trail it is
    std::int64_t seenMs = -1;  // the position was last there (moved or not)
    bool pendingBreak = false;
  };
  std::array<Ring, kSlots> rings_;
};

// One straight piece of a trail, in map-area pixels, at one of kBands
// strengths (0 the newest, fading with age).
struct TrailPiece {
  float x0, y0, x1, y1;
  int slot;
  int band;
  bool operator==(const TrailPiece&) const = default;
};
inline constexpr int kTrailBands = 6;

// The pieces of every trail of the last Trails::kWindowMs before `nowMs`
// that show in a map area `areaW` x `areaH` pixels viewing map pixels from
// (viewX, viewY) at `hosei`. A trail is laid out
// from its newest sample, where the member's marker is drawn, and shown
// again one world away where the view repeats it.
std::vector<TrailPiece> TrailPieces(const Trails& trails, std::int64_t nowMs, std::int32_t viewX, std::int32_t viewY,
                                    HoseiValue hosei, int areaW, int areaH);

}  // namespace crewmap::map
