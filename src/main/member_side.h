#pragma once
// The member's connection to its host (Winsock(1)): the connect button's
// attempt and the status box's texts, what arrives from the host, the
// member's own lines to it, and trying the host again by itself after a loss
// the user did not ask for. The window keeps the widgets; it hands this unit
// its socket, slot table and own slot number and shows what it is told
// through MemberView.
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/game_point.h"
#include "main/retry_schedule.h"
#include "net/key_exchange.h"
#include "net/line_receiver.h"
#include "net/slots.h"

class QTimer;

namespace crewmap::net {
class Winsock;
}

namespace crewmap::main {

// What the window does for the member side.
struct MemberView {
  std::function<void(const QString& text)> setStatus;                 // the status box
  std::function<void(bool enabled, const QString& caption)> setButton;  // the connect button
  std::function<void(const std::string& utf8)> appendLog;
  std::function<void(const std::vector<std::string>& rows)> showRows;
  std::function<void(int ms)> wait;  // runs pending events for about ms (the attempt's wait)
  std::function<bool()> unloaded;    // the window is going
  // The host shared a meeting point (or cleared it: nothing).
  std::function<void(std::optional<GamePoint> point)> meetingPoint;
};

struct MemberTimes {
  int port = 21212;              // where an address without a port is tried
  int connectTimeoutMs = 10000;  // how long one attempt may take
  RetryTimes retry;
  // A rejoined connection that lasts this long ends the run of retries; one
  // that ends sooner (a host that assigns a slot and drops at once) goes on
  // with the same schedule, so it is not tried again every second for ever.
  int steadyMs = 60000;
};

class MemberSide {
 public:
  // The connect button's captions.
  static QString ConnectCaption() { return QStringLiteral("接続"); }
  static QString StopCaption() { return QStringLiteral("中止"); }

  MemberSide(net::Winsock* socket, net::SlotTable& table, std::int16_t& mySlot, MemberTimes times,
             MemberView view);
  ~MemberSide();

  // At load: not connected, any free local port.
  void Start();
  // The connect button: while trying again by itself, stop trying;
  // otherwise an attempt to `address` that waits (events running) until it
  // has connected, failed or timed out. A failed attempt is not retried.
  void ButtonPressed(const QString& address);
  // The address box changed: a new address ends the retries to the old one.
  void AddressChanged(const QString& address);
  // Socket events of Winsock(1).
  void Connected();
  void DataArrival();
  void Closed();
  void Failed();
  // The window is going: no more retries.
  void Stop();
  // The group key from the settings file, used where the address box
  // carries none ("": none).
  void SetSettingsKey(const std::string& utf8) { settingsKey_ = utf8; }

  // The tick's reading, connected or not: the position read (empty when
  // nothing was readable), or nothing when the capture failed; `nick` is the
  // nickname box's text. While connected it goes to the host as a report (a
  // blank line after a failure: this member is still there).
  void Reading(const std::string& nick, const std::optional<std::string>& position);
  // The slot table as the map and the overlay show it: while not connected
  // no relay brings this member's own entry, so it is the latest reading.
  net::SlotTable Shown() const;
  // Once a tick: drops the rows nobody vouches for that have gone unheard
  // (see DropSilentRows) and lists the table again if any went.
  void ForgetSilentRows();
  // Proposes a meeting point (or clearing it) to the host, in a report of
  // `nick` (wire bytes) at the present position. False when not connected;
  // without a present position nothing is sent and the log says why.
  bool ProposeMeetingPoint(std::optional<GamePoint> point, const std::string& nick);

 private:
  // Points the socket at `address` and starts connecting.
  void Connect(const QString& address);
  // An established connection ended without the user asking.
  void Lost();
  // Waits for the next retry, or gives up once the schedule says so.
  void ScheduleRetry();
  void Retry();
  void AttemptTimedOut();
  void SendBlankLine();
  // Ends the retries with a log row; the status and button are the caller's.
  void EndRetrying(const char* row);
  void ShowIdle(const QString& status);
  // A slot assignment: the table and the meeting point start over from
  // what this host says; `previousSlot` was the own slot before it.
  void Joined(std::int16_t previousSlot);

  // The group key (see member_side_key.cpp): the key for the text typed
  // or set (stretched once per key), and a line from the host taken by the
  // exchange (true: handled, the connection may have ended).
  std::optional<net::GroupKey> KeyFor(const std::string& typedKey);
  bool KeyStep(const std::string& piece);
  void KeyStopped(net::MemberKeyVerdict verdict);
  static QString ProvingStatus();

  net::Winsock* socket_;
  net::SlotTable& Slots;
  std::int16_t& MySlot;
  MemberTimes times_;
  MemberView view_;
  net::LineReceiver receiver_;
  QString address_;            // the address of the last attempt, used for the retries
  bool established_ = false;   // the socket reached connected
  bool refused_ = false;       // the host said it is full on this connection
  bool waiting_ = false;       // the user's attempt is waiting
  bool retrying_ = false;      // trying again after a loss (until a rejoin has lasted)
  bool rejoined_ = false;      // a retry has joined; steadyTimer_ runs
  bool lastRefused_ = false;   // the connection the retries follow was refused as full
  int retries_ = 0;            // retries started since the loss
  // The position read by the last tick; empty when it read nothing, its
  // capture failed, or no tick has read since this connection began.
  std::string presentPosition_;
  net::Slot ownEntry_;          // the own entry as read (kept over a capture failure)
  std::int64_t connectedAtMs_ = 0;  // when this connection was established (steady clock)
  bool toldUnheard_ = false;   // said on this connection that the host takes no proposals
  QElapsedTimer sinceLoss_;
  std::unique_ptr<QTimer> retryTimer_;    // the wait before the next retry
  std::unique_ptr<QTimer> attemptTimer_;  // a retry's time-out
  std::unique_ptr<QTimer> steadyTimer_;   // a rejoined connection lasting: the retries are over
  net::MemberKeyCheck keyCheck_;
  std::string settingsKey_;
  std::optional<net::GroupKey> stretched_;  // the last key used, stretched
};

}  // namespace crewmap::main
