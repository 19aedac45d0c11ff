#pragma once
// The map window "Crewmap - マップ" as the rest of the program uses it.
#include <QImage>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "common/game_point.h"
#include "map/map_drawing.h"
#include "map/map_scene.h"
#include "map/marker_layer.h"
#include "map/place_marks.h"
#include "map/places.h"
#include "map/transform.h"
#include "net/slots.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;

namespace crewmap::map {

class MapArea;
class MeetingFlag;
class frmPlaces;

// The marker sets (Shape1, lblPoint..lblPoint5) come from MarkerLayer.
class frmMap : public QWidget, public MarkerLayer {
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

  // Run by the main tick with the slot table, hidden or not: the scene
  // keeps the table for following and the trails, the own readings for the
  // speed, and moves the target with the member it follows.
  void NoteSlots(const net::SlotTable& Slots, std::int16_t MySlot, std::int64_t nowMs);
  // Run by the main tick while the map is visible: the markers of slots
  // 0..8 where the scene places them for the view, names kept apart.
  void ShowMarkers();
  // Run by the main tick while the map is visible and the own position is
  // unknown: no distance or time shows as if it were live, and the overlay's
  // marks show as old.
  void OwnPositionUnknown();

  // Makes the member in `slot` (0..8) the target, moving with it every tick.
  // Not the own slot, nor a slot without a nickname: false then, and
  // nothing changes.
  bool FollowSlot(int slot);
  // The slot followed, -1 for none (also once its member has left).
  int FollowedSlot() const { return scene_.FollowedSlot(); }

  // Shows the buttons that share the current target (in whole game units)
  // as the group's meeting point, or clear it, through `share`; they work
  // while `open` says so (always, without one). An empty `share` hides them.
  void SetMeetingShare(std::function<void(std::optional<crewmap::GamePoint>)> share,
                       std::function<bool()> open = {});
  // Draws the group's meeting point as a flag, or removes it.
  void SetMeetingPoint(std::optional<crewmap::GamePoint> point);

  // --- saved places and routes (map_places.cpp)
  // The places file: places.txt beside the settings file unless set (an
  // empty path restores that). Read at every load, and again when set.
  static void SetPlacesFile(const std::filesystem::path& file);
  const PlacesStore& Places() const { return places_; }
  // Makes `spot` the target as a click on it does; following and a route end.
  void AimAtSpot(GamePoint spot);
  // A route through `places` (see MapScene), its steps back and forward,
  // its end; the map's caption and the overlay show its step.
  bool StartRoute(std::vector<Place> places);
  bool StepRoute(int delta);
  void StopRoute();
  // Shares `spot` as the group's meeting point; false while that is not open.
  bool ShareSpot(GamePoint spot);
  // Changes to the places file; each gives what the player is told.
  QString SavePlace(const QString& name, bool own);  // the target, or the own position
  QString RemovePlaces(const std::vector<Place>& places);
  QString PastePlaces(const QString& text);  // lines of names and numbers
  // Shows the window and puts the cursor into the "x,y" box.
  void FocusGoTo();
  // Where a route's arrivals are told: one row each (the activity log).
  void SetArrivalLog(std::function<void(const std::string&)> log) { arrivalLog_ = std::move(log); }

  // What the map and the overlay show as distance and time ("" before a
  // target is chosen, and while the own position is unknown).
  const std::string& NaviText() const { return naviText_; }

  // What the window holds, for the main tick and for checks.
  bool HasPictures() const { return !LeftHalfPicture.isNull() && !RightHalfPicture.isNull(); }
  const QImage& LeftPicture() const { return LeftHalfPicture; }
  const QImage& RightPicture() const { return RightHalfPicture; }
  std::int32_t TargetX() const { return scene_.TargetX(); }
  std::int32_t TargetY() const { return scene_.TargetY(); }
  const MapScene& Scene() const { return scene_; }
  // The visible size w x h in map pixels for the current size and zoom.
  VisibleSize VisibleMapSize() const { return Visible(); }
  // What the map area shows, drawn into a new image of its size.
  QImage MapSurface() const;

  MapArea* Picture1 = nullptr;
  QSlider* Slider1 = nullptr;
  QCheckBox* Check1 = nullptr;     // "自分を中心"
  QCheckBox* Check2 = nullptr;     // "軌跡": the trails
  QPushButton* Command1 = nullptr;  // "閉じる"
  QPushButton* Command2 = nullptr;  // "ナビ"
  QLabel* Label1 = nullptr;         // the target cross
  QLabel* lblDistance = nullptr;    // distance and time beside the cross
  QLabel* lblFollow = nullptr;      // whom the map follows
  QPushButton* Command3 = nullptr;  // share the target as the meeting point
  QPushButton* Command4 = nullptr;  // clear the meeting point
  MeetingFlag* Flag1 = nullptr;     // the meeting point
  QTimer* Timer1 = nullptr;         // right-button scrolling
  QLineEdit* txtGoto = nullptr;     // "x,y": the target typed as numbers
  QLabel* lblGoto = nullptr;        // why a typed spot was refused, what a paste added
  QCheckBox* Check3 = nullptr;      // "地点": the saved places on the map
  QPushButton* Command5 = nullptr;  // "地点一覧": the places window
  frmPlaces* Places1 = nullptr;     // the places window, made at its first use

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  frmMap();
  ~frmMap() override;
  // Makes the controls with their look and design positions (unwired).
  void MakeControls();

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
  void Command3_Click();
  void Command4_Click();
  // The view the map shows now.
  ViewState CurrentView() const;
  // Places the cross, its distance text and the meeting flag for the view.
  void PlaceTargetMarks();
  // The distance text beside the cross, wherever the cross is.
  void PlaceDistance();
  // Gives the map area the trails' pieces for the view (none when off).
  void PlaceTrails();
  // The share buttons' states for the target, the meeting point and `open`.
  void EnableShareButtons();
  void ShowNaviText(const std::string& text);
  void ShowFollowCaption();
  bool MakeHalfDCs();
  void DropPictures();
  VisibleSize Visible() const;
  // The saved places (map_places.cpp).
  void LoadPlaces();
  // Shows the places as they are now on the map and in the places window,
  // with the rows `select` chosen there.
  void PlacesChanged(const std::vector<std::size_t>& select = {});
  void PlacePlaceMarks();
  void GoTo();
  void GoToEdited(const QString& text);
  // Beside the box; gone after a while when `fades`.
  void ShowGoToMessage(const QString& text, bool fades = true);
  void NoteArrivals();
  void ShowRouteStep();
  QString CannotWrite() const;
  void Command5_Click();

  HoseiValue Hosei_ = HoseiOne;
  std::int32_t ViewX = 0;
  std::int32_t ViewY = 0;
  MapScene scene_;
  std::function<void(std::optional<GamePoint>)> share_;
  std::function<bool()> shareOpen_;
  std::string naviText_;
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
  PlacesStore places_;
  PlaceLabels placeLabels_;
  std::vector<PlaceLabelRef> labels_;  // each place's name as drawn, in the places' order
  std::function<void(const std::string&)> arrivalLog_;
  QString goToText_;  // the box's text before the last edit
  std::vector<std::size_t> chosen_;  // the places the last change added or saved
  // No back buffer is kept: the map area draws the view from the halves
  // straight into the window's backing store (see MapArea), which is the
  // one copy a frame needs.
};

// Ctrl+G in `window` shows the map (through `showMap`, as the "MAP" button
// does) and puts the cursor into its "x,y" box.
void AddGoToShortcut(QWidget& window, std::function<void()> showMap);

}  // namespace crewmap::map
