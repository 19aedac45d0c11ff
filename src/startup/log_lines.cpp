#include "startup/log_lines.h"

#include <cstdio>

namespace crewmap::startup {
namespace {

std::string Row(std::string_view timestamp, int slot, std::string_view arrow,
                std::string_view peerAddress, std::string_view what) {
  char number[16];
  std::snprintf(number, sizeof number, "%02d", slot);
  std::string row = "[";
  row += timestamp;
  row += ']';
  row += number;
  row += ". ";
  row += arrow;
  row += ' ';
  row += peerAddress;
  row += ' ';
  row += what;
  return row;
}

}  // namespace

std::string FormatTimestamp(const std::tm& local) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::string CurrentTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return FormatTimestamp(local);
}

std::string ConnectionRow(std::string_view timestamp, int slot, std::string_view peerAddress) {
  return Row(timestamp, slot, ">>", peerAddress, "Connect");
}

std::string DepartureRow(std::string_view timestamp, int slot, std::string_view peerAddress) {
  return Row(timestamp, slot, "<<", peerAddress, "Close");
}

std::string NoticeRow(std::string_view timestamp, std::string_view text) {
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about
  // "[" + std::string(...) in the mingw build.
  std::string row;
  row.reserve(timestamp.size() + text.size() + 2);
  row += '[';
  row += timestamp;
  row += ']';
  row += text;
  return row;
}

}  // namespace crewmap::startup
