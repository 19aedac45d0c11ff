#pragma once
// One reading of the player's position from the game's coordinate read-out.
#include <string>

#include "platform/window_source.h"

namespace crewmap::reader {

// The game window's title (UTF-8) and the text shown when no context could be
// obtained for it.
inline constexpr const char* kGameTitle = "大航海時代 Online";
inline constexpr const char* kCaptureFailureText = "失敗しました。";

// What the capture needs from the main window: the state of its "Lock" box
// (Check1) and the label (Label1) that shows a capture failure.
class CaptureControls {
 public:
  virtual ~CaptureControls() = default;
  virtual bool LockTicked() const = 0;
  virtual void ShowCaptureFailure(const std::string& utf8Text) = 0;
};

struct CaptureOutcome {
  bool ok = false;       // false: no device context, nothing was read
  std::string position;  // "x,y" or empty when nothing valid was read
};

// How a capture fetches the read-out's pixels: one copy of the rectangle
// that holds every probe (falling back to single reads when the copy cannot
// be made), or one single-pixel read per probe, the reference.
enum class PixelFetch { Block, Single };

class CoordinateCapture {
 public:
  CoordinateCapture(platform::WindowSource& source, CaptureControls& controls,
                    PixelFetch fetch = PixelFetch::Block);

  // Finds (or keeps, under "Lock") the game window, reads twelve cells and
  // validates the joined text.
  CaptureOutcome CapturePosition();

  platform::WindowHandle GameWindow = 0;  // null until the first lookup
  platform::DeviceContext GameDC = 0;     // live only within one capture

 private:
  platform::WindowSource& source_;
  CaptureControls& controls_;
  PixelFetch fetch_;
};

}  // namespace crewmap::reader
