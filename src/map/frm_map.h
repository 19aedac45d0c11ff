#pragma once
// The map window "Crewmap - マップ" as the rest of the program uses it.
#include <QWidget>
#include <cstdint>

namespace crewmap::map {

class frmMap : public QWidget {
  Q_OBJECT

 public:
  // The loaded window, or nullptr when it is not loaded.
  static frmMap* Loaded();
  // The loaded window, created hidden (running Form_Load) if needed.
  static frmMap& Load();
  // Releases every drawing resource, unloads the navigation window and
  // destroys this window, if it is loaded.
  static void Unload();

  // Zoom factor in ten-thousandths (10000 = 1).
  std::int64_t Hosei() const;
  void MovePoint(std::int32_t& x, std::int32_t& y);
  void GetPoint(std::int32_t& x, std::int32_t& y);
  void AngleShow(std::int32_t& x, std::int32_t& y);

  // (the rest of the class is the map window's own)
};

}  // namespace crewmap::map
