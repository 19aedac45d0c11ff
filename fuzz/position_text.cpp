// Position texts as received from the network, through everything that
// turns them into numbers: the parser, the map's centring and marker
// placement at every zoom, and the heading towards a target.
//
// Input: a zoom step byte, a view origin (two 32-bit values), then the text.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "common/rounding.h"
#include "fuzz_support.h"
#include "map/position_text.h"
#include "map/transform.h"
#include "navi/bearing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace crewmap::map;
  crewmap::fuzz::InputReader input(data, size);
  const auto hosei = HoseiForSlider(input.Byte() % 7);
  const auto viewX = static_cast<std::int32_t>(input.U32());
  const auto viewY = static_cast<std::int32_t>(input.U32());
  const std::string_view text = input.Rest();

  const auto position = ParsePosition(text);
  if (!position) {
    FUZZ_CHECK(!text.empty() || !position);
    return 0;
  }
  // Both numbers were taken from the text and round into 32 bits.
  FUZZ_CHECK(text.find(',') != std::string_view::npos);
  const auto x = crewmap::RoundToInt32(position->x);
  const auto y = crewmap::RoundToInt32(position->y);
  FUZZ_CHECK(x && y);

  FUZZ_CHECK(hosei.has_value());
  (void)CentreViewX(position->x, 7000.0, *hosei);
  (void)CentreViewY(position->y, 5000.0, *hosei);
  const MarkerPlacement marker = PlaceMarker(position->x, position->y, viewX, viewY, HoseiToDouble(*hosei));
  FUZZ_CHECK(std::isfinite(marker.shapeLeft) && std::isfinite(marker.shapeTop));

  // The heading from this position to a target on the map.
  const float dx = static_cast<float>(static_cast<double>(viewX) - *x);
  const float dy = static_cast<float>(static_cast<double>(viewY) - *y);
  const auto bearing = crewmap::navi::ComputeBearing(dx, dy);
  if (bearing.kind == crewmap::navi::BearingResult::Kind::Place)
    FUZZ_CHECK(bearing.d >= 0.0f && bearing.d < 360.0f);
  return 0;
}
