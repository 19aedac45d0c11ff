#pragma once
// The lines of the activity log that the host writes.
#include <ctime>
#include <string>
#include <string_view>

namespace crewmap::startup {

// "YYYY/MM/DD HH:NN:SS".
std::string FormatTimestamp(const std::tm& local);
// The local time now in that form.
std::string CurrentTimestamp();

// "[" timestamp "]" two-digit slot ". >> " address " Connect"
std::string ConnectionRow(std::string_view timestamp, int slot, std::string_view peerAddress);
// "[" timestamp "]" two-digit slot ". << " address " Close"
std::string DepartureRow(std::string_view timestamp, int slot, std::string_view peerAddress);
// "[" timestamp "]" text: the program's own notes (how members reach the
// host, the member's retries, whether the position is read).
std::string NoticeRow(std::string_view timestamp, std::string_view text);

}  // namespace crewmap::startup
