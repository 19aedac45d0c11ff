#pragma once
// The map's arithmetic: conversions between game units, map pixels and
// map-area twips, the view rules (normalisation, centring, zoom steps,
// right-button scrolling) and the placement of the cross and the markers.
// Plain C++ so it is tested and built without a window.
#include <cstdint>
#include <optional>

namespace crewmap::map {

inline constexpr std::int32_t MapWidth = 4792;    // the world wraps east-west here
inline constexpr std::int32_t MapHeight = 2396;   // also each half picture's width
inline constexpr std::int32_t HalfWidth = 2396;   // width of one half picture
inline constexpr std::int32_t WorldWidth = 16384;
inline constexpr std::int32_t WorldHeight = 8192;

// The zoom factor kept as an exact count of ten-thousandths; every value the
// zoom table gives is exact both ways.
using HoseiValue = std::int64_t;
inline constexpr HoseiValue HoseiOne = 10000;
inline constexpr double HoseiToDouble(HoseiValue hosei) { return static_cast<double>(hosei) / 10000.0; }

// Slider positions 0..6 give 0.5, 0.75, 1, 1.5, 2, 4, 8; anything else gives
// nothing (the zoom stays as it is).
std::optional<HoseiValue> HoseiForSlider(int position);

// Game units -> map pixels (not rounded) and back.
double GameToMapX(double x);
double GameToMapY(double y);
double MapToGameX(double mx);
double MapToGameY(double my);

// Map pixels -> twips relative to the map area's top-left corner.
double MapToTwipsX(double mx, std::int32_t viewX, HoseiValue hosei);
double MapToTwipsY(double my, std::int32_t viewY, HoseiValue hosei);

// A press at (x, y) twips in the map area -> the map pixel under it.
std::int32_t ClickToMapX(double x, std::int32_t viewX, HoseiValue hosei);
std::int32_t ClickToMapY(double y, std::int32_t viewY, HoseiValue hosei);

// Visible size in map pixels for an inner size in twips.
struct VisibleSize {
  std::int32_t w = 0;
  std::int32_t h = 0;
};
VisibleSize VisibleSizeFor(double widthTwips, double heightTwips, HoseiValue hosei);

// Keeps the view inside the world north-south (top first, then bottom) and
// wraps it east-west by one world width at most.
void NormaliseView(std::int32_t& viewX, std::int32_t& viewY, std::int32_t h);

// The view origin that puts game position (x, y) at the middle of a map area
// of pw x ph twips.
std::int32_t CentreViewX(double x, double pw, HoseiValue hosei);
std::int32_t CentreViewY(double y, double ph, HoseiValue hosei);

// The origin shift of a zoom step from `oldHosei` to `newHosei` in a window of
// `sizeTwips` along that axis; depends on the ratio only.
std::int32_t ZoomShift(std::int32_t view, double sizeTwips, HoseiValue oldHosei, HoseiValue newHosei);

// One 10 ms step of right-button scrolling: pressed at `press`, cursor now at
// `cursor` (screen pixels).
std::int32_t ScrollStep(std::int32_t view, std::int32_t press, std::int32_t cursor, HoseiValue hosei);

// Top-left corner of the target cross in twips; x wraps once around the seam,
// y never does.
struct TwipsPoint {
  double left = 0;
  double top = 0;
};
TwipsPoint TargetCrossCorner(std::int32_t targetX, std::int32_t targetY, std::int32_t viewX,
                             std::int32_t viewY, HoseiValue hosei);

// Where game position (x, y) lies in a map area showing w map pixels from
// origin (viewX, viewY), in twips, using the copy nearest the view's middle.
TwipsPoint GameToArea(double x, double y, std::int32_t viewX, std::int32_t viewY, std::int32_t w, HoseiValue hosei);

// The circle and its five name labels for a member at game position (x, y),
// in twips as stored (single precision). Labels: 0 = lblPoint, 1 = above,
// 2 = below, 3 = left, 4 = right.
struct MarkerPlacement {
  float shapeLeft = 0;
  float shapeTop = 0;
  float labelLeft[5] = {};
  float labelTop[5] = {};
};
MarkerPlacement PlaceMarker(double x, double y, std::int32_t viewX, std::int32_t viewY, double zoom);

// An east-west offset in game units taken the shorter way round the world:
// wrapped into [-8192, 8192).
double ShorterDx(double dx);

// The copy of game x (shifted by whole world widths) that lies nearest the
// middle of a view w map pixels wide at origin viewX: drawn there, a point
// just across the seam shows where the view shows that part of the world.
double NearestCopyX(double x, std::int32_t viewX, std::int32_t w);

// The offset in game units from the player at (x, y) to the target, the
// shorter way east-west, as handed to the navigation window: to a target map
// pixel, or to a target in game units.
struct HeadingOffset {
  float dx = 0;
  float dy = 0;
};
HeadingOffset AngleShowOffset(std::int32_t targetX, std::int32_t targetY, std::int32_t x, std::int32_t y);
HeadingOffset OffsetTo(double targetX, double targetY, std::int32_t x, std::int32_t y);

}  // namespace crewmap::map
