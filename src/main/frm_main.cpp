#include "main/frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFontMetrics>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "common/steady_ms.h"
#include "common/twips.h"
#include "main/host_address.h"
#include "main/host_side.h"
#include "main/member_side.h"
#include "main/slot_rows.h"
#include "map/frm_map.h"
#include "map/markers.h"
#include "navi/frm_navi.h"
#include "net/address_lookup.h"
#include "net/messages.h"
#include "net/router_worker.h"
#include "net/wire_text.h"
#include "net/winsock.h"
#include "platform/window_source.h"
#include "startup/common.h"
#include "startup/log_lines.h"
#include "startup/settings.h"
#include "ui/back_on_top.h"
#include "ui/first_placement.h"
#include "ui/fonts.h"
#include "ui/list_box.h"
#include "ui/message_box.h"
#include "ui/twips_rect.h"

namespace crewmap::main {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string ToUtf8(const QString& text) { return text.toStdString(); }

QByteArray ToBytes(const std::string& bytes) {
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool IsHost() { return startup::StartMode == 0; }

constexpr int kMaxNickChars = 2000;

constexpr int kCaptureLineTwips = 240;
const QString kSrvIpCaption = QStringLiteral("SRV IP");

// The activity log keeps its newest rows only. A host writes two rows per
// member visit and a member one per connection, so even a long evening of
// nine members coming and going stays far below this; only a peer that
// churns connections or floods notice lines reaches it, and then memory stays
// bounded (at most 500 longest lines, about 4 MB).
constexpr int kLogRows = 500;

// The substitute fonts run wider than the design fonts: a caption that would
// be clipped by its label's design width is drawn a little smaller instead.
void FitCaption(QLabel* label, const QFont& designFont) {
  QFont font = designFont;
  while (font.pointSizeF() > 6.0 && QFontMetrics(font).horizontalAdvance(label->text()) > label->width())
    font.setPointSizeF(font.pointSizeF() - 0.5);
  label->setFont(font);
}

// With CREWMAP_DEBUG_LISTS set, every change of the member list, every new
// activity-log line and the host's own address are also written to standard
// error, so that automated runs of separate processes can check what each
// window shows.
bool DebugLists() {
  static const bool on = qEnvironmentVariableIsSet("CREWMAP_DEBUG_LISTS");
  return on;
}

}  // namespace

frmMain::frmMain(MainOptions options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)) {
  windowSource_ = options_.windowSource ? std::move(options_.windowSource)
                                        : platform::CreateSystemWindowSource();
  capture_ = std::make_unique<reader::CoordinateCapture>(*windowSource_, *this);
  BuildControls();
  ConnectSockets();
  Form_Load();
  // Ticks begin once the window is up, so none runs inside the load step
  // (the host's address fetch waits with events running).
  Timer1->start();
}

frmMain::~frmMain() {
  // A window destroyed without having been closed still lets go of its
  // sockets and the map window.
  if (loaded_ && !unloaded_) {
    options_.closeWaitMs = 0;
    Form_Unload();
  }
}

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
    const QString text = List2->text(row);
    bool number = false;
    const int slot = text.left(2).toInt(&number);
    if (number && text.mid(2, 1) == QStringLiteral(":"))
      if (map::frmMap* map = map::frmMap::Loaded()) map->FollowSlot(slot);
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

void frmMain::ConnectSockets() {
  for (int n = 1; n <= net::kHighestSocket; ++n) {
    auto* socket = new net::Winsock(n, this);
    socket->setObjectName(QStringLiteral("Winsock%1").arg(n));
    socket->SetLocalPort(options_.port);
    socket->SetQueueBounds(options_.queueBounds);
    socket->SetReadRate(IsHost() ? options_.memberReadRate : options_.hostReadRate);
    socket->SetLiveness(options_.liveness);
    Winsock[static_cast<std::size_t>(n)] = socket;
    connect(socket, &net::Winsock::ConnectionRequest, this, &frmMain::Winsock_ConnectionRequest);
    connect(socket, &net::Winsock::Connected, this, &frmMain::Winsock_Connect);
    connect(socket, &net::Winsock::DataArrival, this, &frmMain::Winsock_DataArrival);
    connect(socket, &net::Winsock::Closed, this, &frmMain::Winsock_Close);
    connect(socket, &net::Winsock::Error, this, &frmMain::Winsock_Error);
  }
}

