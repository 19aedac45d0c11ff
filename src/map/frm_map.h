#pragma once
// The map window "Crewmap - マップ" as the rest of the program uses it.
#include <QImage>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "map/map_drawing.h"
#include "map/transform.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace crewmap::map {

class CircleShape;
class MapArea;

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

  // Folder the two pictures are read from: the program's folder unless set
  // (an empty text restores that). Read at every load.
  static void SetPictureFolder(const QString& folder);
  static QString PictureFolder();
  // Making the half pictures' drawing surfaces; replaceable so that the
  // failure path ("内部DCの生成に失敗しました＞＜") can be exercised. An
  // empty hook restores the real step, which cannot fail here.
  static void SetHalfDcHook(std::function<bool()> hook);

  // Marker set i (0..8): the circle and its five name labels, placed in
  // twips relative to the map area (converted to pixels here).
  void ShowMarker(int i, const QString& nick, const MarkerPlacement& placement);
  void HideMarker(int i);

  // What the window holds, for the main tick and for checks.
  bool HasPictures() const { return !LeftHalfPicture.isNull() && !RightHalfPicture.isNull(); }
  const QImage& LeftPicture() const { return LeftHalfPicture; }
  const QImage& RightPicture() const { return RightHalfPicture; }
  std::int32_t TargetX() const { return TargetX_; }
  std::int32_t TargetY() const { return TargetY_; }
  // The visible size w x h in map pixels for the current size and zoom.
  VisibleSize VisibleMapSize() const { return Visible(); }
  // What the map area shows, drawn into a new image of its size.
  QImage MapSurface() const;

  MapArea* Picture1 = nullptr;
  QSlider* Slider1 = nullptr;
  QCheckBox* Check1 = nullptr;
  QPushButton* Command1 = nullptr;  // "閉じる"
  QPushButton* Command2 = nullptr;  // "ナビ"
  QLabel* Label1 = nullptr;         // the target cross
  QTimer* Timer1 = nullptr;         // right-button scrolling
  std::array<CircleShape*, 9> Shape1{};
  std::array<QLabel*, 9> lblPoint{};   // light nickname
  std::array<QLabel*, 9> lblPoint2{};  // black copy one pixel above
  std::array<QLabel*, 9> lblPoint3{};  // ... below
  std::array<QLabel*, 9> lblPoint4{};  // ... left
  std::array<QLabel*, 9> lblPoint5{};  // ... right

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  frmMap();
  ~frmMap() override;

  void Form_Load();
  void Form_Resize();
  void Form_Unload();
  void Slider1_Click();
  void Picture1_MouseDown(Qt::MouseButton button, double x, double y);
  void Picture1_MouseUp();
  void Timer1_Timer();
  void Command1_Click();
  void Command2_Click();
  void RedrawView();
  bool MakeHalfDCs();
  void DropPictures();
  VisibleSize Visible() const;

  HoseiValue Hosei_ = HoseiOne;
  std::int32_t ViewX = 0;
  std::int32_t ViewY = 0;
  std::int32_t TargetX_ = 0;
  std::int32_t TargetY_ = 0;
  std::int32_t PressX = 0;
  std::int32_t PressY = 0;
  // The decoded halves in the drawing format; they stand in for the
  // pictures selected into their memory device contexts.
  QImage LeftHalfPicture;
  QImage RightHalfPicture;
  bool halfDCs_ = false;
  // The halves at half size while the zoom is 0.5, made at its first
  // redraw there and dropped when the zoom leaves it or the pictures go.
  HalfSizeLevel halfSize_;
  // No back buffer is kept: the map area draws the view from the halves
  // straight into the window's backing store (see MapArea), which is the
  // one copy a frame needs.
};

}  // namespace crewmap::map
