#include "reader/capture_state.h"

namespace crewmap::reader {

std::string CaptureStateText(const CaptureOutcome& outcome) {
  switch (outcome.state) {
    case CaptureState::NoContext:
      return outcome.locked ? "ゲーム画面を読めません（Lockを外すと探し直します）" : "ゲーム画面を読めません";
    case CaptureState::NoWindow:
      return "ゲーム画面が見つかりません";
    case CaptureState::Minimised:
      return "ゲーム画面が最小化されています";
    case CaptureState::NotFound:
      return "座標が見つかりません（" + std::to_string(outcome.width) + "×" + std::to_string(outcome.height) +
             "の画面）";
    case CaptureState::Confirming:
      return "座標らしき表示を確認中（船が動くと読み始めます）";
    case CaptureState::Covered:
      return "座標の表示が隠れています";
    case CaptureState::Held:
      return "座標が急に飛んだため確かめています（表示が隠れていませんか）";
    case CaptureState::Reading:
      break;
  }
  return "座標を読み取り中（左から" + std::to_string(outcome.place.origin.x) + "・上から" +
         std::to_string(outcome.place.origin.y) + "）";
}

bool CaptureStateLog::ShouldLog(const std::string& line) {
  const bool held = line == previous_;
  previous_ = line;
  if (!held || line == logged_) return false;
  logged_ = line;
  return true;
}

}  // namespace crewmap::reader
