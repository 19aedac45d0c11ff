#pragma once
// Where the direction dot goes on the navigation ring for an offset from the
// player to the target. Plain C++ (no Qt): the window only applies the result.
#include <string>

namespace crewmap::navi {

// The ring's half-axes and the dot's corner offset, in twips.
inline constexpr double kRingHalfWidth = 1710.0 / 2.0;   // 855
inline constexpr double kRingHalfHeight = 1470.0 / 2.0;  // 735
inline constexpr double kDotOffset = 30.0;

struct BearingResult {
  enum class Kind {
    Place,    // put the dot's top-left corner at (Left, Top)
    Nothing,  // zero offset: the dot keeps its place and visibility
    Fault,    // the computation failed; `fault` describes why
  };
  Kind kind = Kind::Nothing;
  float d = 0.0f;     // direction in degrees after the +270 rotation, [0, 360)
  float Left = 0.0f;  // twips
  float Top = 0.0f;   // twips
  std::string fault;  // only for Kind::Fault

  static BearingResult Place(float d, float left, float top) {
    return {Kind::Place, d, left, top, {}};
  }
  static BearingResult Nothing() { return {}; }
  static BearingResult Fault(std::string description) {
    return {Kind::Fault, 0.0f, 0.0f, 0.0f, std::move(description)};
  }
};

// The dot's place for the offset (x, y) in game units (x towards the right of
// the world map, y towards its bottom). Only the direction matters. Every
// finite non-zero offset gives a place; a non-finite component is a fault.
BearingResult ComputeBearing(float x, float y);

// The text of the fault message box: "エラー発生！ｷｬｰ＞＜", CR LF, the
// description, CR LF, x, ",", y (UTF-8).
std::string BearingFaultMessage(const std::string& description, float x, float y);

// A single-precision value as decimal text with at most seven significant
// digits, independent of the process locale: 5 -> "5", 0.0001 -> "0.0001",
// 1e-05 -> "1E-05", 123456789 -> "1.234568E+08", infinity -> "INF".
std::string FormatSingle(float value);

}  // namespace crewmap::navi
