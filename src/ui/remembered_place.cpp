#include "ui/remembered_place.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace crewmap::ui {
namespace {

std::filesystem::path g_file;
std::string g_text;  // the file's lines, as read and changed since

bool ParseInt(std::string_view s, std::int32_t& value) {
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ')) s.remove_suffix(1);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  return error == std::errc() && end == s.data() + s.size();
}

// Calls `line` for each line of `text` (without its end).
template <typename F>
void ForEachLine(std::string_view text, F line) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    line(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

bool IsLineOf(std::string_view line, std::string_view name) {
  return line.size() > name.size() && line.substr(0, name.size()) == name && line[name.size()] == '=';
}

std::int64_t Overlap(const platform::PixelRect& a, const platform::PixelRect& b) {
  const std::int64_t w = std::min<std::int64_t>(a.left + std::int64_t{a.width}, b.left + std::int64_t{b.width}) -
                         std::max(a.left, b.left);
  const std::int64_t h = std::min<std::int64_t>(a.top + std::int64_t{a.height}, b.top + std::int64_t{b.height}) -
                         std::max(a.top, b.top);
  return w > 0 && h > 0 ? w * h : 0;
}

}  // namespace

std::optional<platform::PixelPoint> FindPlace(std::string_view text, std::string_view name) {
  std::optional<platform::PixelPoint> found;
  ForEachLine(text, [&](std::string_view line) {
    if (found || !IsLineOf(line, name)) return;
    line.remove_prefix(name.size() + 1);
    const std::size_t comma = line.find(',');
    platform::PixelPoint at;
    if (comma != std::string_view::npos && ParseInt(line.substr(0, comma), at.x) &&
        ParseInt(line.substr(comma + 1), at.y))
      found = at;
  });
  return found;
}

std::string WithPlace(std::string_view text, std::string_view name, platform::PixelPoint at) {
  const std::string mine = std::string(name) + "=" + std::to_string(at.x) + "," + std::to_string(at.y);
  std::string out;
  bool set = false;
  ForEachLine(text, [&](std::string_view line) {
    if (line.empty()) return;
    if (!IsLineOf(line, name)) {
      out.append(line);
    } else if (!set) {
      out += mine;
      set = true;
    } else {
      return;  // a second line for the same window goes
    }
    out += '\n';
  });
  if (!set) out += mine + "\n";
  return out;
}

platform::PixelPoint KeepOnScreens(const platform::PixelRect& window,
                                   const std::vector<platform::PixelRect>& screens) {
  if (screens.empty()) return {window.left, window.top};
  const platform::PixelRect* best = &screens.front();
  for (const platform::PixelRect& s : screens) {
    if (Overlap(window, s) == std::int64_t{window.width} * window.height) return {window.left, window.top};
    if (Overlap(window, s) > Overlap(window, *best)) best = &s;
  }
  const auto clamp = [](std::int32_t v, std::int32_t start, std::int32_t extent, std::int32_t size) {
    return std::max(start, std::min(v, start + extent - size));
  };
  return {clamp(window.left, best->left, best->width, window.width),
          clamp(window.top, best->top, best->height, window.height)};
}

void SetPlaceFile(const std::filesystem::path& file) {
  g_file = file;
  g_text.clear();
  if (file.empty()) return;
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  g_text = text.str();
}

std::optional<platform::PixelPoint> RememberedPlace(std::string_view name) { return FindPlace(g_text, name); }

void RememberPlace(std::string_view name, platform::PixelPoint at) {
  g_text = WithPlace(g_text, name, at);
  if (g_file.empty()) return;
  std::ofstream out(g_file, std::ios::binary | std::ios::trunc);
  out << g_text;
}

}  // namespace crewmap::ui
