#include "map/frm_map.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/twips.h"
#include "map/map_area.h"
#include "map/map_drawing.h"
#include "map/marker_layer.h"
#include "map/meeting_flag.h"
#include "navi/frm_navi.h"

namespace crewmap::map {

namespace {

frmMap* instance = nullptr;
// With CREWMAP_DEBUG_LISTS set, every change of the distance text is also
// written to standard error, as the main window writes its lists.
bool DebugLists() {
  static const bool on = qEnvironmentVariableIsSet("CREWMAP_DEBUG_LISTS");
  return on;
}

}  // namespace

frmMap* frmMap::Loaded() { return instance; }

frmMap& frmMap::Load() {
  if (!instance) {
    instance = new frmMap();
    instance->Form_Load();
    if (instance) instance->LoadPlaces();
    // Lays out and draws once, so the members work before the first showing.
    if (instance) instance->Form_Resize();
  }
  return *instance;
}

void frmMap::Unload() {
  if (!instance) return;
  frmMap* window = instance;
  window->Form_Unload();
  delete window;
}

frmMap::frmMap() : QWidget(nullptr) {
  MakeControls();
  Picture1->onMouseDown = [this](Qt::MouseButton b, double x, double y) { Picture1_MouseDown(b, x, y); };
  Picture1->onMouseUp = [this](Qt::MouseButton) { Picture1_MouseUp(); };
  connect(Slider1, &QSlider::valueChanged, this, [this] { Slider1_Click(); });
  connect(Check2, &QCheckBox::toggled, this, [this] { PlaceTrails(); });
  connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
  connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
  connect(txtGoto, &QLineEdit::returnPressed, this, [this] { GoTo(); });
  connect(txtGoto, &QLineEdit::textEdited, this, [this](const QString& text) { GoToEdited(text); });
  connect(Check3, &QCheckBox::toggled, this, [this] { PlacePlaceMarks(); });
  RaiseMarks();  // last: above every control made before
  connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this), &QShortcut::activated, this, [this] { FocusGoTo(); });
}

frmMap::~frmMap() {
  if (instance == this) instance = nullptr;
}

std::int64_t frmMap::Hosei() const { return Hosei_; }

void frmMap::MovePoint(std::int32_t& x, std::int32_t& y) {
  ViewX = x;
  ViewY = y;
  RedrawView();
}

void frmMap::GetPoint(std::int32_t& x, std::int32_t& y) {
  x = ViewX;
  y = ViewY;
}

void frmMap::AngleShow(std::int32_t& x, std::int32_t& y) {
  const HeadingOffset offset = scene_.OffsetFrom(x, y);
  const MapScene::DistanceTexts texts = scene_.DistanceTextsFor(offset);
  ShowNaviText(texts.map);
  navi::frmNavi& navi = navi::frmNavi::Load();
  navi.SetDistanceText(QString::fromStdString(texts.overlay));
  navi.SetRingMarks(scene_.RingMarks());
  navi.SetStepText(QString::fromStdString(scene_.CurrentRoute().StepText()));
  if (!scene_.HasTarget()) {
    navi.HideDot();  // nothing chosen to point at
    return;
  }
  // Last: a fault message opens a modal loop in which this window may go.
  float dx = offset.dx, dy = offset.dy;
  navi.PointToAngle(dx, dy);
}

void frmMap::OwnPositionUnknown() {
  ShowNaviText("");
  if (navi::frmNavi* navi = navi::frmNavi::Loaded()) {
    navi->SetDistanceText(QString());
    navi->SetRingMarks(scene_.RingMarks());
  }
}

void frmMap::ShowNaviText(const std::string& text) {
  if (text == naviText_) return;
  naviText_ = text;
  lblDistance->setText(QString::fromStdString(text));
  lblDistance->adjustSize();
  PlaceDistance();
  if (DebugLists()) std::fprintf(stderr, "Navi= %s\n", text.c_str());
}

void frmMap::NoteSlots(const net::SlotTable& Slots, std::int16_t MySlot, std::int64_t nowMs) {
  const int followed = scene_.FollowedSlot();
  scene_.Note(Slots, MySlot, nowMs);
  NoteArrivals();
  if (followed >= 0) {
    PlaceTargetMarks();
    ShowFollowCaption();
  }
  EnableShareButtons();
  if (isVisible()) PlaceTrails();
}

