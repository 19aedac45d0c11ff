#pragma once
// The host's address box and its notes on being reached: the echo-page
// lookup and the router's port mapping both run without blocking the window;
// the box says it is looking until the echo page answers, then shows the
// address, and once the router has answered too, the diagnosis decides the
// box's final text, the activity-log rows and the few words beside the box.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "net/address_lookup.h"
#include "net/diagnosis.h"
#include "net/router_report.h"

namespace crewmap::net {
class RouterWorker;
}

namespace crewmap::main {

struct HostAddressView {
  std::function<void(const QString& text)> setAddressBox;
  std::function<void(const std::string& utf8Row)> appendLog;
  // The diagnosis in a few words, and whole for its tool tip (may be unset).
  std::function<void(const QString& glance, net::GlanceTone tone, const QString& whole)> setGlance;
};

// What the address box shows while the echo page has not answered.
inline constexpr char kLookingUp[] = "取得中…";

class HostAddress : public QObject {
  Q_OBJECT

 public:
  // `report`: the rows go to the log (the executable); off, the box shows the
  // echo page's answer as it always did and nothing else happens.
  // `askRouter`: map the port through the router (needs `report`).
  HostAddress(QString echoUrl, int lookupTimeoutMs, int port, bool report, bool askRouter,
              HostAddressView view, QObject* parent = nullptr);
  ~HostAddress() override;

  void Start();
  // Removes the router's mapping (waits for the router at most `waitMs`).
  void Stop(int waitMs);
  // The host is closing: the router thread stops asking now (Stop waits).
  void RequestStop();

 private:
  void EchoAnswered(const net::EchoAnswer& answer);
  void RouterAnswered(const net::RouterReport& report);
  void ReportWhenComplete();

  QString echoUrl_;
  int lookupTimeoutMs_;
  int port_;
  bool report_;
  bool askRouter_;
  HostAddressView view_;
  std::unique_ptr<net::RouterWorker> router_;
  bool echoDone_ = false;
  bool routerDone_ = false;
  bool reported_ = false;
  net::EchoAnswer echo_;
  net::RouterReport routerReport_;
};

}  // namespace crewmap::main
