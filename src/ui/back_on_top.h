#pragma once
// Puts an always-on-top window of ours back above every other window, for
// when a window opened since (a game started again) has come over it.
class QWidget;

namespace crewmap::ui {

void PutBackOnTop(QWidget& window);

}  // namespace crewmap::ui
