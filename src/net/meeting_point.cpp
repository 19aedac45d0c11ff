#include "net/meeting_point.h"

#include <algorithm>

#include "net/line_receiver.h"
#include "net/messages.h"
#include "net/wire_text.h"

namespace crewmap::net {
namespace {

// The constant parts, as they go on the wire.
const std::string& PointHead() {
  static const std::string head = std::string(kNoticeTag) + EncodeWireText("集合地点 ");
  return head;
}
const std::string& ClearedLine() {
  static const std::string line = std::string(kNoticeTag) + EncodeWireText("集合地点を解除しました");
  return line;
}

}  // namespace

std::string BuildMeetingNotice(std::optional<GamePoint> point) {
  if (!point) return ClearedLine() + std::string(kLineEnd);
  const std::int32_t x = ((point->x % kWorldWidth) + kWorldWidth) % kWorldWidth;
  const std::int32_t y = std::clamp(point->y, 0, kWorldHeight - 1);
  return PointHead() + std::to_string(x) + "," + std::to_string(y) + std::string(kLineEnd);
}

MeetingNotice ParseMeetingNotice(std::string_view piece) {
  if (piece == ClearedLine()) return {MeetingNoticeKind::Cleared, {}};
  if (piece.substr(0, PointHead().size()) != PointHead()) return {};
  const auto point = ParseWorldPoint(piece.substr(PointHead().size()));
  if (!point) return {};
  return {MeetingNoticeKind::Point, *point};
}

std::string BuildMeetingProposal(std::string_view report, std::optional<GamePoint> point) {
  std::string notice = BuildMeetingNotice(point);
  notice.resize(notice.size() - kLineEnd.size());
  return std::string(report) + "\t" + notice + std::string(kLineEnd);
}

std::optional<MeetingProposal> ParseMeetingProposal(std::string_view piece) {
  const std::size_t first = piece.find('\t');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t second = piece.find('\t', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const MeetingNotice notice = ParseMeetingNotice(piece.substr(second + 1));  // a fourth TAB fails here
  if (notice.kind == MeetingNoticeKind::None) return std::nullopt;
  return MeetingProposal{std::string(piece.substr(0, first)), notice};
}

std::string_view ProposerSuffix(bool cleared) {
  return cleared ? " が集合地点を解除しました" : " が集合地点を共有しました";
}

std::string BuildProposerNotice(std::string_view nick, bool cleared) {
  std::string line = std::string(kNoticeTag) + std::string(nick) + EncodeWireText(ProposerSuffix(cleared));
  if (line.size() > LineReceiver::kMaxLine) return {};  // only a nickname no member of ours can type
  return line + std::string(kLineEnd);
}

}  // namespace crewmap::net
