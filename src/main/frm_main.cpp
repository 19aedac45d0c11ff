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

#include "common/twips.h"
#include "main/host_address.h"
#include "main/host_side.h"
#include "main/member_session.h"
#include "main/slot_rows.h"
#include "map/frm_map.h"
#include "map/markers.h"
#include "net/address_lookup.h"
#include "net/host_port.h"
#include "net/messages.h"
#include "net/router_worker.h"
#include "net/wire_text.h"
#include "net/winsock.h"
#include "platform/window_source.h"
#include "startup/common.h"
#include "startup/log_lines.h"
#include "startup/settings.h"
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

// Status texts of the member's status box.
const QString kNotConnected = QStringLiteral("未接続");
const QString kConnecting = QStringLiteral("サーバに接続中．．．");
const QString kConnected = QStringLiteral("接続完了");
const QString kTimedOut = QStringLiteral("タイムアウトしました");
const QString kCannotConnect = QStringLiteral("サーバに接続できません");
const QString kHostFull = QStringLiteral("サーバが満員です");

bool IsHost() { return startup::StartMode == 0; }

constexpr int kMaxNickChars = 2000;

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
  setFixedSize(TwipsToPixels(4335), TwipsToPixels(3360));

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

  Label1 = new QLabel(QStringLiteral("SRV IP"), this);
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
  for (QLineEdit* box : {Text1, txtNick})
    connect(box, &QLineEdit::returnPressed, this, [this] {
      if (Command1->isVisible()) Command1->click();  // a disabled button ignores it
    });

  FitCaption(Label1, pGothic);
  FitCaption(Label2, pGothic);

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
    // The outgoing connection takes any free local port.
    Winsock[1]->SetLocalPort(0);
    for (int n = 1; n <= net::kHighestSocket; ++n) lbl[static_cast<std::size_t>(n)]->hide();
    Text1->setReadOnly(false);
    Text1->clear();
    // What the member types first is the host's address: the box takes the
    // keyboard when the window opens (otherwise the status box, first in the
    // tab order, would).
    Text1->setFocus(Qt::OtherFocusReason);
    Text2->show();
    Text2->setText(kNotConnected);
    Command1->show();
  } else {
    MakeHostSide();
    host_->Start();
    const bool listening = Winsock[1]->State() == net::SocketState::Listening;
    Text1->setReadOnly(true);
    // The lookup and the router run while the window is up; the box says it
    // is looking until the echo page answers.
    const bool askRouter = startup::GetIniString("NET", "UPNP", "1", 16, startup::IniPath) != "0";
    HostAddressView view;
    view.setAddressBox = [this](const QString& text) {
      Text1->setText(text);
      Text1->setCursorPosition(0);
      Text1->setToolTip(text);  // an IPv6 address runs past the box's width
      if (DebugLists()) std::fprintf(stderr, "Text1= %s\n", text.toUtf8().constData());
    };
    view.appendLog = [this](const std::string& row) { AppendLog(FromUtf8(row)); };
    hostAddress_ = std::make_unique<HostAddress>(net::EchoUrl(startup::IniPath), options_.lookupTimeoutMs,
                                                 options_.port, options_.reachReport,
                                                 askRouter && listening, std::move(view));
    hostAddress_->Start();
    Text2->hide();
    Command1->hide();
  }

  map::frmMap::Load();
  loaded_ = true;
}

void frmMain::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  // Every connection is closed at once and given one short shared wait to
  // send its last bytes; whatever a peer has not taken by then is dropped,
  // so that no peer can hold the window open.
  const int last = IsHost() ? net::kHighestSocket : 1;
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
  map::frmMap& map = map::frmMap::Load();
  if (!map.isVisible()) ui::PlaceOnFirstShow(map, windowSource_.get());
  map.show();
}

// ---------------------------------------------------------------- activity log and lists

void frmMain::AppendLog(const QString& line) {
  List1->addAndSelect(line);
  if (DebugLists()) std::fprintf(stderr, "List1+ %s\n", line.toUtf8().constData());
}

