#pragma once
// Puts a window of ours, as it first shows, where it does not cover the
// game's coordinate read-out (see window_placement.h for the rules).
class QPoint;
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

// The same for a window whose place is over the game: `fromGame` from the
// game window's top-left corner, in the game's own pixels, so that it opens
// over the same spot of the game at every display scaling (unless that
// covers the read-out). Without the game its current place is kept.
void PlaceOverGameOnFirstShow(QWidget& window, const QPoint& fromGame,
                              platform::WindowSource* source = nullptr);

// The same for a window the player may have moved in this or an earlier
// run: where it was last left (RememberPlace under `name`), kept on the
// screens there are now; else as PlaceOverGameOnFirstShow.
void PlaceRememberedOnFirstShow(QWidget& window, const char* name, const QPoint& fromGame,
                                platform::WindowSource* source = nullptr);

// Where other instances of the program run, the windows of this one open
// `steps` places further on, so that they do not lie exactly on theirs.
void SetPlacementStagger(int steps);

// Claims this instance's number among the program's instances on the same
// desktop (platform/instance_number.h) and staggers by it.
void StaggerByInstanceNumber();

}  // namespace crewmap::ui