QColor frmMain::FreeColor() const { return QApplication::palette().color(QPalette::Button); }

QColor frmMain::IndicatorColor(int n) const {
  return lbl[static_cast<std::size_t>(n)]->palette().color(QPalette::Window);
}

void frmMain::SetIndicator(int n, const QColor& color) {
  QLabel* label = lbl[static_cast<std::size_t>(n)];
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, color);
  label->setPalette(palette);
}

QString frmMain::ProgramFolder() const {
  return options_.programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                          : options_.programFolder;
}

bool frmMain::LockTicked() const { return Check1->isChecked(); }

void frmMain::ShowCaptureFailure(const std::string& utf8Text) {
  Label1->setText(FromUtf8(utf8Text));
  FitCaption(Label1, ui::DesignFont(ui::kPGothic));
}

// ---------------------------------------------------------------- lifecycle

void frmMain::Form_Load() {
  List2->clear();
  Slots = net::SlotTable{};

  if (!IsHost()) {
    MakeMemberSide();
    member_->Start();
    for (int n = 1; n <= net::kHighestSocket; ++n) lbl[static_cast<std::size_t>(n)]->hide();
    Text1->setReadOnly(false);
    Text1->clear();
    // What the member types first is the host's address: the box takes the
    // keyboard when the window opens (otherwise the status box, first in the
    // tab order, would).
    Text1->setFocus(Qt::OtherFocusReason);
    Text2->show();
    Command1->show();
  } else {
    MakeHostSide();
    host_->Start();
    const bool listening = Winsock[1]->State() == net::SocketState::Listening;
    Text1->setReadOnly(true);
    // The lookup and the router run while the window is up; the box says it
    // is looking until the echo page answers.
    const startup::NetSettings settings = startup::LoadNetSettings(startup::IniPath);
    HostAddressView view;
    view.setAddressBox = [this](const QString& text) {
      Text1->setText(text);
      Text1->setCursorPosition(0);
      Text1->setToolTip(text);  // an IPv6 address runs past the box's width
      if (DebugLists()) std::fprintf(stderr, "Text1= %s\n", text.toUtf8().constData());
    };
    view.appendLog = [this](const std::string& row) { AppendLog(FromUtf8(row)); };
    lblReach->show();
    view.setGlance = [this](const QString& glance, net::GlanceTone tone, const QString& whole) {
      lblReach->setText(glance);
      FitCaption(lblReach, ui::DesignFont(ui::kPGothic));
      lblReach->setToolTip(whole);
      // A tinted strip, so that it reads as a note on the address, not as a
      // caption of the box below.
      QPalette palette = lblReach->palette();
      palette.setColor(QPalette::Window, tone == net::GlanceTone::Opened ? QColor(208, 240, 208)
                                         : tone == net::GlanceTone::Act  ? QColor(255, 224, 184)
                                                                         : QColor(224, 224, 224));
      lblReach->setPalette(palette);
      if (DebugLists()) std::fprintf(stderr, "lblReach= %s\n", glance.toUtf8().constData());
    };
    hostAddress_ = std::make_unique<HostAddress>(
        net::EchoUrl(settings.echoUrl), options_.lookupTimeoutMs, options_.port, options_.reachReport,
        settings.askRouter && listening,
        settings.checkSeconds > 0 ? settings.checkSeconds : net::MappingRequest::kCheckSeconds, std::move(view));
    hostAddress_->Start();
    Text2->hide();
    Command1->hide();
  }

  LoadMap();
  loaded_ = true;
}

