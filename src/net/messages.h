#pragma once
// Building the messages instances exchange. Every message is one text line
// ended by CR LF; texts are code page 932 bytes (see wire_text.h).
#include <string>
#include <string_view>

namespace crewmap::net {

inline constexpr int kPort = 21212;
inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::string_view kSlotAssignmentTag = "client#";
inline constexpr std::string_view kLeaveNoticeTag = "disconn";
inline constexpr std::string_view kNoticeTag = "*******";

// The notice a full host sends before it closes the connection (UTF-8; code
// page 932 on the wire). Members of every version show notice lines.
inline constexpr std::string_view kHostFullNotice = "*******満員です。空きができてから接続してください";

// The sender under which a blank line (CR LF alone: "still here" while the
// capture fails) is queued: a newer one replaces an unsent one, and it never
// replaces a position.
inline constexpr int kBlankLineSender = -2;

// "00".."09" (and "10".."99"; the protocol only uses 0..9).
std::string TwoDigitSlot(int slot);

// Member to host: nickname TAB position CR LF.
std::string BuildPositionReport(std::string_view nick, std::string_view position);
// Host to members: two-digit slot ":" the received piece, untouched, CR LF.
std::string BuildRelay(int slot, std::string_view piece);
// Host to members: "00:" nickname TAB position CR LF.
std::string BuildHostPosition(std::string_view nick, std::string_view position);
// Host to a new member: "client#" slot in plain decimal CR LF.
std::string BuildSlotAssignment(int slot);
// Host to members: "disconn" two-digit slot CR LF.
std::string BuildLeaveNotice(int slot);

}  // namespace crewmap::net
