#pragma once
// The player's saved places and the file that keeps them, "places.txt"
// beside the settings file: UTF-8, one place a line as "name<TAB>x,y",
// '#' starting a comment, meant to be edited by hand too. Every line the
// program cannot read as a place stays in the file as it was, where it was;
// lines it reads keep their own spelling until the place is changed. Plain
// C++, so it is tested without a window.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/game_point.h"

namespace crewmap::map {

inline constexpr const char* PlacesFileName = "places.txt";

struct Place {
  std::string name;
  GamePoint point;
  bool operator==(const Place&) const = default;
};

class PlacesFile {
 public:
  // Reads the text of a places file (a UTF-8 byte-order mark and CR LF line
  // ends are kept for writing back).
  static PlacesFile FromText(std::string_view text);
  // The text to write: every line as read, changed places in the canonical
  // form, new places at the end.
  std::string ToText() const;

  const std::vector<Place>& Places() const { return places_; }
  // Lines (from 1) that are neither places, comments nor blank, in order.
  const std::vector<int>& UnreadableLines() const { return unreadable_; }

  // Saves `point` under `name` (see CleanPlaceName): the place of that name
  // moves there, or a new place is added at the end. False for an empty name
  // or one that is not UTF-8.
  bool Save(std::string_view name, GamePoint point);
  void Remove(std::size_t index);
  // The first place with this name and point.
  std::optional<std::size_t> IndexOf(const Place& place) const;

  // Adds every line of `text` that names a place (see ReadPlaceLine), as
  // Save does. Blank lines are skipped.
  struct Pasted {
    std::vector<std::size_t> places;  // the indices of the places saved, in order
    std::vector<int> notPlaces;       // lines of `text` (from 1) that were not places
  };
  Pasted Paste(std::string_view text);

 private:
  struct Line {
    std::string text;
    int place = -1;  // index into places_, or -1 for a line kept as it is
  };
  std::optional<std::size_t> Find(std::string_view name) const;

  std::vector<Line> lines_;
  std::vector<Place> places_;
  std::vector<std::size_t> placeLine_;                   // the line of each place
  std::unordered_map<std::string, std::size_t> byName_;  // the first place of each name
  std::vector<int> unreadable_;
  bool bom_ = false;
  bool crlf_ = false;
};

// "3, 7" for the lines: at most five numbers, then ", ...".
std::string LineList(const std::vector<int>& lines);
// What the player is told after a paste: "3 件の地点を追加しました", and which
// lines were not places ("（2, 5 行目は地点ではありません）").
std::string PastedText(const PlacesFile::Pasted& pasted);
// ... about lines of the file kept as they are: "places.txt の 4 行目は地点と
// して読めないため、そのまま残しています".
std::string UnreadableText(const std::vector<int>& lines);

// The file on disk. Each change reads the file again first (it may have been
// edited by hand since), makes the change and writes the whole file through
// a new file renamed over the old one, so a failed write never leaves half
// a file. A file that exists but cannot be read is never written.
class PlacesStore {
 public:
  explicit PlacesStore(std::filesystem::path file = {}) : file_(std::move(file)) {}
  const std::filesystem::path& File() const { return file_; }

  // Reads the file again; a missing one holds no places. False when it
  // exists but cannot be read (what was read before stays).
  bool Load();
  const PlacesFile& Current() const { return current_; }

  // Reads the file, applies `edit`, writes it. False (nothing written) when
  // the file cannot be read, or written.
  template <typename Edit>
  bool Change(Edit&& edit) {
    if (!Load()) return false;
    PlacesFile changed = current_;
    edit(changed);
    if (!Write(changed.ToText())) return false;
    current_ = std::move(changed);
    return true;
  }

 private:
  bool Write(const std::string& text) const;

  std::filesystem::path file_;
  PlacesFile current_;
};

}  // namespace crewmap::map
