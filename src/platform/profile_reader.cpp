#include "platform/profile_reader.h"

#include <algorithm>
#include <optional>

namespace crewmap::platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

std::string CutToSize(std::string_view value, std::int32_t size) {
  if (size < 1) return {};
  const auto limit = static_cast<std::size_t>(size - 1);
  return std::string(value.substr(0, std::min(limit, value.size())));
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
  // Contents past a NUL byte are not part of the text the service sees.
  if (const auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  // A UTF-8 byte-order mark written by an editor is not part of the first line.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  const std::string_view wantedSection = Trim(section);
  const std::string_view wantedKey = Trim(key);
  bool inWanted = false;
  bool seenWanted = false;
  while (!text.empty()) {
    const auto eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      if (seenWanted) return std::nullopt;  // only the first matching section counts
      const auto close = line.find(']');
      const std::string_view name =
          Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      inWanted = EqualsNoCase(name, wantedSection);
      seenWanted = inWanted;
      continue;
    }
    if (!inWanted) continue;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (EqualsNoCase(Trim(line.substr(0, eq)), wantedKey))
      return StripQuotes(Trim(line.substr(eq + 1)));
  }
  return std::nullopt;
}

}  // namespace

std::string ProfileDefault(std::string_view defaultValue, std::int32_t size) {
  while (!defaultValue.empty() && defaultValue.back() == ' ') defaultValue.remove_suffix(1);
  return CutToSize(defaultValue, size);
}

std::string ReadPrivateProfileString(std::string_view fileContents, std::string_view section,
                                     std::string_view key, std::string_view defaultValue,
                                     std::int32_t size) {
  if (const auto value = FindValue(fileContents, section, key)) return CutToSize(*value, size);
  return ProfileDefault(defaultValue, size);
}

}  // namespace crewmap::platform
