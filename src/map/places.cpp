#include "map/places.h"

#include <fstream>
#include <system_error>

#include "common/wide_forms.h"
#include "map/map_files.h"
#include "map/point_text.h"

namespace crewmap::map {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
#ifdef _WIN32
constexpr bool kNativeCrlf = true;  // as Notepad writes
#else
constexpr bool kNativeCrlf = false;
#endif

// Whether `text` is well-formed UTF-8 (a file saved in another encoding,
// such as code page 932 by an editor's default, is not).
bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t n = c < 0x80           ? 1
                          : (c >> 5) == 0x6  ? 2
                          : (c >> 4) == 0xE  ? 3
                          : (c >> 3) == 0x1E ? 4
                                             : 0;
    if (n == 0 || i + n > text.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    if (n == 2 && c < 0xC2) return false;  // an overlong form
    i += n;
  }
  return true;
}

bool Blank(std::string_view line) {
  return FoldWideForms(line).find_first_not_of(" \t") == std::string::npos;
}

bool Comment(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t");
  return first != std::string_view::npos && line[first] == '#';
}

// A stored line: "name<TAB>x,y" as the program writes it, else any form a
// player may have typed in by hand.
std::optional<NamedPoint> ReadStoredLine(std::string_view line) {
  if (const std::size_t tab = line.rfind('\t'); tab != std::string_view::npos) {
    std::string name = CleanPlaceName(line.substr(0, tab));
    if (const auto point = ParseWorldPoint(line.substr(tab + 1)); point && !name.empty())
      return NamedPoint{std::move(name), *point};
  }
  return ReadPlaceLine(line);
}

std::string StoredLine(const Place& place) {
  return place.name + "\t" + std::to_string(place.point.x) + "," + std::to_string(place.point.y);
}

// Calls `each(line, number)` for every line of `text` (from 1), without its
// line end; tells whether the first one ended in CR LF.
template <typename Each>
bool ForEachLine(std::string_view text, Each&& each) {
  bool crlf = kNativeCrlf;
  for (int number = 1; !text.empty(); ++number) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const bool cr = !line.empty() && line.back() == '\r';
    // Every CR before the line end goes with it ("\r\r\n" from an editor
    // that turned CR LF into CR CR LF), so a line reads the same when it is
    // written back with one line end of either kind.
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (number == 1 && end != std::string_view::npos) crlf = cr;
    each(line, number);
  }
  return crlf;
}

// `text` with `mark` replaced by `value`.
void Fill(std::string& text, std::string_view mark, std::string_view value) {
  if (const std::size_t at = text.find(mark); at != std::string::npos)
    text.replace(at, mark.size(), value);
}

}  // namespace

PlacesFile PlacesFile::FromText(std::string_view text) {
  PlacesFile file;
  if (text.starts_with(kByteOrderMark)) {
    file.bom_ = true;
    text.remove_prefix(kByteOrderMark.size());
  }
  file.crlf_ = ForEachLine(text, [&file](std::string_view line, int number) {
    file.lines_.push_back({std::string(line)});
    if (Blank(line) || Comment(line)) return;
    const auto place = IsUtf8(line) ? ReadStoredLine(line) : std::nullopt;
    if (!place) {
      file.unreadable_.push_back(number);
      return;
    }
    file.lines_.back().place = static_cast<int>(file.places_.size());
    file.byName_.emplace(place->name,
                         file.places_.size());  // the first of a name is the one changed
    file.places_.push_back({place->name, place->point});
    file.placeLine_.push_back(file.lines_.size() - 1);
  });
  return file;
}

std::string PlacesFile::ToText() const {
  std::string text(bom_ ? kByteOrderMark : "");
  const std::string_view end = crlf_ ? "\r\n" : "\n";
  for (const Line& line : lines_) {
    text += line.text;
    text += end;
  }
  return text;
}

std::optional<std::size_t> PlacesFile::Find(std::string_view name) const {
  const auto it = byName_.find(std::string(name));
  if (it == byName_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::size_t> PlacesFile::IndexOf(const Place& place) const {
  for (std::size_t i = 0; i < places_.size(); ++i)
    if (places_[i] == place) return i;
  return std::nullopt;
}

bool PlacesFile::Save(std::string_view name, GamePoint point) {
  Place place{CleanPlaceName(name), point};
  // A name the file would not read back (see FromText) is no name.
  if (place.name.empty() || !IsUtf8(place.name)) return false;
  if (const auto i = Find(place.name)) {
    places_[*i].point = point;
    lines_[placeLine_[*i]].text = StoredLine(place);
    return true;
  }
  lines_.push_back({StoredLine(place), static_cast<int>(places_.size())});
  placeLine_.push_back(lines_.size() - 1);
  byName_.emplace(place.name, places_.size());
  places_.push_back(std::move(place));
  return true;
}

void PlacesFile::Remove(std::size_t index) {
  if (index >= places_.size()) return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(placeLine_[index]));
  // Read again: every later line moved up by one.
  *this = FromText(ToText());
}

PlacesFile::Pasted PlacesFile::Paste(std::string_view text) {
  Pasted pasted;
  ForEachLine(text, [&](std::string_view line, int number) {
    if (Blank(line)) return;
    const auto place = ReadPlaceLine(line);
    if (place && Save(place->name, place->point)) {
      pasted.places.push_back(*Find(place->name));
    } else {
      pasted.notPlaces.push_back(number);
    }
  });
  return pasted;
}

std::string LineList(const std::vector<int>& lines) {
  constexpr std::size_t kShown = 5;
  std::string text;
  for (std::size_t i = 0; i < lines.size() && i < kShown; ++i)
    text += (i == 0 ? "" : ", ") + std::to_string(lines[i]);
  if (lines.size() > kShown) text += ", ...";
  return text;
}

std::string PastedText(const PlacesFile::Pasted& pasted) {
  // Whole sentences, so that each reads as the player's README quotes it.
  const bool added = !pasted.places.empty(), others = !pasted.notPlaces.empty();
  std::string text = added && others ? "%1 件の地点を追加しました（%2 行目は地点ではありません）"
                     : added ? "%1 件の地点を追加しました"
                     : others ? "地点が見つかりません（%2 行目は地点ではありません）"
                              : "地点が見つかりません";
  Fill(text, "%1", std::to_string(pasted.places.size()));
  Fill(text, "%2", LineList(pasted.notPlaces));
  return text;
}

std::string UnreadableText(const std::vector<int>& lines) {
  std::string text = "%1 の %2 行目は地点として読めないため、そのまま残しています";
  Fill(text, "%1", PlacesFileName);
  Fill(text, "%2", LineList(lines));
  return text;
}

bool PlacesStore::Load() {
  std::error_code error;
  if (file_.empty() || !std::filesystem::exists(file_, error)) {
    if (error) return false;
    current_ = PlacesFile::FromText("");
    return true;
  }
  const auto bytes = ReadWholeFile(file_);
  if (!bytes) return false;
  current_ = PlacesFile::FromText(
      std::string_view(reinterpret_cast<const char*>(bytes->Bytes.data()), bytes->Bytes.size()));
  return true;
}

bool PlacesStore::Write(const std::string& text) const {
  if (file_.empty()) return false;
  std::filesystem::path fresh = file_;
  fresh += ".new";
  std::error_code error;
  {
    std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      std::filesystem::remove(fresh, error);
      return false;
    }
  }
  std::filesystem::rename(fresh, file_, error);
  if (!error) return true;
  std::filesystem::remove(fresh, error);
  return false;
}

}  // namespace crewmap::map
