// Text players type, paste or keep in the places file, through everything
// that reads it: the "x,y" box, a pasted line, the places file read and
// written back, and a paste into it.
//
// Input: the text.
#include "map/places.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "map/point_text.h"

namespace {

bool InWorld(crewmap::GamePoint p) { return p.x >= 0 && p.x < 16384 && p.y >= 0 && p.y < 8192; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace crewmap::map;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const TypedPoint typed = ReadTypedPoint(text);
  FUZZ_CHECK(typed.point.has_value() == (typed.error == PointTextError::None));
  if (typed.point) FUZZ_CHECK(InWorld(*typed.point));

  if (const auto line = ReadPlaceLine(text)) {
    FUZZ_CHECK(InWorld(line->point));
    FUZZ_CHECK(!line->name.empty() && line->name.find_first_of("\t\r\n") == std::string::npos);
    FUZZ_CHECK(line->name.front() != '#' && line->name.front() != ' ');
  }

  // Written back, the file reads the same: no line lost, none read otherwise.
  PlacesFile file = PlacesFile::FromText(text);
  const PlacesFile again = PlacesFile::FromText(file.ToText());
  FUZZ_CHECK(again.Places() == file.Places());
  FUZZ_CHECK(again.UnreadableLines() == file.UnreadableLines());
  for (const Place& place : file.Places()) FUZZ_CHECK(InWorld(place.point) && !place.name.empty());

  // The same text pasted: every place it added is in the file as written.
  const PlacesFile::Pasted pasted = file.Paste(text);
  const PlacesFile written = PlacesFile::FromText(file.ToText());
  FUZZ_CHECK(written.Places() == file.Places());
  for (const std::size_t i : pasted.places) FUZZ_CHECK(i < written.Places().size());
  return 0;
}
