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

// A member proposes a point (or clearing it) to its host. The line is the
// member's own position report with the notice's text (without its CR LF)
// as a third TAB field: "User1\t14175,7410\t*******集合地点 8192,4096".
// A host that does not know proposals takes it as the report it also is,
// and relays it as one; every member ignores fields after the second, so
// nothing new shows anywhere. `report` is "nickname TAB position" without
// its CR LF.
std::string BuildMeetingProposal(std::string_view report, std::optional<GamePoint> point);

struct MeetingProposal {
  std::string nick;  // the proposer's nickname, as received
  MeetingNotice notice;
};

// Reads a line as a proposal: exactly three TAB fields, the third a meeting
// notice. Anything else (a plain report included) gives nothing.
std::optional<MeetingProposal> ParseMeetingProposal(std::string_view piece);

// The notice line a host sends ahead of a proposed point's notice, naming
// the proposer (`nick` as received, code page 932): "*******太郎 が集合地点を
// 共有しました", or "...を解除しました" for clearing. With its CR LF; empty
// when it would be longer than a member takes.
std::string BuildProposerNotice(std::string_view nick, bool cleared);
// What follows the nickname there (UTF-8).
std::string_view ProposerSuffix(bool cleared);

}  // namespace crewmap::net
