#pragma once
// A stand-in for the game's pixels in the tick tests: a game window of outer
// size 806 x 629 whose read-out cells show a given text through exactly the
// probe pixels the recognizer decides on. Everything else reads grey. The real
// path (X11 and the substitute game window) is covered end to end.
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "platform/window_source.h"

namespace crewmap::test {

class ProbeWindowSource : public platform::WindowSource {
 public:
  // What the read-out shows; "" shows nothing (a reading that fails validation).
  void Show(const std::string& text);
  // No game window and no screen context either: the capture fails.
  bool failContext = false;
  int captures = 0;  // contexts handed out

  platform::WindowHandle FindWindowByTitle(std::string_view title) override;
  platform::DeviceContext GetDC(platform::WindowHandle window) override;
  bool GetWindowRect(platform::WindowHandle window, platform::WindowRect& rect) override;
  std::uint32_t GetPixel(platform::DeviceContext dc, std::int32_t x, std::int32_t y) override;
  void ReleaseDC(platform::WindowHandle window, platform::DeviceContext dc) override;

 private:
  std::map<std::pair<int, int>, std::uint32_t> pixels_;
};

}  // namespace crewmap::test