map::frmMap& frmMain::LoadMap() {
  map::frmMap& map = map::frmMap::Load();
  if (IsHost()) {
    map.SetMeetingShare([this](std::optional<GamePoint> point) { ShareMeetingPoint(point); });
  } else {
    // A member proposes to its host, which tells everyone (this member too).
    map.SetMeetingShare(
        [this](std::optional<GamePoint> point) {
          member_->ProposeMeetingPoint(point, net::EncodeWireText(ToUtf8(txtNick->text())));
        },
        [this] { return Winsock[1]->State() == net::SocketState::Connected; });
  }
  map.SetMeetingPoint(meetingPoint_);
  map.SetArrivalLog(
      [this](const std::string& text) { AppendLog(FromUtf8(startup::NoticeRow(startup::CurrentTimestamp(), text))); });
  return map;
}

void frmMain::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  // Every connection is closed at once and given one short shared wait to
  // send its last bytes; whatever a peer has not taken by then is dropped,
  // so that no peer can hold the window open.
  const int last = IsHost() ? net::kHighestSocket : 1;
  if (member_) member_->Stop();
  // A router search still under way stops now, not after the waits below.
  if (hostAddress_) hostAddress_->RequestStop();
  for (int n = 1; n <= last; ++n) Winsock[static_cast<std::size_t>(n)]->Close();
  WaitWhileClosing(last);
  for (int n = 1; n <= last; ++n) {
    net::Winsock* socket = Winsock[static_cast<std::size_t>(n)];
    if (socket->State() != net::SocketState::Closed) socket->Abort();
  }
  map::frmMap::Unload();
  // The window is gone: no more ticks.
  Timer1->stop();
  // The router's mapping goes last, with the window already out of sight.
  if (hostAddress_) {
    hide();
    hostAddress_->Stop(net::RouterWorker::kStopWaitMs);
  }
}

void frmMain::WaitWhileClosing(int last) {
  QElapsedTimer clock;
  clock.start();
  auto anyClosing = [this, last] {
    for (int n = 1; n <= last; ++n)
      if (Winsock[static_cast<std::size_t>(n)]->State() == net::SocketState::Closing) return true;
    return false;
  };
  while (anyClosing() && clock.elapsed() < options_.closeWaitMs) ProcessEventsFor(10);
}

void frmMain::ProcessEventsFor(int ms) {
  ++waitDepth_;
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  --waitDepth_;
}

void frmMain::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
  if (testAttribute(Qt::WA_DeleteOnClose)) return;  // Qt deletes it
  if (deleteOnClose_) {
    // Deleting from inside a handler's wait would pull the window from under
    // that handler; the deletion waits until no handler is waiting.
    if (waitDepth_ == 0)
      deleteLater();
    else
      deleteWhenIdle_ = true;
  }
}

void frmMain::SetDeleteOnClose(bool on) { deleteOnClose_ = on; }

void frmMain::showEvent(QShowEvent* event) {
  // Never over the game's read-out, found as the capture finds it.
  ui::PlaceOnFirstShow(*this, windowSource_.get());
  QWidget::showEvent(event);
}

void frmMain::Command2_Click() {
  const QDir folder(ProgramFolder());
  const QStringList names = folder.entryList(QDir::Files | QDir::Hidden);
  auto present = [&names](const QString& wanted) {
    for (const QString& name : names)
      if (name.compare(wanted, Qt::CaseInsensitive) == 0) return true;
    return false;
  };
  if (!present(QStringLiteral("worldmap_c1.JPG")) || !present(QStringLiteral("worldmap_c2.JPG"))) {
    ui::ShowMessage(QStringLiteral("MAPファイルが無いﾃﾞｽね。\r\nこれでは表示できないのですが＾＾；"),
                    ui::MessageButtons::Ok);
    return;
  }
  map::frmMap& map = LoadMap();
  if (!map.isVisible()) ui::PlaceOnFirstShow(map, windowSource_.get());
  map.show();
}

// ---------------------------------------------------------------- activity log and lists

void frmMain::AppendLog(const QString& line) {
  List1->addAndSelect(line);
  if (DebugLists()) std::fprintf(stderr, "List1+ %s\n", line.toUtf8().constData());
}

