#pragma once
// The main window "Crewmap": the member list, the activity log, the slot
// indicators, the sockets Winsock(1)..Winsock(9), the slot table and the
// one-second tick. Host and member share this window; StartMode fixes the role
// at load.
#include <QColor>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/game_point.h"
#include "main/retry_schedule.h"
#include "net/byte_budget.h"
#include "net/outgoing_queue.h"
#include "net/peer_rules.h"
#include "net/relay_budget.h"
#include "net/slots.h"
#include "net/tcp_liveness.h"
#include "reader/capture.h"
#include "reader/capture_state.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace crewmap::platform {
class WindowSource;
}

namespace crewmap::net {
class Winsock;
}

namespace crewmap::ui {
class ListBox;
}

namespace crewmap::map {
class frmMap;
}

namespace crewmap::main {

class GroupKeyRow;
class HostAddress;
class HostSide;
class MemberSide;

// What the running program takes from its surroundings. The executable uses
// the defaults; tests point them at loopback servers and temporary folders.
struct MainOptions {
  int port = 21212;                  // the listening port; members connect to it
  int lookupTimeoutMs = 60000;       // request time-out of the address-echo fetch
  int connectTimeoutMs = 10000;      // the member's connection deadline
  RetryTimes retry;                  // member: when it tries its host again after a loss
  int rejoinSteadyMs = 60000;        // member: a rejoined connection this old ends the run of retries
  net::Liveness liveness;            // every connection: how a peer that has gone is noticed
  int closeWaitMs = 1500;            // at unload: how long closing connections may still send, all together
  net::QueueBounds queueBounds;      // every socket's outgoing bounds
  net::RelayRate relayRate;          // host: relays per member per second
  net::ByteRate memberReadRate = net::kMemberReadRate;  // host: bytes read per member per second
  net::ByteRate hostReadRate = net::kHostReadRate;      // member: bytes read from the host per second
  net::PeerTimes peerTimes;          // host: when a silent peer is closed
  net::ThrottleRule throttle;        // host: when an address that keeps reconnecting is refused
  QString programFolder;             // empty: the executable's folder
  // Host: ask the router to map the port (unless the settings say UPNP=0)
  // and note in the activity log how members reach this host. The
  // executable turns it on; tests leave it off, since router discovery
  // multicasts on the machine's network.
  bool reachReport = false;
  // The game's pixels; null: the system's window source.
  std::unique_ptr<platform::WindowSource> windowSource;
};

class frmMain : public QWidget, public reader::CaptureControls {
  Q_OBJECT

 public:
  explicit frmMain(MainOptions options = {}, QWidget* parent = nullptr);
  ~frmMain() override;

  // Event handlers, named after the control and the event.
  void Form_Load();
  void Form_Unload();
  void Command1_Click();
  void Command2_Click();
  void Timer1_Timer();
  void Winsock_ConnectionRequest(int index, qintptr requestID);
  void Winsock_Connect(int index);
  void Winsock_DataArrival(int index, qint64 bytesTotal);
  void Winsock_Close(int index);
  void Winsock_Error(int index, int number, const QString& description);

  // reader::CaptureControls: the "Lock" box and the failure text.
  bool LockTicked() const override;
  void ShowCaptureFailure(const std::string& utf8Text) override;

  // Colours of the slot indicators.
  static QColor ListeningColor() { return QColor(255, 255, 0); }
  static QColor ConnectedColor() { return QColor(0, 255, 255); }
  QColor FreeColor() const;  // the system's button-face colour
  QColor IndicatorColor(int n) const;

  // Controls (member names and objectNames are the design names).
  QLineEdit* Text1 = nullptr;
  QLineEdit* txtNick = nullptr;
  QPushButton* Command1 = nullptr;
  QLineEdit* Text2 = nullptr;
  ui::ListBox* List2 = nullptr;
  ui::ListBox* List1 = nullptr;
  std::array<QLabel*, net::kHighestSocket + 1> lbl{};  // lbl[1]..lbl[9]
  QPushButton* Command2 = nullptr;
  QCheckBox* Check1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* lblReach = nullptr;  // host only: under the address box, whether the router let members in
  QLabel* lblCapture = nullptr;  // along the bottom: whether and where the position is read
  QTimer* Timer1 = nullptr;
  std::array<net::Winsock*, net::kHighestSocket + 1> Winsock{};  // Winsock[1]..Winsock[9]

  net::SlotTable Slots;
  std::int16_t MySlot = 0;

  // Deletes the window once it has been closed (and no handler is waiting).
  void SetDeleteOnClose(bool on);

  const MainOptions& Options() const { return options_; }
  // The host's connection handling (null on a member).
  const HostSide* Host() const { return host_.get(); }

  // The group's meeting point. On the host, every sharing and clearing goes
  // through ShareMeetingPoint to the members; a member's map proposes one to
  // the host, and what the host shares or clears (its own or a member's
  // proposal) arrives in MeetingPointReceived. MeetingPoint() is the latest
  // either way (nothing: none, or cleared).
  void ShareMeetingPoint(std::optional<GamePoint> point);
  void MeetingPointReceived(std::optional<GamePoint> point);
  const std::optional<GamePoint>& MeetingPoint() const { return meetingPoint_; }
  reader::CoordinateCapture& Capture() { return *capture_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  void ConnectSockets();
  void SetIndicator(int n, const QColor& color);
  void AppendLog(const QString& line);
  void ShowRows(const std::vector<std::string>& rows);
  // What the player is told about the capture: the line along the bottom,
  // a log row once a new line has lasted, the failure caption taken back,
  // and the overlay put back above a game window that is new.
  void ShowCapture(const reader::CaptureOutcome& outcome);
  void MakeHostSide();
  void MakeMemberSide();
  // The map window, loaded hidden if it is not (it is again after being
  // closed from its frame), with the group's meeting point and, on the host,
  // the buttons that share it.
  map::frmMap& LoadMap();
  // Runs events while any of sockets 1..last is still closing, up to closeWaitMs.
  void WaitWhileClosing(int last);
  // Runs pending events for about `ms` milliseconds (the handler's wait).
  void ProcessEventsFor(int ms);
  QString ProgramFolder() const;

  MainOptions options_;
  std::unique_ptr<platform::WindowSource> windowSource_;
  std::unique_ptr<reader::CoordinateCapture> capture_;
  std::unique_ptr<HostSide> host_;   // host only: the connection handling
  std::unique_ptr<HostAddress> hostAddress_;  // host only: the address box and the router
  std::unique_ptr<GroupKeyRow> keyRow_;       // host only: the group key beside the address box
  std::unique_ptr<MemberSide> member_;         // member only: the connection to the host
  std::vector<std::string> shownRows_;         // what List2 shows, as last listed
  reader::CaptureStateLog captureLog_;
  platform::WindowHandle overlaidGame_ = 0;    // the game window the overlay was last put above
  std::optional<GamePoint> meetingPoint_;
  bool loaded_ = false;
  bool unloaded_ = false;
  int waitDepth_ = 0;          // handlers currently waiting with events running
  bool deleteOnClose_ = false;
  bool deleteWhenIdle_ = false;
};

}  // namespace crewmap::main
