#pragma once
// The host's address box and its notes on being reached: the echo-page
// lookup and the router's port mapping both run without blocking the window;
// the box says it is looking until the echo page answers, then shows the
// address, and once the router has answered too, the diagnosis decides the
// box's final text, the activity-log rows and the few words beside the box.
// Afterwards the router thread checks the mapping and the outside address
// every few minutes (the echo page is asked again where the router does not
// tell the public address): what changed shows in the box, the few words and
// one log row at once.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "net/address_lookup.h"
#include "net/diagnosis.h"
#include "net/router_report.h"

class QTimer;

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
  // `checkSeconds`: how often the router, or the echo page, is asked again.
  HostAddress(QString echoUrl, int lookupTimeoutMs, int port, bool report, bool askRouter, int checkSeconds,
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
  void RouterChecked(const net::RouterCheck& check);
  void ReportWhenComplete();
  // Asks the echo page again; `done` gets its answer.
  void FetchEcho(std::function<void(const net::EchoAnswer&)> done);
  // The periodic look at the echo page, where the router does not tell the address.
  void RecheckEcho();
  // Diagnoses again and shows what changed.
  void Rediagnose();
  void ShowGlance(const net::Diagnosis& diagnosis);

  QString echoUrl_;
  int lookupTimeoutMs_;
  int port_;
  bool report_;
  bool askRouter_;
  int checkSeconds_;
  HostAddressView view_;
  std::unique_ptr<net::RouterWorker> router_;
  std::unique_ptr<QTimer> echoTimer_;
  bool echoDone_ = false;
  bool routerDone_ = false;
  bool reported_ = false;
  bool echoBusy_ = false;   // an echo fetch of a check is under way
  bool remade_ = false;     // since the last diagnosis shown: a mapping was made again...
  bool lost_ = false;       // ...or could not be
  net::EchoAnswer echo_;
  net::RouterReport routerReport_;
  net::Diagnosis shown_;    // the diagnosis the box and the few words show
};

}  // namespace crewmap::main
