#include "map/frm_map.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/twips.h"
#include "map/jpeg.h"
#include "map/map_area.h"
#include "map/map_drawing.h"
#include "map/marker_layer.h"
#include "map/meeting_flag.h"
#include "navi/frm_navi.h"
#include "ui/cached_look.h"
#include "ui/fonts.h"
#include "ui/tick_box_style.h"
#include "ui/twips_rect.h"
#include "ui/message_box.h"

namespace crewmap::map {

namespace {

frmMap* instance = nullptr;
QString pictureFolder;
std::function<bool()> halfDcHook;

// Reads one picture file whole and decodes it; a missing or empty file is a
// failed load like undecodable bytes.
QImage ReadPicture(const char* name) {
  // From UTF-8 as char8_t, so the path is wide on Windows whatever the code page.
  const QByteArray folder = frmMap::PictureFolder().toUtf8();
  const auto path = FindFileNoCase(
      std::filesystem::path(std::u8string(folder.begin(), folder.end())), name);
  if (!path) return {};
  auto buffer = ReadWholeFile(*path);
  if (!buffer) return {};
  QImage picture = LoadJpeg(*buffer);
  buffer.reset();  // released as soon as the picture is made
  return picture;
}

// White bold text on black: readable on any part of the map.
void WhiteOnBlack(QWidget& widget) {
  widget.setFont(ui::DesignFont(ui::kPGothic, 9, true));
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Window, Qt::black);
  palette.setColor(QPalette::WindowText, Qt::white);
  widget.setPalette(palette);
  widget.setAutoFillBackground(true);
}

// A caption over the map.
QLabel* MakeCaption(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  WhiteOnBlack(*label);
  label->setContentsMargins(2, 0, 2, 0);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  label->hide();
  return label;
}

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

void frmMap::SetPictureFolder(const QString& folder) { pictureFolder = folder; }

QString frmMap::PictureFolder() {
  return pictureFolder.isEmpty() ? QCoreApplication::applicationDirPath() : pictureFolder;
}

void frmMap::SetHalfDcHook(std::function<bool()> hook) { halfDcHook = std::move(hook); }

frmMap::frmMap() : QWidget(nullptr) {
  setObjectName(QStringLiteral("frmMap"));
  setWindowTitle(QStringLiteral("Crewmap - マップ"));
  resize(TwipsToPixels(5490), TwipsToPixels(3330));

  Picture1 = new MapArea(this);
  Picture1->setObjectName(QStringLiteral("Picture1"));
  Picture1->setGeometry(0, 0, width(), height());
  Picture1->onMouseDown = [this](Qt::MouseButton b, double x, double y) { Picture1_MouseDown(b, x, y); };
  Picture1->onMouseUp = [this](Qt::MouseButton) { Picture1_MouseUp(); };

  // Stacking over the map, bottom to top: the names, the controls, then
  // the circles, the meeting flag and the target cross, which a control
  // never hides.
  MakeMarkers(Picture1);
  Flag1 = new MeetingFlag(MarksOver());
  Flag1->setObjectName(QStringLiteral("Flag1"));
  Flag1->hide();
  Label1 = new QLabel(QStringLiteral("＋"), MarksOver());
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setFont(ui::DesignFont(ui::kPGothic, 15.75));
  {
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    Label1->setPalette(palette);
  }
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setGeometry(ui::TwipsRect(0, 0, 315, 315));
  Label1->setAttribute(Qt::WA_TransparentForMouseEvents);
  Label1->hide();  // shown by the first left click
  lblDistance = MakeCaption(MarksOver(), "lblDistance");  // beside the cross, so above the controls too
  lblFollow = MakeCaption(Picture1, "lblFollow");

  Slider1 = new ui::CachedLook<QSlider, QStyleOptionSlider>(Qt::Vertical, this);
  Slider1->setObjectName(QStringLiteral("Slider1"));
  Slider1->setRange(0, 6);
  Slider1->setPageStep(1);
  Slider1->setInvertedAppearance(true);  // 0 at the top, 6 at the bottom
  Slider1->setInvertedControls(true);
  Slider1->setTickPosition(QSlider::TicksRight);
  Slider1->setTickInterval(1);
  Slider1->setTracking(false);  // one zoom step per position the user settles on
  Slider1->setGeometry(ui::TwipsRect(120, 120, 495, 1575));
  connect(Slider1, &QSlider::valueChanged, this, [this] { Slider1_Click(); });

  Check1 = new ui::CachedLook<QCheckBox, QStyleOptionButton>(QStringLiteral("自分を中心"), this);
  Check1->setObjectName(QStringLiteral("Check1"));
  WhiteOnBlack(*Check1);
  // White on black in every style, with a tick that shows when ticked.
  ui::UseTickBoxStyle(*Check1);
  Check1->setGeometry(ui::TwipsRect(720, 120, 1575, 255));
  Check1->setChecked(true);

  // The trails, under "自分を中心" and in its look.
  Check2 = new ui::CachedLook<QCheckBox, QStyleOptionButton>(QStringLiteral("軌跡"), this);
  Check2->setObjectName(QStringLiteral("Check2"));
  Check2->setToolTip(QStringLiteral("メンバーがこの数分に進んだ道を線で表示します"));
  WhiteOnBlack(*Check2);
  ui::UseTickBoxStyle(*Check2);
  Check2->setGeometry(ui::TwipsRect(720, 435, 1575, 255));
  Check2->setChecked(true);
  connect(Check2, &QCheckBox::toggled, this, [this] { PlaceTrails(); });

  Command2 = new ui::CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("ナビ"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command2->setGeometry(ui::TwipsRect(5490 - 1650, 120, 735, 375));
  connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });

