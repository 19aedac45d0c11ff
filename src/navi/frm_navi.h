#pragma once
// The navigation overlay: a small frameless, always-on-top window whose white
// parts are cut out; a red dot on its ring points towards the map's target.
#include <QWidget>

namespace crewmap::navi {

class frmNavi : public QWidget {
  Q_OBJECT

 public:
  // The loaded window, or nullptr when it is not loaded.
  static frmNavi* Loaded();
  // The loaded window, created hidden (running its load step) if needed.
  static frmNavi& Load();
  // Destroys the window if it is loaded.
  static void Unload();

  // Places the dot for the offset (x, y) from the player to the target, in
  // game units. Never shows the window.
  void PointToAngle(float& x, float& y);

  // (the rest of the class is the navigation window's own)
};

}  // namespace crewmap::navi
