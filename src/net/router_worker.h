#pragma once
// Runs the router's port mapping on a thread of its own, so that the window,
// the tick and the relays never wait on discovery or on the router: opens
// the mapping, renews it at half its lease, checks it and the router's
// outside address every request.checkSeconds (a router restart forgets
// mappings, a PPPoE line changes its address), and removes it when stopped,
// also when stopped while it is still asking.
#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "net/port_mapping.h"

namespace crewmap::net {

class RouterWorker : public QObject {
  Q_OBJECT

 public:
  // `opened` gets the result on this object's thread; `renewalFailed` each
  // time the router refuses to renew; `checked` the result of every check
  // the router answered. `ipv6Now` (called on the router's thread) gives the
  // host's global IPv6 address as it is at each check.
  struct Reports {
    std::function<void(const RouterReport&)> opened;
    std::function<void()> renewalFailed;
    std::function<void(const RouterCheck&)> checked;
    std::function<std::string()> ipv6Now;
  };
  RouterWorker(MappingRequest request, Reports reports, QObject* parent = nullptr);
  // Stop(kStopWaitMs).
  ~RouterWorker() override;

  static constexpr int kStopWaitMs = 5000;

  void Start();
  // Ends the requests and renewals and removes what was mapped, waiting up
  // to `waitMs` for the router; past that the removal goes on without the
  // caller waiting, and the process waits for it when it ends.
  void Stop(int waitMs);
  // Tells the thread to stop asking and remove what it has, without waiting
  // (Stop still waits for it); nothing more is reported.
  void RequestStop();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  MappingRequest request_;
  Reports reports_;
};

}  // namespace crewmap::net