  Command1 = new ui::CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("閉じる"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(ui::TwipsRect(5490 - 810, 120, 735, 375));
  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

  // The meeting-point buttons, below "ナビ" and "閉じる"; shown by
  // SetMeetingShare.
  Command3 = new ui::CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("集合地点を共有"), this);
  Command3->setObjectName(QStringLiteral("Command3"));
  Command3->setToolTip(QStringLiteral("いまの目標を集合地点としてメンバー全員に知らせます"));
  Command3->setGeometry(ui::TwipsRect(5490 - 1650, 555, 1575, 375));
  Command3->setEnabled(false);  // until a target is chosen
  Command3->hide();
  connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
  Command4 = new ui::CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("集合地点を解除"), this);
  Command4->setObjectName(QStringLiteral("Command4"));
  Command4->setToolTip(QStringLiteral("集合地点を取り消し、メンバー全員の地図から消します"));
  Command4->setGeometry(ui::TwipsRect(5490 - 1650, 990, 1575, 375));
  Command4->setEnabled(false);  // until a point is shared
  Command4->hide();
  connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(10);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
  RaiseMarks();
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
  ShowFollowCaption();
  EnableShareButtons();
  return true;
}

void frmMap::ShowFollowCaption() {
  const std::string text = scene_.FollowText();
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

bool frmMap::MakeHalfDCs() {
  halfDCs_ = halfDcHook ? halfDcHook() : true;
  return halfDCs_;
}

void frmMap::DropPictures() {
  halfDCs_ = false;
  halfSize_ = HalfSizeLevel();
  LeftHalfPicture = QImage();
  RightHalfPicture = QImage();
}

void frmMap::Form_Load() {
  ViewX = 0;
  ViewY = 0;
  {
    const QSignalBlocker blocker(Slider1);  // setting the position is no zoom step
    Slider1->setValue(2);
  }
  Hosei_ = HoseiOne;
  for (;;) {
    if (!MakeHalfDCs()) {
      DropPictures();
      if (ui::ShowMessage(QStringLiteral("内部DCの生成に失敗しました＞＜"), ui::MessageButtons::RetryCancel) ==
          ui::MessageAnswer::Retry)
        continue;
      hide();
      return;
    }
    LeftHalfPicture = ReadPicture(LeftPictureName);
    RightHalfPicture = ReadPicture(RightPictureName);
    if (HasPictures()) {
      // "Selecting into the device context": the drawing format the
      // composition copies from, whatever the decoder produced.
      LeftHalfPicture.convertTo(QImage::Format_RGB32);
      RightHalfPicture.convertTo(QImage::Format_RGB32);
      return;
    }
    DropPictures();
    if (ui::ShowMessage(QStringLiteral("イメージのロードに失敗しました＞＜"), ui::MessageButtons::RetryCancel) !=
        ui::MessageAnswer::Retry) {
      hide();
      return;
    }
  }
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
    // member's marker (not one's own): that member is followed.
    const QPoint pixel(TwipsToPixels(x), TwipsToPixels(y));
    const bool onFlag = !Flag1->isHidden() && Flag1->geometry().contains(pixel);
    if (onFlag && scene_.AimAtMeetingPoint()) {
      Label1->show();
      PlaceTargetMarks();
    } else if (!FollowSlot(MarkerAt(pixel))) {
      // Open map: a fixed target, and following ends.
      scene_.AimAtMap(ClickToMapX(x, ViewX, Hosei_), ClickToMapY(y, ViewY, Hosei_));
      Label1->move(TwipsToPixels(x - 150), TwipsToPixels(y - 150));
      Label1->show();
      PlaceDistance();
    }
    ShowFollowCaption();
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
