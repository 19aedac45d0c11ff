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
#include "map/circle_shape.h"
#include "map/jpeg.h"
#include "map/map_area.h"
#include "map/map_drawing.h"
#include "map/meeting_flag.h"
#include "map/sailing_text.h"
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

struct SlotColours {
  QColor fill;
  QColor border;
};
const SlotColours kSlotColours[9] = {
    {{255, 128, 128}, {192, 0, 0}},     {{255, 192, 128}, {192, 64, 0}}, {{255, 255, 128}, {192, 192, 0}},
    {{128, 255, 128}, {0, 192, 0}},     {{128, 255, 255}, {0, 192, 192}}, {{128, 128, 255}, {0, 0, 192}},
    {{255, 128, 255}, {192, 0, 192}},   {{224, 224, 224}, {128, 128, 128}}, {{255, 128, 128}, {192, 0, 0}},
};

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

QLabel* MakeNameLabel(QWidget* parent, const QString& name, int index, const QColor& colour) {
  auto* label = new QLabel(parent);
  label->setObjectName(QStringLiteral("%1_%2").arg(name).arg(index));
  label->setFont(ui::DesignFont(ui::kGothic, 9, true));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  label->setContentsMargins(0, 0, 0, 0);
  label->hide();
  return label;
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

  // Stacking over the map, bottom to top: the name labels (each light label
  // above its four black copies), the circles, then the target cross.
  const QColor light = QPalette().color(QPalette::Base);
  for (int i = 0; i < 9; ++i) {
    lblPoint2[i] = MakeNameLabel(Picture1, QStringLiteral("lblPoint2"), i, Qt::black);
    lblPoint3[i] = MakeNameLabel(Picture1, QStringLiteral("lblPoint3"), i, Qt::black);
    lblPoint4[i] = MakeNameLabel(Picture1, QStringLiteral("lblPoint4"), i, Qt::black);
    lblPoint5[i] = MakeNameLabel(Picture1, QStringLiteral("lblPoint5"), i, Qt::black);
    lblPoint[i] = MakeNameLabel(Picture1, QStringLiteral("lblPoint"), i, light);
  }
  for (int i = 0; i < 9; ++i) {
    Shape1[i] = new CircleShape(Picture1, kSlotColours[i].fill, kSlotColours[i].border);
    Shape1[i]->setObjectName(QStringLiteral("Shape1_%1").arg(i));
    Shape1[i]->hide();
  }
  Flag1 = new MeetingFlag(Picture1);
  Flag1->setObjectName(QStringLiteral("Flag1"));
  Flag1->hide();
  Label1 = new QLabel(QStringLiteral("＋"), Picture1);
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
  lblDistance = MakeCaption(Picture1, "lblDistance");
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

  Command2 = new ui::CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("ナビ"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command2->setGeometry(ui::TwipsRect(5490 - 1650, 120, 735, 375));
  connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });

  Command1 = new ui::CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("閉じる"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(ui::TwipsRect(5490 - 810, 120, 735, 375));
  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

  // The host's meeting-point buttons, below "ナビ" and "閉じる"; shown by
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
  Command4->hide();
  connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(10);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
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
  HeadingOffset offset = targetKind_ == TargetKind::Point ? OffsetTo(targetGameX_, targetGameY_, x, y)
                                                          : AngleShowOffset(TargetX_, TargetY_, x, y);
  std::string text;
  if (targetKind_ != TargetKind::None) {
    const double distance = std::hypot(static_cast<double>(offset.dx), static_cast<double>(offset.dy));
    text = map::NaviText(distance, ArrivalSeconds(distance, track_.Speed(nowMs_)));
  }
  ShowNaviText(text);
  navi::frmNavi& navi = navi::frmNavi::Load();
  navi.SetDistanceText(QString::fromStdString(text));
  // Last: a fault message opens a modal loop in which this window may go.
  navi.PointToAngle(offset.dx, offset.dy);
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
  seen_ = Slots;
  mySlot_ = MySlot;
  nowMs_ = nowMs;
  if (MySlot >= 0 && static_cast<std::size_t>(MySlot) < Slots.size()) {
    const net::Slot& own = Slots[static_cast<std::size_t>(MySlot)];
    // A position stamped on arrival counts at its arrival: one seen again
    // on a later tick is the same reading.
    if (const auto position = ParsePosition(own.Point))
      track_.Add(own.PointAtMs != 0 ? own.PointAtMs : nowMs, position->x, position->y);
  }
  if (follow_.Active()) {
    if (const auto position = StepFollow(follow_, Slots[static_cast<std::size_t>(follow_.slot)]))
      SetPointTarget(position->x, position->y);
    if (follow_.left) ShowFollowCaption();
  }
}

bool frmMap::FollowSlot(int slot) {
  if (slot < 0 || slot > 8 || slot == mySlot_) return false;
  const net::Slot& entry = seen_[static_cast<std::size_t>(slot)];
  if (entry.Nick.empty()) return false;
  follow_ = Follow{slot, entry.Nick, false};
  // Without a position yet the target stays until the first one arrives.
  if (const auto position = ParsePosition(entry.Point)) SetPointTarget(position->x, position->y);
  ShowFollowCaption();
  return true;
}

void frmMap::ShowFollowCaption() {
  if (follow_.slot < 0) {
    lblFollow->hide();
    return;
  }
  lblFollow->setText(QString::fromStdString(FollowCaption(follow_.nick, follow_.left)));
  lblFollow->adjustSize();
  lblFollow->move(8, Picture1->height() - 8 - lblFollow->height());
  lblFollow->show();
}