void frmMain::ShowRows(const std::vector<std::string>& rows) {
  // A list that would read the same is left alone: a stream of unchanged
  // relays (or notices between them) costs no redrawing.
  if (rows == shownRows_ && List2->count() == static_cast<int>(rows.size())) return;
  shownRows_ = rows;
  List2->clear();
  for (const std::string& row : rows) List2->addItem(FromUtf8(row));
  if (DebugLists()) {
    std::string joined;
    for (const std::string& row : rows) joined += (joined.empty() ? "" : "|") + row;
    std::fprintf(stderr, "List2= %s\n", joined.c_str());
  }
}

// ---------------------------------------------------------------- the tick

void frmMain::Timer1_Timer() {
  if (unloaded_) return;
  // 1. Gate: an unconnected member reads and sends nothing. Its map still
  // shows how old what it last heard is: a member trying its host again
  // would otherwise show bright markers of a group it has lost touch with.
  if (startup::StartMode == 1 && Winsock[1]->State() != net::SocketState::Connected) {
    lblCapture->clear();  // nothing is read until the member is connected
    map::UpdateMapMarkers(Slots, MySlot);
    return;
  }

  // 2. Capture.
  const reader::CaptureOutcome outcome = capture_->CapturePosition();
  ShowCapture(outcome);
  if (outcome.ok) {
    const std::string nickBytes = net::EncodeWireText(ToUtf8(txtNick->text()));
    if (IsHost()) {
      // 3. Host: own slot, list, and the host position to every connected member.
      Slots[0].Nick = ToUtf8(txtNick->text());
      Slots[0].Point = outcome.position;
      if (!outcome.position.empty()) Slots[0].PointAtMs = SteadyNowMs();
      ShowRows(BuildMemberRows(Slots, 8, RowForm::Full));
      host_->SendHostPosition(ToBytes(net::BuildHostPosition(nickBytes, outcome.position)));
    } else if (startup::StartMode == 1) {
      // 4. Member: the position report.
      member_->SendReport(ToBytes(net::BuildPositionReport(nickBytes, outcome.position)));
    }
  } else if (IsHost()) {
    // No position while the capture fails, but a blank line, which every
    // peer skips: it shows the members that the host is still there.
    host_->SendBlankLine();
  } else {
    // Likewise towards the host: this member is still there.
    member_->SendBlankLine();
  }

  // 5. The map, also after a capture failure.
  map::UpdateMapMarkers(Slots, MySlot);
}

void frmMain::ShowCapture(const reader::CaptureOutcome& outcome) {
  const QString line = FromUtf8(reader::CaptureStateText(outcome));
  if (lblCapture->text() != line) {
    lblCapture->setText(line);
    FitCaption(lblCapture, ui::DesignFont(ui::kPGothic));
  }
  if (captureLog_.ShouldLog(ToUtf8(line)))
    AppendLog(FromUtf8(startup::NoticeRow(startup::CurrentTimestamp(), ToUtf8(line))));
  // The failure text stands in the caption only while captures fail.
  if (outcome.ok && Label1->text() != kSrvIpCaption) {
    Label1->setText(kSrvIpCaption);
    FitCaption(Label1, ui::DesignFont(ui::kPGothic));
  }
  // A game window started again (or made anew for a new size) opens above
  // the overlay: put the overlay back above it.
  const platform::WindowHandle game = capture_->GameWindow;
  if (game != 0 && game != overlaidGame_) {
    overlaidGame_ = game;
    if (navi::frmNavi* navi = navi::frmNavi::Loaded(); navi && navi->isVisible()) ui::PutBackOnTop(*navi);
  }
}

// ---------------------------------------------------------------- sockets

