// The main window's controls: where each one lies, in twips of the design,
// its font, tab order and default button.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "common/twips.h"
#include "main/frm_main.h"
#include "main/main_window_support.h"
#include "main/member_side.h"
#include "main/slot_rows.h"
#include "map/frm_map.h"
#include "ui/fonts.h"
#include "ui/list_box.h"
#include "ui/twips_rect.h"

namespace crewmap::main {
namespace {

constexpr int kMaxNickChars = 2000;

constexpr int kCaptureLineTwips = 240;

// The activity log keeps its newest rows only. A host writes two rows per
// member visit and a member one per connection, so even a long evening of
// nine members coming and going stays far below this; only a peer that
// churns connections or floods notice lines reaches it, and then memory stays
// bounded (at most 500 longest lines, about 4 MB).
constexpr int kLogRows = 500;

}  // namespace

void frmMain::BuildControls() {
  setWindowTitle(QStringLiteral("Crewmap"));
  // The design's size, and a line along the bottom for the capture's state.
  setFixedSize(TwipsToPixels(4335), TwipsToPixels(3360 + kCaptureLineTwips));

  const QFont gothic = ui::DesignFont(ui::kGothic);
  const QFont pGothic = ui::DesignFont(ui::kPGothic);
  const QFont pop = ui::DesignFont(ui::kPopTitle, 12.0);

  Text2 = new QLineEdit(QStringLiteral("Text2"), this);
  Text2->setObjectName(QStringLiteral("Text2"));
  Text2->setGeometry(ui::TwipsRect(0, 0, 4215, 375));
  Text2->setFont(pGothic);
  // Status texts come from the connection, never from the keyboard.
  Text2->setReadOnly(true);

  static const char* const kDigits[] = {"", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
  for (int n = 1; n <= net::kHighestSocket; ++n) {
    QLabel* label = new QLabel(QString::fromUtf8(kDigits[n]), this);
    label->setObjectName(QStringLiteral("lbl%1").arg(n));
    label->setGeometry(ui::TwipsRect(480 * (n - 1), 0, 405, 390));
    label->setFont(pop);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    lbl[static_cast<std::size_t>(n)] = label;
  }

  List2 = new ui::ListBox(this);
  List2->setObjectName(QStringLiteral("List2"));
  List2->setGeometry(ui::TwipsRect(0, 480, 2655, 1860));
  List2->setFont(gothic);
  for (int i = 0; i < 10; ++i) List2->addItem(QStringLiteral("List2"));
  // A double-click on a member's row ("NN:nick..." ) follows it on the map.
  connect(List2, &ui::ListBox::rowDoubleClicked, this, [this](int row) {
    if (const std::optional<int> slot = SlotOfRow(ToUtf8(List2->text(row))))
      if (map::frmMap* map = map::frmMap::Loaded()) map->FollowSlot(*slot);
  });

  Label1 = new QLabel(kSrvIpCaption, this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(ui::TwipsRect(2760, 600, 555, 180));

  Check1 = new QCheckBox(QStringLiteral("Lock"), this);
  Check1->setObjectName(QStringLiteral("Check1"));
  Check1->setGeometry(ui::TwipsRect(3600, 480, 735, 255));
  Check1->setFont(pGothic);

  Text1 = new QLineEdit(QStringLiteral("000.000.000.000"), this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setGeometry(ui::TwipsRect(2760, 840, 1575, 270));
  Text1->setFont(gothic);

  Label2 = new QLabel(QStringLiteral("おなまえ"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(ui::TwipsRect(2760, 1320, 660, 180));

  txtNick = new QLineEdit(QStringLiteral("User1"), this);
  txtNick->setObjectName(QStringLiteral("txtNick"));
  txtNick->setGeometry(ui::TwipsRect(2760, 1560, 1575, 270));
  txtNick->setFont(gothic);
  // At most two bytes a character on the wire: the report, and its relay with
  // the slot in front, stay within the longest line any instance accepts.
  txtNick->setMaxLength(kMaxNickChars);

  Command2 = new QPushButton(QStringLiteral("MAP"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command2->setGeometry(ui::TwipsRect(2760, 2040, 735, 255));
  Command2->setFont(pGothic);
  connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
  map::AddGoToShortcut(*this, [this] { Command2_Click(); });

  Command1 = new QPushButton(QStringLiteral("接続"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(ui::TwipsRect(3600, 2040, 735, 255));
  Command1->setFont(pGothic);
  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

  List1 = new ui::ListBox(this);
  List1->setObjectName(QStringLiteral("List1"));
  List1->setGeometry(ui::TwipsRect(0, 2400, 4335, 960));
  List1->setFont(gothic);
  List1->setMaxRows(kLogRows);

  lblCapture = new QLabel(this);
  lblCapture->setObjectName(QStringLiteral("lblCapture"));
  lblCapture->setGeometry(ui::TwipsRect(60, 3360, 4275, kCaptureLineTwips));
  lblCapture->setFont(pGothic);

  // The keyboard as on Windows: Tab goes through the controls as they lie
  // (the left column, then the right one from the top, then the log), and
  // Enter in either box presses "接続", the window's default button.
  QWidget::setTabOrder(Text2, List2);
  QWidget::setTabOrder(List2, Check1);
  QWidget::setTabOrder(Check1, Text1);
  QWidget::setTabOrder(Text1, txtNick);
  QWidget::setTabOrder(txtNick, Command2);
  QWidget::setTabOrder(Command2, Command1);
  QWidget::setTabOrder(Command1, List1);
  Command1->setDefault(true);
  // Enter only ever connects: while the member retries by itself the
  // button reads 「中止」, and ending the retries takes a click on it.
  for (QLineEdit* box : {Text1, txtNick})
    connect(box, &QLineEdit::returnPressed, this, [this] {
      if (Command1->isVisible() && Command1->text() == MemberSide::ConnectCaption())
        Command1->click();  // a disabled button ignores it
    });

  FitCaption(Label1, pGothic);
  FitCaption(Label2, pGothic);

  // Host only: what the router said, in a few words under the address box
  // (in the free strip above "おなまえ"); the whole diagnosis is its tool tip.
  lblReach = new QLabel(this);
  lblReach->setObjectName(QStringLiteral("lblReach"));
  lblReach->setGeometry(ui::TwipsRect(2760, 1125, 1575, 195));
  lblReach->setFont(pGothic);
  lblReach->setAutoFillBackground(true);
  lblReach->hide();

  for (int n = 1; n <= net::kHighestSocket; ++n) SetIndicator(n, FreeColor());

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
}

}  // namespace crewmap::main