void frmMap::SetPointTarget(double x, double y) {
  targetKind_ = TargetKind::Point;
  targetGameX_ = x;
  targetGameY_ = y;
  TargetX_ = RoundClampInt32(GameToMapX(x));
  TargetY_ = RoundClampInt32(GameToMapY(y));
  Label1->show();
  Command3->setEnabled(true);
  PlaceTargetMarks();
}

void frmMap::SetMeetingShare(std::function<void(std::optional<GamePoint>)> share) {
  share_ = std::move(share);
  Command3->setVisible(static_cast<bool>(share_));
  Command4->setVisible(static_cast<bool>(share_));
}

void frmMap::SetMeetingPoint(std::optional<GamePoint> point) {
  meeting_ = point;
  PlaceTargetMarks();
}

void frmMap::Command3_Click() {
  if (!share_ || targetKind_ == TargetKind::None) return;
  const double x = targetKind_ == TargetKind::Point ? targetGameX_ : MapToGameX(TargetX_);
  const double y = targetKind_ == TargetKind::Point ? targetGameY_ : MapToGameY(TargetY_);
  // A spot in the world: east-west into 0..16383, north-south inside it
  // (a target can lie past the seam or above the top of a tall view).
  const std::int32_t wx = RoundClampInt32(x - WorldWidth * std::floor(x / WorldWidth)) % WorldWidth;
  const std::int32_t wy = std::clamp(RoundClampInt32(y), 0, WorldHeight - 1);
  share_(GamePoint{wx, wy});
}

void frmMap::Command4_Click() {
  if (share_) share_(std::nullopt);
}

void frmMap::PlaceTargetMarks() {
  const VisibleSize size = Visible();
  TwipsPoint cross;
  if (targetKind_ == TargetKind::Point) {
    cross = GameToArea(targetGameX_, targetGameY_, ViewX, ViewY, size.w, Hosei_);
    cross.left -= 150;
    cross.top -= 150;
  } else {
    cross = TargetCrossCorner(TargetX_, TargetY_, ViewX, ViewY, Hosei_);
  }
  Label1->move(TwipsToPixels(cross.left), TwipsToPixels(cross.top));
  PlaceDistance();
  if (meeting_) {
    const TwipsPoint at = GameToArea(meeting_->x, meeting_->y, ViewX, ViewY, size.w, Hosei_);
    Flag1->move(TwipsToPixels(at.left) - MeetingFlag::kFootX, TwipsToPixels(at.top) - MeetingFlag::kFootY);
  }
  Flag1->setVisible(meeting_.has_value());
}

void frmMap::PlaceDistance() {
  lblDistance->move(Label1->x() + Label1->width(), Label1->y() + (Label1->height() - lblDistance->height()) / 2);
  lblDistance->setVisible(!Label1->isHidden() && !naviText_.empty());
}

int frmMap::MarkerAt(QPoint pixel) const {
  // Top-most first: circles lie above the names, higher slots above lower.
  // A circle is small: a few pixels around it count.
  for (int i = 8; i >= 0; --i)
    if (!Shape1[i]->isHidden() && Shape1[i]->geometry().adjusted(-3, -3, 3, 3).contains(pixel)) return i;
  for (int i = 8; i >= 0; --i)
    if (!lblPoint[i]->isHidden() && lblPoint[i]->geometry().contains(pixel)) return i;
  return -1;
}

QImage frmMap::MapSurface() const { return Picture1->Grab(); }

void frmMap::ShowMarker(int i, const QString& text, const MarkerPlacement& placement, bool faded) {
  if (i < 0 || i > 8) return;
  Shape1[i]->move(TwipsToPixels(placement.shapeLeft), TwipsToPixels(placement.shapeTop));
  Shape1[i]->SetFaded(faded);
  QLabel* labels[5] = {lblPoint[i], lblPoint2[i], lblPoint3[i], lblPoint4[i], lblPoint5[i]};
  for (int k = 0; k < 5; ++k) {
    // Faded: the name at half strength, blended with the map under it.
    QColor colour = k == 0 ? QPalette().color(QPalette::Base) : QColor(Qt::black);
    colour.setAlpha(faded ? 128 : 255);
    if (labels[k]->palette().color(QPalette::WindowText) != colour) {
      QPalette palette = labels[k]->palette();
      palette.setColor(QPalette::WindowText, colour);
      labels[k]->setPalette(palette);
    }
    labels[k]->setText(text);
    labels[k]->adjustSize();
    labels[k]->move(TwipsToPixels(placement.labelLeft[k]), TwipsToPixels(placement.labelTop[k]));
  }
  Shape1[i]->show();
  for (QLabel* label : labels) label->show();
}

void frmMap::HideMarker(int i) {
  if (i < 0 || i > 8) return;
  for (QLabel* label : {lblPoint[i], lblPoint2[i], lblPoint3[i], lblPoint4[i], lblPoint5[i]}) label->hide();
  Shape1[i]->hide();
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
    if (meeting_ && !Flag1->isHidden() && Flag1->geometry().contains(pixel)) {
      follow_ = Follow();
      ShowFollowCaption();
      SetPointTarget(meeting_->x, meeting_->y);
      return;
    }
    if (FollowSlot(MarkerAt(pixel))) return;
    // Open map: a fixed target, and following ends.
    follow_ = Follow();
    ShowFollowCaption();
    targetKind_ = TargetKind::Fixed;
    TargetX_ = ClickToMapX(x, ViewX, Hosei_);
    TargetY_ = ClickToMapY(y, ViewY, Hosei_);
    Label1->move(TwipsToPixels(x - 150), TwipsToPixels(y - 150));
    Label1->show();
    PlaceDistance();
    Command3->setEnabled(true);
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
