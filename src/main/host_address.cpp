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
  if (report_ && view_.setGlance)
    view_.setGlance(QString::fromUtf8(net::kGlancePending), net::GlanceTone::Unsure,
                    QString::fromUtf8(net::kGlancePending));
  net::LookupLimits limits;
  limits.timeoutMs = lookupTimeoutMs_;
  net::StartAddressFetch(QUrl(echoUrl_), limits, this,
                         [this](const net::EchoAnswer& answer) { EchoAnswered(answer); });
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

void HostAddress::RequestStop() {
  if (router_) router_->RequestStop();
}

void HostAddress::Stop(int waitMs) {
  if (router_) router_->Stop(waitMs);
}

void HostAddress::EchoAnswered(const net::EchoAnswer& answer) {
  echoDone_ = true;
  echo_ = answer;
  view_.setAddressBox(answer.address);
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
  const net::Diagnosis diagnosis = net::Diagnose(echo_.address.toStdString(), routerReport_, port_, echo_.end);
  view_.setAddressBox(QString::fromStdString(diagnosis.addressBox));
  const std::string now = startup::CurrentTimestamp();
  std::string whole;
  for (const std::string& row : diagnosis.rows) {
    view_.appendLog(startup::NoticeRow(now, row));
    whole += (whole.empty() ? "" : "\n") + row;
  }
  const net::Glance glance = net::GlanceOf(diagnosis);
  if (view_.setGlance)
    view_.setGlance(QString::fromStdString(glance.text), glance.tone,
                    QString::fromStdString(whole.empty() ? glance.text : whole));
}

}  // namespace crewmap::main
