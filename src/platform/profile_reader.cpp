#include "platform/profile_reader.h"

#include <algorithm>
#include <optional>

namespace crewmap::platform {
namespace {

// Blanks as the system service trims them: every C white-space character
// (a vertical tab at either end of a value is trimmed too; inside it stays).
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

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

// A value in one pair of matching quotes ('...' or "...") loses them. The
// service copies from after the opening quote, closing quote included, cut
// to size - 1 bytes, and drops the last byte only when the closing quote fit
// or was cut exactly: a quoted value that just fits loses one more byte.
std::string CopyValue(std::string_view value, std::int32_t size) {
  if (size < 1) return {};
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    const std::string_view afterQuote = value.substr(1);
    std::string copy = CutToSize(afterQuote, size);
    if (static_cast<std::size_t>(size) >= afterQuote.size() && !copy.empty()) copy.pop_back();
    return copy;
  }
  return CutToSize(value, size);
}

struct Entry {
  bool hasValue = false;  // a line without '=' is a key with no value
  std::string_view value;
};

std::optional<Entry> FindValue(std::string_view text, std::string_view section, std::string_view key) {
  // A UTF-8 byte-order mark written by an editor is not part of the first line.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  const std::string_view wantedSection = Trim(section);
  const std::string_view wantedKey = Trim(key);
  bool inWanted = false;
  bool seenWanted = false;
  while (!text.empty()) {
    // Lines end in LF, CR LF or a lone CR.
    const auto eol = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, eol);
    if (eol == std::string_view::npos) {
      text = {};
    } else {
      const std::size_t next = text.compare(eol, 2, "\r\n") == 0 ? eol + 2 : eol + 1;
      text = text.substr(std::min(next, text.size()));
    }
    line = Trim(line);
    if (line.empty()) continue;
    if (line.front() == '[') {
      // A header runs to the last ']' on the line; a line without one is no
      // header (it reads as a key line of the current section).
      const auto close = line.rfind(']');
      if (close != std::string_view::npos) {
        if (seenWanted) return std::nullopt;  // only the first matching section counts
        inWanted = EqualsNoCase(Trim(line.substr(1, close - 1)), wantedSection);
        seenWanted = inWanted;
        continue;
      }
    }
    if (!inWanted) continue;
    // Lines starting with ';' are no comments to the service: ";key=v" is a key.
    const auto eq = line.find('=');
    const std::string_view name = Trim(line.substr(0, eq));
    if (!EqualsNoCase(name, wantedKey)) continue;
    if (eq == std::string_view::npos) return Entry{};
    std::string_view value = line.substr(eq + 1);
    // The service hands values back as C strings: a NUL byte ends the value
    // (but not the file).
    if (const auto nul = value.find('\0'); nul != std::string_view::npos) value = value.substr(0, nul);
    return Entry{true, Trim(value)};
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
  const auto entry = FindValue(fileContents, section, key);
  if (entry && entry->hasValue) return CopyValue(entry->value, size);
  return ProfileDefault(defaultValue, size);
}

}  // namespace crewmap::platform