void frmMain::MakeHostSide() {
  HostView view;
  view.setIndicator = [this](int n, SlotLight light) {
    SetIndicator(n, light == SlotLight::Listening   ? ListeningColor()
                    : light == SlotLight::Connected ? ConnectedColor()
                                                    : FreeColor());
  };
  view.appendLog = [this](const std::string& line) { AppendLog(FromUtf8(line)); };
  view.showRows = [this](const std::vector<std::string>& rows) { ShowRows(rows); };
  view.listenFailed = [this](int port) {
    // The window says it too, where the user looks for the address.
    AppendLog(FromUtf8(startup::NoticeRow(startup::CurrentTimestamp(),
                                          "ポート" + std::to_string(port) + "で接続を待ち受けできません")));
    // Say so rather than show a listener that is not there.
    ui::ShowMessage(QStringLiteral("ポート%1で接続を待ち受けできません。\r\n"
                                   "ほかのCrewmapなどがこのポートを使っていないか確かめてください。")
                        .arg(port),
                    ui::MessageButtons::Ok);
  };
  view.unloaded = [this] { return unloaded_; };
  view.meetingPoint = [this](std::optional<GamePoint> point) { MeetingPointReceived(point); };
  host_ = std::make_unique<HostSide>(
      Winsock, Slots, options_.port, HostRules{options_.relayRate, options_.peerTimes, options_.throttle},
      std::move(view));
}

void frmMain::Winsock_ConnectionRequest(int index, qintptr requestID) {
  if (!IsHost() || index < 1 || index > net::kHighestSocket) return;
  host_->ConnectionRequest(index, requestID);
}

void frmMain::Winsock_Connect(int index) {
  if (IsHost() || index != 1) return;
  member_->Connected();
}

void frmMain::Winsock_DataArrival(int index, qint64 /*bytesTotal*/) {
  if (index < 1 || index > net::kHighestSocket) return;
  if (IsHost())
    host_->DataArrival(index);
  else if (index == 1)
    member_->DataArrival();
}

void frmMain::Winsock_Close(int index) {
  if (index < 1 || index > net::kHighestSocket) return;
  if (IsHost()) {
    host_->ConnectionEnded(index);
  } else if (index == 1) {
    member_->Closed();
  }
}

void frmMain::Winsock_Error(int index, int /*number*/, const QString& /*description*/) {
  if (index < 1 || index > net::kHighestSocket) return;
  // A connection that ends in an error (a peer that stopped reading or a
  // peer gone included) ends like a close.
  if (IsHost()) {
    host_->ConnectionEnded(index);
  } else if (index == 1) {
    member_->Failed();
  }
}

// ---------------------------------------------------------------- member side

void frmMain::MakeMemberSide() {
  MemberView view;
  view.setStatus = [this](const QString& text) { Text2->setText(text); };
  view.setButton = [this](bool enabled, const QString& caption) {
    Command1->setText(caption);
    Command1->setEnabled(enabled);
  };
  view.appendLog = [this](const std::string& line) { AppendLog(FromUtf8(line)); };
  view.showRows = [this](const std::vector<std::string>& rows) { ShowRows(rows); };
  view.wait = [this](int ms) { ProcessEventsFor(ms); };
  view.unloaded = [this] { return unloaded_; };
  view.meetingPoint = [this](std::optional<GamePoint> point) { MeetingPointReceived(point); };
  member_ = std::make_unique<MemberSide>(
      Winsock[1], Slots, MySlot, MemberTimes{options_.port, options_.connectTimeoutMs, options_.retry, options_.rejoinSteadyMs},
      std::move(view));
  connect(Text1, &QLineEdit::textChanged, this, [this](const QString& text) { member_->AddressChanged(text); });
}

void frmMain::Command1_Click() {
  if (IsHost() || unloaded_) return;
  member_->ButtonPressed(Text1->text());
  if (unloaded_ && deleteWhenIdle_ && waitDepth_ == 0) deleteLater();
}

// ---------------------------------------------------------------- the meeting point

void frmMain::ShareMeetingPoint(std::optional<GamePoint> point) {
  if (!host_) return;
  meetingPoint_ = point;
  host_->ShareMeetingPoint(point);
  if (map::frmMap* map = map::frmMap::Loaded()) map->SetMeetingPoint(point);
}

void frmMain::MeetingPointReceived(std::optional<GamePoint> point) {
  meetingPoint_ = point;
  if (map::frmMap* map = map::frmMap::Loaded()) map->SetMeetingPoint(point);
  if (DebugLists())
    std::fprintf(stderr, "Meeting= %s\n",
                 point ? (std::to_string(point->x) + "," + std::to_string(point->y)).c_str() : "");
}

}  // namespace crewmap::main
