#include "main/host_address.h"

#include <QUrl>

#include "net/address_lookup.h"
#include "net/diagnosis.h"
#include "net/global_ipv6.h"
#include "net/router_worker.h"
#include "startup/log_lines.h"

namespace crewmap::main {

HostAddress::HostAddress(QString echoUrl, int lookupTimeoutMs, int port, bool report, bool askRouter,
                         HostAddressView view, QObject* parent)
    : QObject(parent),
      echoUrl_(std::move(echoUrl)),
      lookupTimeoutMs_(lookupTimeoutMs),
      port_(port),
      report_(report),
      askRouter_(report && askRouter),
      view_(std::move(view)) {}

HostAddress::~HostAddress() = default;  // the worker removes the mapping as it goes

void HostAddress::Start() {
  view_.setAddressBox(QString::fromUtf8(kLookingUp));
  net::StartAddressFetch(QUrl(echoUrl_), lookupTimeoutMs_, this,
                         [this](const QString& address) { EchoAnswered(address); });
  if (!askRouter_) {
    routerDone_ = true;
    return;
  }
  net::MappingRequest request;
  request.internalPort = port_;
  request.ipv6Address = net::GlobalIPv6Address().toStdString();
  router_ = std::make_unique<net::RouterWorker>(
      request, [this](const net::RouterReport& report) { RouterAnswered(report); },
      [this] {
        view_.appendLog(startup::NoticeRow(startup::CurrentTimestamp(), "ルータのポート開放を更新できませんでした"));
      });
  router_->Start();
}

void HostAddress::Stop(int waitMs) {
  if (router_) router_->Stop(waitMs);
}

void HostAddress::EchoAnswered(const QString& address) {
  echoDone_ = true;
  echo_ = address;
  view_.setAddressBox(address);
  ReportWhenComplete();
}

void HostAddress::RouterAnswered(const net::RouterReport& report) {
  routerDone_ = true;
  routerReport_ = report;
  ReportWhenComplete();
}

void HostAddress::ReportWhenComplete() {
  if (!report_ || reported_ || !echoDone_ || !routerDone_) return;
  reported_ = true;
  const net::Diagnosis diagnosis = net::Diagnose(echo_.toStdString(), routerReport_, port_);
  view_.setAddressBox(QString::fromStdString(diagnosis.addressBox));
  const std::string now = startup::CurrentTimestamp();
  for (const std::string& row : diagnosis.rows) view_.appendLog(startup::NoticeRow(now, row));
}

}  // namespace crewmap::main
