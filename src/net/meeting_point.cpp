#include "net/meeting_point.h"

#include <algorithm>

#include "net/messages.h"
#include "net/wire_text.h"

namespace crewmap::net {
namespace {

// The world in game units: it wraps east-west, not north-south.
constexpr std::int32_t kWorldWidth = 16384;
constexpr std::int32_t kWorldHeight = 8192;

// The constant parts, as they go on the wire.
const std::string& PointHead() {
  static const std::string head = std::string(kNoticeTag) + EncodeWireText("集合地点 ");
  return head;
}
const std::string& ClearedLine() {
  static const std::string line = std::string(kNoticeTag) + EncodeWireText("集合地点を解除しました");
  return line;
}

// Plain decimal below `limit` (at most five digits, no sign or blanks).
std::optional<std::int32_t> ParseCoordinate(std::string_view digits, std::int32_t limit) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  std::int32_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value >= limit) return std::nullopt;
  return value;
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
  const std::string_view numbers = piece.substr(PointHead().size());
  const std::size_t comma = numbers.find(',');
  if (comma == std::string_view::npos) return {};
  const auto x = ParseCoordinate(numbers.substr(0, comma), kWorldWidth);
  const auto y = ParseCoordinate(numbers.substr(comma + 1), kWorldHeight);
  if (!x || !y) return {};
  return {MeetingNoticeKind::Point, GamePoint{*x, *y}};
}

}  // namespace crewmap::net
