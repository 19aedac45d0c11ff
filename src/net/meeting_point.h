#pragma once
// The group's meeting point on the wire. A host shares it as a notice line,
// which members of every version show in their activity log as it stands:
// "*******集合地点 8192,4096" for a point in game coordinates,
// "*******集合地点を解除しました" when it is cleared. Our members also read the
// point back out of such a line. Texts are code page 932 bytes on the wire.
#include <optional>
#include <string>
#include <string_view>

#include "common/game_point.h"

namespace crewmap::net {

// The notice line for a point, or for clearing it (nothing), with its CR LF.
// A point is written where it lies in the world: x wrapped into 0..16383
// (the world wraps east-west), y held within 0..8191.
std::string BuildMeetingNotice(std::optional<GamePoint> point);

enum class MeetingNoticeKind {
  None,     // not a meeting notice (any other line)
  Point,    // a meeting point was shared
  Cleared,  // the meeting point was cleared
};

struct MeetingNotice {
  MeetingNoticeKind kind = MeetingNoticeKind::None;
  GamePoint point;  // for Point
};

// Reads a received line (without its CR LF). Only the exact forms above are
// meeting notices, with x in 0..16383 and y in 0..8191 in plain decimal;
// anything else is None.
MeetingNotice ParseMeetingNotice(std::string_view piece);

}  // namespace crewmap::net
