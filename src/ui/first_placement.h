#pragma once
// Puts a window of ours, as it first shows, where it does not cover the
// game's coordinate read-out (see window_placement.h for the rules).
class QWidget;

namespace crewmap::platform {
class WindowSource;
}

namespace crewmap::ui {

enum class DesignedPlace {
  Ignore,  // the window has no place of its own: it opens beside the game
  Keep,    // its current place is kept unless that covers the read-out
};

// Call from the window's showEvent (Qt sends it before the window appears).
// Only the first call for a window moves it; later showings keep wherever
// the user has put it. `source` finds the game window; null: the system's.
void PlaceOnFirstShow(QWidget& window, platform::WindowSource* source = nullptr,
                      DesignedPlace designed = DesignedPlace::Ignore);

}  // namespace crewmap::ui
