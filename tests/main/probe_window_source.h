#pragma once
// A stand-in for the game's pixels in the tick tests: a game window of outer
// size 806 x 629 (client 800 x 600) whose read-out cells show a given text through exactly the
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
  bool missing = false;    // no game window; the screen's context reads grey
  bool minimised = false;  // the game window is minimised
  platform::WindowHandle game = 42;  // a new value: the game window was made anew
  int captures = 0;  // contexts handed out

  platform::WindowHandle FindWindowByTitle(std::string_view title) override;
  platform::DeviceContext GetDC(platform::WindowHandle window) override;
  bool GetWindowRect(platform::WindowHandle window, platform::WindowRect& rect) override;
  bool GetClientArea(platform::WindowHandle window, platform::ClientArea& area) override;
  std::uint32_t GetPixel(platform::DeviceContext dc, std::int32_t x, std::int32_t y) override;
  void ReleaseDC(platform::WindowHandle window, platform::DeviceContext dc) override;

 private:
  std::map<std::pair<int, int>, std::uint32_t> pixels_;
};

}  // namespace crewmap::test
