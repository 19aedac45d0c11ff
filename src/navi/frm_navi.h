#pragma once
// The navigation overlay: a small frameless, always-on-top window whose white
// parts are cut out; a red dot on its ring points towards the map's target.
// It opens where the player last left it (ui/remembered_place.h).
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "navi/ring_marks.h"

class QLabel;
class QTimer;

namespace crewmap::navi {

class OutlinedText;
class RingMarkView;
class Shape;
class TargetDot;

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
  // No target: the dot goes until PointToAngle places it again (it starts
  // so). A dot towards no chosen spot would point nowhere useful.
  void HideDot();
  // Shows the distance and arrival time inside the ring ("2722\n4:32", one
  // line under the other; "" shows nothing).
  void SetDistanceText(const QString& text);
  // Shows a route's step and place under the distance ("2/5 喜望峰", cut
  // to the ring's width; "" shows nothing).
  void SetStepText(const QString& text);
  // Marks the other members on the ring, each at its bearing.
  void SetRingMarks(const std::vector<RingMark>& marks);

  // Design size of the client area, in twips.
  static constexpr int kWidthTwips = 1860;
  static constexpr int kHeightTwips = 1770;
  // Stored design position, in twips (moved on screen if needed).
  static constexpr int kDesignLeftTwips = 9045;
  static constexpr int kDesignTopTwips = 6570;

  // Controls, named as their objectName.
  Shape* Shape1 = nullptr;   // the ring
  Shape* Shape2 = nullptr;   // olive disc inside the handle
  TargetDot* Shape3 = nullptr;  // the direction dot
  QLabel* Label1 = nullptr;  // the up mark
  QLabel* lblNavi = nullptr; // drag handle and close control
  OutlinedText* lblDistance = nullptr;  // distance and time, inside the ring
  OutlinedText* lblStep = nullptr;      // a route's step and place, under them
  RingMarkView* Marks = nullptr;        // the other members on the ring
  QTimer* Timer1 = nullptr;  // drives dragging

  // Cursor distance from the window's top and left edges when a drag
  // started, in twips.
  std::int32_t DragOffsetY = 0;
  std::int32_t DragOffsetX = 0;

  ~frmNavi() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  frmNavi();
  void Form_Load();
  void lblNavi_MouseDown(int button);
  void lblNavi_MouseUp();
  void lblNavi_DblClick();
  void Timer1_Timer();
  // Cuts the white pixels out of the window (display and mouse input alike).
  void updateMask();

  int handling_ = 0;  // > 0 while one of this window's own handlers runs
  QPoint dragFrom_;    // the window's place when a drag started
  QImage underlay_;    // scaled displays only: see paintEvent
  bool rendering_ = false;
};

}  // namespace crewmap::navi