void frmMain::ShowRows(const std::vector<std::string>& rows) {
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
  // 1. Gate: an unconnected member does nothing at all.
  if (startup::StartMode == 1 && Winsock[1]->State() != net::SocketState::Connected) return;

  // 2. Capture.
  const reader::CaptureOutcome outcome = capture_->CapturePosition();
  if (outcome.ok) {
    const std::string nickBytes = net::EncodeWireText(ToUtf8(txtNick->text()));
    if (IsHost()) {
      // 3. Host: own slot, list, and the host position to every connected member.
      Slots[0].Nick = ToUtf8(txtNick->text());
      Slots[0].Point = outcome.position;
      ShowRows(BuildMemberRows(Slots, 8, RowForm::Full));
      host_->SendHostPosition(ToBytes(net::BuildHostPosition(nickBytes, outcome.position)));
    } else if (startup::StartMode == 1) {
      // 4. Member: the position report.
      Winsock[1]->SendData(ToBytes(net::BuildPositionReport(nickBytes, outcome.position)),
                           net::Traffic::Position, MySlot);
    }
  } else if (!IsHost()) {
    // No report while the capture fails, but a blank line, which every
    // host skips: it shows the host that this member is still there. It
    // supersedes only an unsent blank line, never an unsent report.
    constexpr int kKeepAliveSender = -2;
    Winsock[1]->SendData(ToBytes(std::string(net::kLineEnd)), net::Traffic::Position, kKeepAliveSender);
  }

  // 5. The map, also after a capture failure.
  map::UpdateMapMarkers(Slots, MySlot);
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
  memberEstablished_ = true;
  Text2->setText(kConnected);
}

void frmMain::Winsock_DataArrival(int index, qint64 /*bytesTotal*/) {
  if (index < 1 || index > net::kHighestSocket) return;
  if (IsHost())
    host_->DataArrival(index);
  else
    MemberDataArrival();
}

void frmMain::Winsock_Close(int index) {
  if (index < 1 || index > net::kHighestSocket) return;
  if (IsHost()) {
    host_->ConnectionEnded(index);
  } else if (index == 1) {
    MemberConnectionEnded();
  }
}

void frmMain::Winsock_Error(int index, int /*number*/, const QString& /*description*/) {
  if (index < 1 || index > net::kHighestSocket) return;
  // A connection that ends in an error (a peer that stopped reading
  // included) ends like a close. Errors of a connection attempt are handled
  // by the attempt itself (Command1_Click).
  if (IsHost()) {
    host_->ConnectionEnded(index);
  } else if (index == 1 && memberEstablished_) {
    MemberConnectionEnded();
  }
}

// ---------------------------------------------------------------- member side

void frmMain::Command1_Click() {
  if (IsHost() || unloaded_) return;
  net::Winsock* socket = Winsock[1];
  Command1->setEnabled(false);
  memberEstablished_ = false;
  memberRefused_ = false;
  memberReceiver_.Reset();
  // "address", "address:port", "[IPv6]" or "[IPv6]:port"; a malformed entry
  // leaves no host, and the attempt fails like an unknown one.
  const auto target = net::ParseHostPort(ToUtf8(Text1->text()), options_.port);
  socket->SetRemoteHost(target ? FromUtf8(target->host) : QString());
  socket->SetRemotePort(target ? target->port : options_.port);
  socket->Connect();

  QElapsedTimer clock;
  clock.start();
  Text2->setText(kConnecting);
  ProcessEventsFor(0);

  while (!unloaded_ && socket->State() == net::SocketState::Connecting) {
    ProcessEventsFor(10);
    if (unloaded_) break;
    if (clock.elapsed() > options_.connectTimeoutMs) {
      socket->Close();
      Text2->setText(kTimedOut);
      Command1->setEnabled(true);
      break;
    }
  }
  if (unloaded_) {
    if (deleteWhenIdle_ && waitDepth_ == 0) deleteLater();
    return;
  }
  if (socket->State() == net::SocketState::Error) {
    socket->Close();
    Text2->setText(kCannotConnect);
    Command1->setEnabled(true);
  }
}

void frmMain::MemberDataArrival() {
  net::Winsock* socket = Winsock[1];
  const QByteArray data = socket->GetData();
  const std::vector<std::string> pieces =
      memberReceiver_.Feed(std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
  // The member list is rebuilt once per arrival, in the form the last line
  // that changed it asks for: a burst of relays costs one rebuild, not one
  // per line, and the list ends up the same.
  std::optional<RowForm> rows;
  for (const std::string& piece : pieces) {
    const MemberEffect effect = ApplyMemberPiece(Slots, MySlot, piece);
    switch (effect.action) {
      case MemberAction::Log:
        AppendLog(FromUtf8(effect.logLine));
        if (effect.logLine == net::kHostFullNotice) memberRefused_ = true;
        break;
      case MemberAction::ListFull:
        rows = RowForm::Full;
        break;
      case MemberAction::ListShort:
        rows = RowForm::Short;
        break;
      case MemberAction::None:
        break;
    }
  }
  if (rows) ShowRows(BuildMemberRows(Slots, 8, *rows));
}

void frmMain::MemberConnectionEnded() {
  memberEstablished_ = false;
  Winsock[1]->Close();
  // A host that was full said so before closing: say it here too.
  Text2->setText(memberRefused_ ? kHostFull : kNotConnected);
  Command1->setEnabled(true);
}

}  // namespace crewmap::main