bool frmMap::FollowSlot(int slot) {
  if (!scene_.FollowSlot(slot)) return false;
  Label1->setVisible(scene_.HasTarget());
  PlaceTargetMarks();
  ShowRouteStep();
  EnableShareButtons();
  return true;
}

void frmMap::ShowFollowCaption() {
  const Route& route = scene_.CurrentRoute();
  const std::string text = route.Active() ? "ルート " + route.StepText() : scene_.FollowText();
  lblFollow->setVisible(!text.empty());
  if (text.empty()) return;
  lblFollow->setText(QString::fromStdString(text));
  lblFollow->adjustSize();
  lblFollow->move(8, Picture1->height() - 8 - lblFollow->height());
}

void frmMap::SetMeetingShare(std::function<void(std::optional<GamePoint>)> share, std::function<bool()> open) {
  share_ = std::move(share);
  shareOpen_ = std::move(open);
  Command3->setVisible(static_cast<bool>(share_));
  Command4->setVisible(static_cast<bool>(share_));
  EnableShareButtons();
}

void frmMap::SetMeetingPoint(std::optional<GamePoint> point) {
  scene_.SetMeetingPoint(point);
  PlaceTargetMarks();
  EnableShareButtons();
}

void frmMap::EnableShareButtons() {
  const bool open = share_ && (!shareOpen_ || shareOpen_());
  Command3->setEnabled(open && scene_.HasTarget());
  // Clearing only while a point is shared: otherwise it would tell everyone
  // of a clearing that clears nothing.
  Command4->setEnabled(open && scene_.MeetingPoint().has_value());
}

void frmMap::Command3_Click() {
  if (const auto point = scene_.ShareablePoint(); share_ && point) share_(point);
}

void frmMap::Command4_Click() {
  if (share_ && scene_.MeetingPoint()) share_(std::nullopt);
}

ViewState frmMap::CurrentView() const { return {ViewX, ViewY, Visible().w, Hosei_}; }

void frmMap::PlaceTargetMarks() {
  const ViewState view = CurrentView();
  const TwipsPoint cross = scene_.CrossCorner(view);
  Label1->move(TwipsToPixels(cross.left), TwipsToPixels(cross.top));
  PlaceDistance();
  if (const auto foot = scene_.MeetingFoot(view))
    Flag1->move(TwipsToPixels(foot->left) - MeetingFlag::kFootX, TwipsToPixels(foot->top) - MeetingFlag::kFootY);
  Flag1->setVisible(scene_.MeetingPoint().has_value());
}

void frmMap::PlaceDistance() {
  lblDistance->move(PlaceCaption(*lblDistance, *Label1));
  lblDistance->setVisible(!Label1->isHidden() && !naviText_.empty());
}

void frmMap::PlaceTrails() {
  Picture1->ShowTrails(Check2->isChecked() ? TrailPieces(scene_.MemberTrails(), scene_.NowMs(), ViewX, ViewY, Hosei_,
                                                         Picture1->width(), Picture1->height())
                                           : std::vector<TrailPiece>());
}

QImage frmMap::MapSurface() const { return Picture1->Grab(); }

void frmMap::ShowMarkers() {
  PlaceMarkers(scene_.Markers(CurrentView()));
  PlaceDistance();  // clear of the names where they are now
}

VisibleSize frmMap::Visible() const {
  return VisibleSizeFor(PixelsToTwips(width()), PixelsToTwips(height()), Hosei_);
}

void frmMap::Form_Resize() {
  const double W = PixelsToTwips(width());
  Picture1->setGeometry(0, 0, width(), height());
  if (W > 1650) Command2->move(TwipsToPixels(W - 1650), Command2->y());
  if (W > 810) Command1->move(TwipsToPixels(W - 810), Command1->y());
  if (W > 1650) {
    Command3->move(TwipsToPixels(W - 1650), Command3->y());
    Command4->move(TwipsToPixels(W - 1650), Command4->y());
  }
  ShowFollowCaption();
  RedrawView();
}

