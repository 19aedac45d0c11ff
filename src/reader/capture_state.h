#pragma once
// What the player is told about reading the position: one short line for the
// main window, made from a capture's outcome alone.
#include <string>

#include "reader/capture.h"

namespace crewmap::reader {

// UTF-8, e.g. "ゲーム画面が最小化されています" or
// "座標を読み取り中（左から1842・上から808）".
std::string CaptureStateText(const CaptureOutcome& outcome);

// Whether a line shown for a capture belongs in the activity log: a line that
// differs from the last one logged, once two captures in a row showed it. A
// state that lasts one capture only (the game repainting its read-out, say)
// leaves no rows.
class CaptureStateLog {
 public:
  bool ShouldLog(const std::string& line);

 private:
  std::string previous_;
  std::string logged_;
};

}  // namespace crewmap::reader
