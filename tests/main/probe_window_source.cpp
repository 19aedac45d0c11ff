#include "probe_window_source.h"

#include <vector>

namespace crewmap::test {
namespace {

constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr std::uint32_t kBlack = 0x00000000;
constexpr std::uint32_t kGrey = 0x00808080;
// Outer size 806 x 629: read-out origin (722, 328), cells 6 pixels apart.
constexpr int kOriginX = 722;
constexpr int kOriginY = 328;

struct Probe {
  int dx, dy;
};
constexpr Probe P1{1, 8}, P2{2, 9}, P3{2, 8}, P4{3, 8}, P5{4, 8}, P6{1, 0}, P7{1, 3}, P8{1, 4},
    P9{4, 4};

// The white probes that make each character under the recognizer's decision.
std::vector<Probe> WhiteProbes(char c) {
  switch (c) {
    case '1': return {P4};
    case '2': return {P1};
    case '4': return {P5};
    case '7': return {P3};
    case '5': return {P3, P4, P6};
    case '0': return {P3, P4, P8, P9};
    case '6': return {P3, P4, P8};
    case '9': return {P3, P4, P9};
    case '8': return {P3, P4, P7};
    case '3': return {P3, P4};
    case ',': return {P2};
    default: return {};
  }
}

}  // namespace

void ProbeWindowSource::Show(const std::string& text) {
  pixels_.clear();
  for (std::size_t i = 0; i < text.size() && i < 12; ++i) {
    const int x = kOriginX + 6 * static_cast<int>(i);
    for (const Probe& p : WhiteProbes(text[i])) pixels_[{x + p.dx, kOriginY + p.dy}] = kWhite;
    if (text[i] == ',') pixels_[{x + P1.dx, kOriginY + P1.dy}] = kBlack;
  }
}

platform::WindowHandle ProbeWindowSource::FindWindowByTitle(std::string_view) {
  return failContext || missing ? 0 : game;
}

platform::DeviceContext ProbeWindowSource::GetDC(platform::WindowHandle window) {
  if (failContext || (window != game && window != 0)) return 0;
  ++captures;
  return window == 0 ? 8 : 7;
}

bool ProbeWindowSource::GetWindowRect(platform::WindowHandle window, platform::WindowRect& rect) {
  if (window != game) return false;
  rect = {100, 50, 100 + 806, 50 + 629};
  return true;
}

bool ProbeWindowSource::GetClientArea(platform::WindowHandle window, platform::ClientArea& area) {
  if (window != game) return false;
  area = {800, 600, minimised};
  return true;
}

std::uint32_t ProbeWindowSource::GetPixel(platform::DeviceContext dc, std::int32_t x, std::int32_t y) {
  if (dc != 7) return kGrey;  // the screen
  const auto it = pixels_.find({x, y});
  return it == pixels_.end() ? kGrey : it->second;
}

void ProbeWindowSource::ReleaseDC(platform::WindowHandle, platform::DeviceContext) {}

}  // namespace crewmap::test
