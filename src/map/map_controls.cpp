// The map window's controls: made in their stacking order, named, with their
// look and design positions. The window wires them to its handlers.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include "common/twips.h"
#include "map/frm_map.h"
#include "map/map_area.h"
#include "map/meeting_flag.h"
#include "ui/cached_look.h"
#include "ui/fonts.h"
#include "ui/tick_box_style.h"
#include "ui/twips_rect.h"

namespace crewmap::map {

namespace {

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

}  // namespace

void frmMap::MakeControls() {
  setObjectName(QStringLiteral("frmMap"));
  setWindowTitle(QStringLiteral("Crewmap - マップ"));
  resize(TwipsToPixels(5490), TwipsToPixels(3330));

  Picture1 = new MapArea(this);
  Picture1->setObjectName(QStringLiteral("Picture1"));
  Picture1->setGeometry(0, 0, width(), height());

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

  Command2 = new ui::CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("ナビ"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command2->setGeometry(ui::TwipsRect(5490 - 1650, 120, 735, 375));

  Command1 = new ui::CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("閉じる"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(ui::TwipsRect(5490 - 810, 120, 735, 375));

  // The meeting-point buttons, below "ナビ" and "閉じる"; shown by
  // SetMeetingShare.
  Command3 = new ui::CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("集合地点を共有"), this);
  Command3->setObjectName(QStringLiteral("Command3"));
  Command3->setToolTip(QStringLiteral("いまの目標を集合地点としてメンバー全員に知らせます"));
  Command3->setGeometry(ui::TwipsRect(5490 - 1650, 555, 1575, 375));
  Command3->setEnabled(false);  // until a target is chosen
  Command3->hide();
  Command4 = new ui::CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("集合地点を解除"), this);
  Command4->setObjectName(QStringLiteral("Command4"));
  Command4->setToolTip(QStringLiteral("集合地点を取り消し、メンバー全員の地図から消します"));
  Command4->setGeometry(ui::TwipsRect(5490 - 1650, 990, 1575, 375));
  Command4->setEnabled(false);  // until a point is shared
  Command4->hide();

  // The target typed as numbers, under "軌跡", and what it says.
  txtGoto = new QLineEdit(this);
  txtGoto->setObjectName(QStringLiteral("txtGoto"));
  txtGoto->setFont(ui::DesignFont(ui::kPGothic, 9));
  txtGoto->setPlaceholderText(QStringLiteral("x,y"));
  txtGoto->setToolTip(QStringLiteral("座標を入れて Enter で目標にします（Ctrl+G）"));
  txtGoto->setGeometry(ui::TwipsRect(720, 750, 1575, 315));
  // Under the controls of this column, where it covers none of them.
  lblGoto = MakeCaption(this, "lblGoto");
  lblGoto->setWordWrap(true);
  lblGoto->move(TwipsToPixels(720), TwipsToPixels(1470));

  // The saved places: their marks, and the window that lists them.
  Check3 = new ui::CachedLook<QCheckBox, QStyleOptionButton>(QStringLiteral("地点"), this);
  Check3->setObjectName(QStringLiteral("Check3"));
  WhiteOnBlack(*Check3);
  ui::UseTickBoxStyle(*Check3);
  Check3->setGeometry(ui::TwipsRect(720, 1125, 735, 255));
  Check3->setChecked(true);
  Command5 = new ui::CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("地点一覧"), this);
  Command5->setObjectName(QStringLiteral("Command5"));
  Command5->setGeometry(ui::TwipsRect(1500, 1095, 795, 315));

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(10);
}

}  // namespace crewmap::map
