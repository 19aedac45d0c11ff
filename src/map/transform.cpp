#include "map/transform.h"

#include <cmath>

#include "common/rounding.h"

namespace crewmap::map {

namespace {
constexpr double kXRatio = 4792.0 / 16384.0;
constexpr double kYRatio = 2396.0 / 8192.0;
constexpr double kTwips = 15.0;
}  // namespace

std::optional<HoseiValue> HoseiForSlider(int position) {
  static constexpr HoseiValue kTable[] = {5000, 7500, 10000, 15000, 20000, 40000, 80000};
  if (position < 0 || position > 6) return std::nullopt;
  return kTable[position];
}

double GameToMapX(double x) { return x * 4792.0 / 16384.0; }
double GameToMapY(double y) { return y * 2396.0 / 8192.0; }
double MapToGameX(double mx) { return mx / kXRatio; }
double MapToGameY(double my) { return my / kYRatio; }

double MapToTwipsX(double mx, std::int32_t viewX, HoseiValue hosei) {
  return (mx - viewX) * HoseiToDouble(hosei) * kTwips;
}
double MapToTwipsY(double my, std::int32_t viewY, HoseiValue hosei) {
  return (my - viewY) * HoseiToDouble(hosei) * kTwips;
}

std::int32_t ClickToMapX(double x, std::int32_t viewX, HoseiValue hosei) {
  return RoundClampInt32(x / kTwips / HoseiToDouble(hosei) + viewX);
}
std::int32_t ClickToMapY(double y, std::int32_t viewY, HoseiValue hosei) {
  return RoundClampInt32(y / kTwips / HoseiToDouble(hosei) + viewY);
}

VisibleSize VisibleSizeFor(double widthTwips, double heightTwips, HoseiValue hosei) {
  const double z = HoseiToDouble(hosei);
  return {RoundClampInt32(widthTwips / z / kTwips), RoundClampInt32(heightTwips / z / kTwips)};
}

void NormaliseView(std::int32_t& viewX, std::int32_t& viewY, std::int32_t h) {
  // Worked in 64 bits: the origin can be anything a caller of MovePoint gave.
  std::int64_t y = viewY;
  if (y < 0) y = 0;
  if (y > std::int64_t{MapHeight} - h) y = std::int64_t{MapHeight} - h;
  std::int64_t x = viewX;
  if (x < 0) x += MapWidth;
  if (x >= MapWidth) x -= MapWidth;
  viewX = static_cast<std::int32_t>(x);
  viewY = RoundClampInt32(static_cast<double>(y));
}

std::int32_t CentreViewX(double x, double pw, HoseiValue hosei) {
  return RoundClampInt32(x * 4792.0 / 16384.0 - (pw / 2) / HoseiToDouble(hosei) / kTwips);
}
std::int32_t CentreViewY(double y, double ph, HoseiValue hosei) {
  return RoundClampInt32(y * 2396.0 / 8192.0 - (ph / 2) / HoseiToDouble(hosei) / kTwips);
}

std::int32_t ZoomShift(std::int32_t view, double sizeTwips, HoseiValue oldHosei, HoseiValue newHosei) {
  const double ratio = HoseiToDouble(newHosei) / HoseiToDouble(oldHosei);
  return RoundClampInt32(view + (sizeTwips / 2 - sizeTwips / ratio / 2) / kTwips);
}

std::int32_t ScrollStep(std::int32_t view, std::int32_t press, std::int32_t cursor, HoseiValue hosei) {
  const double offset = static_cast<double>(press) - static_cast<double>(cursor);
  return RoundClampInt32(view + offset / HoseiToDouble(hosei) / 4);
}

TwipsPoint TargetCrossCorner(std::int32_t targetX, std::int32_t targetY, std::int32_t viewX,
                             std::int32_t viewY, HoseiValue hosei) {
  std::int64_t dx = std::int64_t{targetX} - viewX;
  if (dx < 0) dx += MapWidth;
  const std::int64_t dy = std::int64_t{targetY} - viewY;
  const double z = HoseiToDouble(hosei);
  return {static_cast<double>(dx) * kTwips * z - 150, static_cast<double>(dy) * kTwips * z - 150};
}

TwipsPoint GameToArea(double x, double y, std::int32_t viewX, std::int32_t viewY, std::int32_t w,
                      HoseiValue hosei) {
  return {MapToTwipsX(GameToMapX(NearestCopyX(x, viewX, w)), viewX, hosei),
          MapToTwipsY(GameToMapY(y), viewY, hosei)};
}

MarkerPlacement PlaceMarker(double x, double y, std::int32_t viewX, std::int32_t viewY, double zoom) {
  MarkerPlacement m;
  m.shapeLeft = static_cast<float>(zoom * (x * 4792.0 / 16384.0 - viewX) * kTwips - 60);
  m.shapeTop = static_cast<float>(zoom * (y * 2396.0 / 8192.0 - viewY) * kTwips - 60);
  const float left = m.shapeLeft + 120.0f;
  const float top = m.shapeTop + 120.0f;
  static constexpr float kDx[5] = {0, 0, 0, -15, 15};
  static constexpr float kDy[5] = {0, -15, 15, 0, 0};
  for (int i = 0; i < 5; ++i) {
    m.labelLeft[i] = left + kDx[i];
    m.labelTop[i] = top + kDy[i];
  }
  return m;
}

double ShorterDx(double dx) {
  return dx - WorldWidth * std::floor((dx + WorldWidth / 2) / WorldWidth);
}

double NearestCopyX(double x, std::int32_t viewX, std::int32_t w) {
  const double fromMiddle = GameToMapX(x) - (viewX + w / 2.0);
  return x - WorldWidth * std::floor((fromMiddle + MapWidth / 2) / MapWidth);
}

HeadingOffset AngleShowOffset(std::int32_t targetX, std::int32_t targetY, std::int32_t x, std::int32_t y) {
  return OffsetTo(targetX / (4792.0 / 16384.0), targetY / (2396.0 / 8192.0), x, y);
}

HeadingOffset OffsetTo(double targetX, double targetY, std::int32_t x, std::int32_t y) {
  const double dy = targetY - y;
  const double dx = ShorterDx(targetX - x);
  return {static_cast<float>(dx), static_cast<float>(dy)};
}

}  // namespace crewmap::map
