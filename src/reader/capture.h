#pragma once
// One reading of the player's position from the game's coordinate read-out.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/window_source.h"
#include "reader/readout_finder.h"

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

// What a capture found out, beside the position: what the player is told.
enum class CaptureState {
  NoContext,   // no device context could be had: nothing was read
  NoWindow,    // no window has the game's title (the screen's corner was read)
  Minimised,   // the game window is minimised: there is nothing to read
  NotFound,    // no read-out in the client area
  Confirming,  // a searched place waits for readings that moved
  Covered,     // the read-out is there, but something lies over part of it
  Held,        // the reading jumped further than a ship sails: held back
  Reading,     // a position was read
};

struct CaptureOutcome {
  bool ok = false;       // false: no device context, nothing was read
  std::string position;  // "x,y" or empty when nothing valid was read
  CaptureState state = CaptureState::NoContext;
  bool locked = false;   // NoContext: "Lock" holds a window that has gone
  // The client area's size (the outer size where the source cannot tell it).
  std::int32_t width = 0;
  std::int32_t height = 0;
  ReadoutPlace place;    // Reading: where the position was read
};

// How a capture fetches the read-out's pixels: one copy of the rectangle
// that holds every probe (falling back to single reads when the copy cannot
// be made), or one single-pixel read per probe, the reference.
enum class PixelFetch { Block, Single };

class CoordinateCapture {
 public:
  // `clock`: milliseconds on a steady clock, for the search's pace (tests
  // pass their own). With PixelFetch::Single nothing is ever copied, so the
  // client area is not searched either.
  CoordinateCapture(platform::WindowSource& source, CaptureControls& controls,
                    PixelFetch fetch = PixelFetch::Block, std::function<std::int64_t()> clock = {});

  // Finds (or keeps, under "Lock") the game window, finds its read-out and
  // reads it (see ReadoutFinder).
  CaptureOutcome CapturePosition();

  platform::WindowHandle GameWindow = 0;  // null until the first lookup
  platform::DeviceContext GameDC = 0;     // live only within one capture

 private:
  platform::WindowSource& source_;
  CaptureControls& controls_;
  PixelFetch fetch_;
  std::function<std::int64_t()> clock_;
  ReadoutFinder finder_;
};

}  // namespace crewmap::reader
