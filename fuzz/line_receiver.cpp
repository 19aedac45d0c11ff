// The line receiver over arbitrary chunkings of one byte stream, with the
// host's and the member's reading of every line, and the host's relay read
// back by a member.
//
// Input: a count N (0..31) of chunk sizes, N sizes, then the stream. The
// stream is cut into arrivals by the sizes in turn; what is left after the
// last size is one more arrival.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "net/classify.h"
#include "net/line_receiver.h"
#include "net/meeting_point.h"
#include "net/messages.h"

namespace {

using crewmap::net::LineReceiver;

// What the receiver must hand out for a stream, whatever the arrivals: the
// pieces between CR LFs, without the unterminated rest, leaving out blank
// pieces and pieces longer than the bound.
std::vector<std::string> ExpectedLines(std::string_view stream, std::size_t maxLine) {
  std::vector<std::string> lines;
  for (;;) {
    const std::size_t end = stream.find("\r\n");
    if (end == std::string_view::npos) break;
    const std::string_view piece = stream.substr(0, end);
    if (piece.size() <= maxLine && !crewmap::net::IsBlankPiece(piece)) lines.emplace_back(piece);
    stream.remove_prefix(end + 2);
  }
  return lines;
}

bool HasLineEnd(std::string_view line) { return line.find("\r\n") != std::string_view::npos; }

// Feeds `arrivals` to a fresh receiver with the given line bound, checking
// what it keeps after each one (at most a line and the CR of its CR LF).
std::vector<std::string> Receive(const std::vector<std::string_view>& arrivals, std::size_t maxLine) {
  LineReceiver receiver(maxLine);
  std::vector<std::string> lines;
  for (const std::string_view arrival : arrivals) {
    for (std::string& line : receiver.Feed(arrival)) {
      FUZZ_CHECK(!HasLineEnd(line));
      FUZZ_CHECK(line.size() <= maxLine);
      FUZZ_CHECK(!crewmap::net::IsBlankPiece(line));
      lines.push_back(std::move(line));
    }
    FUZZ_CHECK(receiver.PendingBytes() <= maxLine + 1);
  }
  // Every CR LF counts as a line end, whether its line was kept or not.
  std::size_t ends = 0;
  std::string joined;
  for (const std::string_view arrival : arrivals) joined += arrival;
  for (std::size_t at = joined.find("\r\n"); at != std::string::npos; at = joined.find("\r\n", at + 2)) ++ends;
  FUZZ_CHECK(receiver.LineEnds() == ends);
  // A new connection starts clean, whatever the last one left behind.
  receiver.Reset();
  FUZZ_CHECK(receiver.Feed("z\r\n") == std::vector<std::string>{"z"});
  return lines;
}

// The stream cut at the given sizes in turn, the rest as the last arrival.
std::vector<std::string_view> Cut(std::string_view stream, const std::vector<std::size_t>& sizes) {
  std::vector<std::string_view> arrivals;
  for (const std::size_t s : sizes) {
    arrivals.push_back(stream.substr(0, s));
    stream.remove_prefix(arrivals.back().size());
  }
  arrivals.push_back(stream);
  return arrivals;
}

void CheckMemberReading(std::string_view line) {
  using crewmap::net::MemberMessageKind;
  const auto message = crewmap::net::ClassifyMemberPiece(line);
  if (!message) return;
  switch (message->Kind) {
    case MemberMessageKind::SlotAssignment:
      FUZZ_CHECK(message->Slot >= 1 && message->Slot <= 9);
      FUZZ_CHECK(line.substr(0, 7) == "client#" && message->Text == line);
      break;
    case MemberMessageKind::LeaveNotice:
      FUZZ_CHECK(message->Slot >= 0 && message->Slot <= 9);
      FUZZ_CHECK(line.substr(0, 9) == "disconn" + crewmap::net::TwoDigitSlot(message->Slot));
      break;
    case MemberMessageKind::Notice: {
      FUZZ_CHECK(line.substr(0, 7) == "*******" && message->Text == line);
      // A meeting point read from a notice lies in the world and reads back
      // the same from the notice built for it.
      const auto meeting = crewmap::net::ParseMeetingNotice(line);
      if (meeting.kind != crewmap::net::MeetingNoticeKind::Point) break;
      FUZZ_CHECK(meeting.point.x >= 0 && meeting.point.x < 16384 && meeting.point.y >= 0 && meeting.point.y < 8192);
      const std::string built = crewmap::net::BuildMeetingNotice(meeting.point);
      FUZZ_CHECK(crewmap::net::ParseMeetingNotice(std::string_view(built).substr(0, built.size() - 2)).point == meeting.point);
      break;
    }
    case MemberMessageKind::PositionRelay:
      FUZZ_CHECK(message->Slot >= 0 && message->Slot <= 9);
      FUZZ_CHECK(line.substr(0, 3) == crewmap::net::TwoDigitSlot(message->Slot) + ":");
      FUZZ_CHECK(message->Nick.find('\t') == std::string::npos);
      FUZZ_CHECK(message->Point.find('\t') == std::string::npos);
      FUZZ_CHECK(line.substr(3, message->Nick.size() + 1) == message->Nick + "\t");
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  crewmap::fuzz::InputReader input(data, size);
  std::vector<std::size_t> sizes(input.Byte() % 32);
  for (std::size_t& s : sizes) s = input.U16() % 8192;
  const std::string_view stream = input.Rest();

  const std::vector<std::string_view> arrivals = Cut(stream, sizes);

  // The same lines come out however the stream arrives, on a member and,
  // with its shorter bound, on the host.
  const std::vector<std::string> lines = Receive(arrivals, LineReceiver::kMaxLine);
  FUZZ_CHECK(lines == ExpectedLines(stream, LineReceiver::kMaxLine));
  for (const std::string& line : lines) CheckMemberReading(line);
  const std::vector<std::string> hostLines = Receive(arrivals, LineReceiver::kMaxReport);
  FUZZ_CHECK(hostLines == ExpectedLines(stream, LineReceiver::kMaxReport));

  // The host reads each line as a report and relays it; the member, fed
  // the relays in pieces of the same sizes, reads back exactly those relays, with the slot, nickname and position sent.
  std::string relays;
  std::vector<crewmap::net::HostReport> reports;
  const int slot = static_cast<int>(sizes.size() % 9) + 1;
  for (const std::string& line : hostLines) {
    const auto report = crewmap::net::ClassifyHostPiece(line);
    if (!report) {
      FUZZ_CHECK(line.find('\t') == std::string::npos);
      continue;
    }
    FUZZ_CHECK(line.substr(0, report->Nick.size() + 1) == report->Nick + "\t");
    FUZZ_CHECK(report->Point.find('\t') == std::string::npos);
    // A proposal is also its proposer's report; our host's notice naming
    // the proposer is a notice line every member takes, or none at all.
    if (const auto proposal = crewmap::net::ParseMeetingProposal(line)) {
      FUZZ_CHECK(proposal->nick == report->Nick);
      const std::string naming = crewmap::net::BuildProposerNotice(
          proposal->nick, proposal->notice.kind == crewmap::net::MeetingNoticeKind::Cleared);
      if (!naming.empty()) {
        const std::vector<std::string> told = Receive({naming}, LineReceiver::kMaxLine);
        FUZZ_CHECK(told.size() == 1 && told[0] + "\r\n" == naming);
        CheckMemberReading(told[0]);
      }
    }
    relays += crewmap::net::BuildRelay(slot, line);
    reports.push_back(*report);
  }
  const std::vector<std::string> relayed = Receive(Cut(relays, sizes), LineReceiver::kMaxLine);
  FUZZ_CHECK(relayed.size() == reports.size());
  for (std::size_t i = 0; i < relayed.size() && i < reports.size(); ++i) {
    const auto message = crewmap::net::ClassifyMemberPiece(relayed[i]);
    FUZZ_CHECK(message && message->Kind == crewmap::net::MemberMessageKind::PositionRelay);
    FUZZ_CHECK(message->Slot == slot);
    FUZZ_CHECK(message->Nick == reports[i].Nick && message->Point == reports[i].Point);
  }
  return 0;
}
