#include "navi/bearing.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace crewmap::navi {
namespace {

// The value of pi the dot placement is defined with (not full precision), and
// the angle used for an offset straight along the negative x axis.
constexpr double kPi = 3.14159265;
constexpr double kNegativeXAngle = 565.486677 / 180.0;
constexpr double kRotation = 270.0;

// Descriptions for the faults that can still occur: a non-finite component.
constexpr const char* kOverflowText = "オーバーフローしました。";
constexpr const char* kInvalidText = "プロシージャの呼び出し、または引数が不正です。";

}  // namespace

BearingResult ComputeBearing(float x, float y) {
  if (std::isnan(x) || std::isnan(y)) return BearingResult::Fault(kInvalidText);
  if (std::isinf(x) || std::isinf(y)) return BearingResult::Fault(kOverflowText);

  const double xd = x;
  const double yd = y;
  // The length, kept in single precision. It can exceed the float range only
  // for offsets near the largest floats; then the angle below comes from the
  // components themselves.
  const double length = std::sqrt(yd * yd + xd * xd);
  const bool lengthFits = length <= static_cast<double>(std::numeric_limits<float>::max());
  const float r = lengthFits ? static_cast<float>(length) : std::numeric_limits<float>::max();
  if (r == 0.0f) return BearingResult::Nothing();

  // Angle between the offset and the positive x axis, 0 to pi: the arc cosine
  // of x / r written with the arc tangent.
  float a;
  if (y != 0.0f) {
    const double c = xd / r;
    const double s2 = 1.0 - c * c;
    if (lengthFits && s2 > 0.0) {
      a = static_cast<float>(std::atan(-c / std::sqrt(s2)) + 2.0 * std::atan(1.0));
    } else {
      // y is too small against x to change the single-precision length
      // (c = +-1, so the formula above would divide by zero), or the length
      // overflowed: take the same angle straight from the components, so the
      // dot still goes where the direction says.
      a = static_cast<float>(std::atan2(std::fabs(yd), xd));
    }
  } else if (x > 0.0f) {
    a = 0.0f;
  } else {
    a = static_cast<float>(kNegativeXAngle);
  }

  float d = static_cast<float>(static_cast<double>(a) * 180.0 / kPi);
  if (y < 0.0f) d = static_cast<float>(360.0 - d);
  // Rotate so that 0 degrees is straight down the window, then wrap once.
  d = static_cast<float>(d + kRotation);
  if (d >= 360.0f) d = static_cast<float>(d - 360.0);

  // Around the ellipse: Top = 765 + 735 * y / r, Left = 885 + 855 * x / r
  // (sin d = -x / r after the rotation), so the dot sits on the side of the
  // ring the target lies on, across as well as down.
  const double radians = d * kPi / 180.0;
  const float top =
      static_cast<float>(std::cos(radians) * kRingHalfHeight + kRingHalfHeight + kDotOffset);
  const float left =
      static_cast<float>(-std::sin(radians) * kRingHalfWidth + kRingHalfWidth + kDotOffset);
  return BearingResult::Place(d, left, top);
}

std::string FormatSingle(float value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0.0f) return "0";  // also for -0
  char buf[64];
  const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 7);
  std::string text(buf, result.ptr);
  for (char& ch : text) {
    if (ch == 'e') ch = 'E';
  }
  return text;
}

std::string BearingFaultMessage(const std::string& description, float x, float y) {
  return "エラー発生！ｷｬｰ＞＜\r\n" + description + "\r\n" + FormatSingle(x) + "," +
         FormatSingle(y);
}

}  // namespace crewmap::navi
