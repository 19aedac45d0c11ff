#include "main/frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "main/group_key_row.h"
#include "main/host_address.h"
#include "main/host_side.h"
#include "main/main_window_support.h"
#include "main/member_side.h"
#include "map/frm_map.h"
#include "net/address_lookup.h"
#include "net/router_worker.h"
#include "net/winsock.h"
#include "platform/window_source.h"
#include "startup/common.h"
#include "startup/settings.h"
#include "ui/first_placement.h"
#include "ui/fonts.h"
#include "ui/list_box.h"

namespace crewmap::main {

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
    member_->SetSettingsKey(startup::LoadNetSettings(startup::IniPath).key);
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
    keyRow_ = std::make_unique<GroupKeyRow>(*this, *Text1, options_.port, settings.key,
                                            [this](const std::string& key) { host_->SetKey(key); });
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

}  // namespace crewmap::main