void frmMap::Slider1_Click() {
  const auto next = HoseiForSlider(Slider1->value());
  if (!next) return;
  const HoseiValue old = Hosei_;
  Hosei_ = *next;
  ViewX = ZoomShift(ViewX, PixelsToTwips(width()), old, Hosei_);
  ViewY = ZoomShift(ViewY, PixelsToTwips(height()), old, Hosei_);
  RedrawView();
}

void frmMap::Picture1_MouseDown(Qt::MouseButton button, double x, double y) {
  if (button == Qt::RightButton) {
    if (Check1->isChecked()) return;
    const QPoint cursor = QCursor::pos();
    PressX = cursor.x();
    PressY = cursor.y();
    Timer1->start();
  } else if (button == Qt::LeftButton) {
    // On the meeting flag: the meeting point becomes the target; on a
    // member's marker (not one's own): that member is followed. Each ends
    // a route.
    const QPoint pixel(TwipsToPixels(x), TwipsToPixels(y));
    const bool onFlag = !Flag1->isHidden() && Flag1->geometry().contains(pixel);
    if (onFlag && scene_.AimAtMeetingPoint()) {
      Label1->show();
      PlaceTargetMarks();
    } else if (!FollowSlot(MarkerAt(pixel))) {
      if (const auto place = Picture1->PlaceAt(pixel)) {
        // On a saved place's mark: exactly that spot.
        AimAtSpot(places_.Current().Places()[*place].point);
      } else {
        // Open map: a fixed target, and following ends.
        scene_.AimAtMap(ClickToMapX(x, ViewX, Hosei_), ClickToMapY(y, ViewY, Hosei_));
        Label1->move(TwipsToPixels(x - 150), TwipsToPixels(y - 150));
        Label1->show();
        PlaceDistance();
      }
    }
    ShowRouteStep();
    EnableShareButtons();
  }
}

void frmMap::Picture1_MouseUp() { Timer1->stop(); }

void frmMap::Timer1_Timer() {
  const QPoint cursor = QCursor::pos();
  ViewX = ScrollStep(ViewX, PressX, cursor.x(), Hosei_);
  ViewY = ScrollStep(ViewY, PressY, cursor.y(), Hosei_);
  RedrawView();
}

void frmMap::Command1_Click() { hide(); }

void frmMap::Command2_Click() {
  navi::frmNavi& navi = navi::frmNavi::Load();
  navi.show();
  navi.raise();
}

void frmMap::RedrawView() {
  const VisibleSize size = Visible();
  NormaliseView(ViewX, ViewY, size.h);
  // The view at map scale stretched onto the area (one to one at zoom 1);
  // the area draws it when Qt paints it, and only when it changed.
  MapView view;
  view.left = &LeftHalfPicture;
  view.right = &RightHalfPicture;
  view.leftKey = LeftHalfPicture.cacheKey();
  view.rightKey = RightHalfPicture.cacheKey();
  view.pictures = HasPictures();
  if (Hosei_ == 5000 && view.pictures) {
    if (!halfSize_.MadeFrom(LeftHalfPicture, RightHalfPicture))
      halfSize_ = MakeHalfSizeLevel(LeftHalfPicture, RightHalfPicture);
    view.level = &halfSize_;
  } else if (!halfSize_.left.isNull()) {
    halfSize_ = HalfSizeLevel();  // memory back as soon as the zoom leaves 0.5
  }
  view.viewX = ViewX;
  view.viewY = ViewY;
  view.w = size.w;
  view.h = size.h;
  view.area = Picture1->size();
  PlaceTargetMarks();
  Picture1->Show(view);
  PlaceTrails();
  PlacePlaceMarks();
}

void frmMap::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}

void frmMap::Form_Unload() {
  Timer1->stop();
  DropPictures();
  navi::frmNavi::Unload();
  if (instance == this) instance = nullptr;
}

void frmMap::closeEvent(QCloseEvent* event) {
  // Closing from the frame unloads the window; "閉じる" only hides it.
  Form_Unload();
  event->accept();
  deleteLater();
}

}  // namespace crewmap::map
