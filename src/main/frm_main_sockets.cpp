// The sockets' events, handed to the host side or the member side, and the
// views through which those sides change the window.
#include <QLineEdit>
#include <QPushButton>

#include "main/frm_main.h"
#include "main/host_side.h"
#include "main/main_window_support.h"
#include "main/member_side.h"
#include "net/winsock.h"
#include "startup/log_lines.h"
#include "ui/message_box.h"

namespace crewmap::main {

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

}  // namespace crewmap::main
