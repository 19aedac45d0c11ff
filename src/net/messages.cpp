#include "net/messages.h"

namespace crewmap::net {
namespace {

// A TAB, CR or LF inside a field would split the message on the receiving
// side (or forge another message), so each becomes a space.
std::string FieldText(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return out;
}

std::string ReportLine(std::string_view nick, std::string_view position) {
  std::string line = FieldText(nick);
  line += '\t';
  line += FieldText(position);
  return line;
}

}  // namespace

std::string TwoDigitSlot(int slot) {
  std::string text = std::to_string(slot);
  if (text.size() < 2) text.insert(0, 2 - text.size(), '0');
  return text;
}

std::string BuildPositionReport(std::string_view nick, std::string_view position) {
  return ReportLine(nick, position) + std::string(kLineEnd);
}

std::string BuildRelay(int slot, std::string_view piece) {
  std::string line = TwoDigitSlot(slot);
  line += ':';
  line += piece;
  line += kLineEnd;
  return line;
}

std::string BuildHostPosition(std::string_view nick, std::string_view position) {
  return BuildRelay(0, ReportLine(nick, position));
}

std::string BuildSlotAssignment(int slot) {
  return std::string(kSlotAssignmentTag) + std::to_string(slot) + std::string(kLineEnd);
}

std::string BuildLeaveNotice(int slot) {
  return std::string(kLeaveNoticeTag) + TwoDigitSlot(slot) + std::string(kLineEnd);
}

}  // namespace crewmap::net
