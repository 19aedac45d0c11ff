#include "startup/settings.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include "common/rounding.h"
#include "platform/codepage.h"
#include "platform/profile.h"
#include "platform/system_path.h"
#include "startup/common.h"

namespace crewmap::startup {

std::string GetIniString(const std::string& section, const std::string& key,
                         const std::string& defaultValue, std::int32_t size,
                         const std::string& file) {
  std::string value =
      platform::GetPrivateProfileStringBytes(section, key, defaultValue, size, file);
  if (const auto nul = value.find('\0'); nul != std::string::npos) value.resize(nul);
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
    if (c == '\v') out += "\r\n";
    else out += c;
  }
  return out;
}

std::optional<std::int32_t> ParseLogLimit(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);

  // Check the whole form first; from_chars alone would accept a prefix.
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t numberStart = i;
  std::size_t digits = 0;
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponentDigits = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;

  double value = 0.0;
  const char* first = text.data() + numberStart;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last) return std::nullopt;
  return RoundToInt32(negative ? -value : value);
}

namespace {

bool ValidUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto b = static_cast<unsigned char>(text[at]);
    const std::size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (length == 0 || at + length > text.size()) return false;
    for (std::size_t i = 1; i < length; ++i)
      if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return false;
    at += length;
  }
  return true;
}

}  // namespace

NetSettings LoadNetSettings(const std::string& iniPath) {
  NetSettings net;
  net.echoUrl = GetIniString("NET", "ECHOURL", "", 512, iniPath);
  net.askRouter = GetIniString("NET", "UPNP", "1", 16, iniPath) != "0";
  const std::string check = GetIniString("NET", "RECHECK", "", 16, iniPath);
  int seconds = 0;
  for (const char c : check) {
    if (c < '0' || c > '9' || seconds > 3600) {
      seconds = 0;
      break;
    }
    seconds = seconds * 10 + (c - '0');
  }
  if (seconds >= 2 && seconds <= 3600) net.checkSeconds = seconds;
  // Saved by Notepad as ANSI (code page 932) or as UTF-8: Japanese text in
  // code page 932 is hardly ever valid UTF-8, so valid UTF-8 is taken as such.
  const std::string key = GetIniString("NET", "KEY", "", 256, iniPath);
  net.key = ValidUtf8(key) ? key : platform::Cp932ToUtf8(key);
  return net;
}

MapSettings LoadMapSettings(const std::string& iniPath) {
  MapSettings map;
  const std::string arrival = GetIniString("MAP", "ARRIVAL", "", 16, iniPath);
  int units = 0;
  const auto [end, error] = std::from_chars(arrival.data(), arrival.data() + arrival.size(), units);
  if (error == std::errc() && end == arrival.data() + arrival.size() && units >= 1 && units <= 2000)
    map.arrivalDistance = units;
  return map;
}

std::filesystem::path PlacesPath(const std::string& iniPath) {
  if (iniPath.empty()) return {};
  return platform::SystemPathToPath(iniPath).parent_path() / "places.txt";
}

bool DirectoryListable(const std::string& directory) {
  std::error_code error;
  std::filesystem::directory_iterator it(platform::SystemPathToPath(directory), error);
  return !error;
}

bool LoadLogSettings() {
  bool result = false;
  const std::string dir = GetIniString("LOG", "DIR", "ERROR", 64, IniPath);
  if (dir == "ERROR") return result;

  std::string working = dir;
  if (working.starts_with(kRelativeMarker)) {
    std::string folder = ProgramFolder;
    if (!folder.empty() && folder.back() == kNativeSeparator) folder.pop_back();
    working = folder + dir.substr(1);
  }
  if (working.empty() || working.back() != kNativeSeparator) working += kNativeSeparator;
  LogDir = working;

  if (!DirectoryListable(LogDir)) return result;

  const std::string limit = GetIniString("LOG", "LIM", "ERROR", 8, IniPath);
  if (const auto value = ParseLogLimit(limit)) {
    LogLimit = *value;
    result = true;
  }
  return result;
}

}  // namespace crewmap::startup
