#include "main/host_address.h"

#include <QTimer>
#include <QUrl>

#include "net/address_lookup.h"
#include "net/diagnosis.h"
#include "net/global_ipv6.h"
#include "net/router_worker.h"
#include "startup/log_lines.h"

namespace crewmap::main {

HostAddress::HostAddress(QString echoUrl, int lookupTimeoutMs, int port, bool report, bool askRouter,
                         int checkSeconds, HostAddressView view, QObject* parent)
    : QObject(parent),
      echoUrl_(std::move(echoUrl)),
      lookupTimeoutMs_(lookupTimeoutMs),
      port_(port),
      report_(report),
      askRouter_(report && askRouter),
      checkSeconds_(checkSeconds),
      view_(std::move(view)) {}

HostAddress::~HostAddress() = default;  // the worker removes the mapping as it goes

void HostAddress::Start() {
  view_.setAddressBox(QString::fromUtf8(kLookingUp));
  if (report_ && view_.setGlance)
    view_.setGlance(QString::fromUtf8(net::kGlancePending), net::GlanceTone::Unsure,
                    QString::fromUtf8(net::kGlancePending));
  FetchEcho([this](const net::EchoAnswer& answer) { EchoAnswered(answer); });
  if (report_) {
    echoTimer_ = std::make_unique<QTimer>();
    echoTimer_->setInterval(checkSeconds_ * 1000);
    connect(echoTimer_.get(), &QTimer::timeout, this, [this] { RecheckEcho(); });
    echoTimer_->start();
  }
  if (!askRouter_) {
    routerDone_ = true;
    return;
  }
  net::MappingRequest request;
  request.internalPort = port_;
  request.ipv6Address = net::GlobalIPv6Address().toStdString();
  request.checkSeconds = checkSeconds_;
  net::RouterWorker::Reports reports;
  reports.opened = [this](const net::RouterReport& report) { RouterAnswered(report); };
  reports.renewalFailed = [this] {
    view_.appendLog(startup::NoticeRow(startup::CurrentTimestamp(), "ルータのポート開放を更新できませんでした"));
  };
  reports.checked = [this](const net::RouterCheck& check) { RouterChecked(check); };
  reports.ipv6Now = [] { return net::GlobalIPv6Address().toStdString(); };
  router_ = std::make_unique<net::RouterWorker>(request, std::move(reports));
  router_->Start();
}

void HostAddress::RequestStop() {
  if (echoTimer_) echoTimer_->stop();
  if (router_) router_->RequestStop();
}

void HostAddress::Stop(int waitMs) {
  if (echoTimer_) echoTimer_->stop();
  if (router_) router_->Stop(waitMs);
}

void HostAddress::FetchEcho(std::function<void(const net::EchoAnswer&)> done) {
  net::LookupLimits limits;
  limits.timeoutMs = lookupTimeoutMs_;
  echoBusy_ = true;
  net::StartAddressFetch(QUrl(echoUrl_), limits, this, [this, done](const net::EchoAnswer& answer) {
    echoBusy_ = false;
    done(answer);
  });
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
  shown_ = net::Diagnose(echo_.address.toStdString(), routerReport_, port_, echo_.end);
  view_.setAddressBox(QString::fromStdString(shown_.addressBox));
  const std::string now = startup::CurrentTimestamp();
  for (const std::string& row : shown_.rows) view_.appendLog(startup::NoticeRow(now, row));
  ShowGlance(shown_);
}

void HostAddress::ShowGlance(const net::Diagnosis& diagnosis) {
  if (!view_.setGlance) return;
  std::string whole;
  for (const std::string& row : diagnosis.rows) whole += (whole.empty() ? "" : "\n") + row;
  const net::Glance glance = net::GlanceOf(diagnosis);
  view_.setGlance(QString::fromStdString(glance.text), glance.tone,
                  QString::fromStdString(whole.empty() ? glance.text : whole));
}

void HostAddress::RouterChecked(const net::RouterCheck& check) {
  const bool moved = check.report.externalAddress != routerReport_.externalAddress;
  routerReport_ = check.report;
  remade_ = remade_ || check.remade;
  lost_ = lost_ || check.lost;
  if (!reported_) return;  // the first diagnosis, still to come, takes it
  if (moved && !echo_.address.isEmpty() && !echoBusy_) {
    // The line has a new address: the echo page sees it too. A failed
    // answer leaves the router's own address to show.
    FetchEcho([this](const net::EchoAnswer& answer) {
      echo_ = answer.end == net::EchoEnd::Answered ? answer : net::EchoAnswer{};
      Rediagnose();
    });
    return;
  }
  Rediagnose();
}

void HostAddress::RecheckEcho() {
  // Where the router names the public address itself, its checks follow it.
  const bool routerTells = (shown_.verdict == net::Verdict::Open || shown_.verdict == net::Verdict::OtherPort ||
                            shown_.verdict == net::Verdict::Refused) &&
                           net::ParseIPv4(routerReport_.externalAddress).has_value();
  if (!reported_ || echoBusy_ || routerTells) return;
  FetchEcho([this](const net::EchoAnswer& answer) {
    // A failed look keeps what was shown: the line may be down for a moment.
    if (answer.end != net::EchoEnd::Answered || answer.address.isEmpty() || answer.address == echo_.address) return;
    echo_ = answer;
    Rediagnose();
  });
}

void HostAddress::Rediagnose() {
  const net::Diagnosis now = net::Diagnose(echo_.address.toStdString(), routerReport_, port_, echo_.end);
  // What was lost is the mapping where the router now refuses it, else the pinhole.
  const int code = routerReport_.mapping == net::MappingOutcome::Refused ? routerReport_.errorCode
                                                                          : routerReport_.pinholeError;
  const std::vector<std::string> rows = net::ChangeRows(shown_, now, remade_, lost_, code);
  remade_ = lost_ = false;
  if (now.addressBox != shown_.addressBox) view_.setAddressBox(QString::fromStdString(now.addressBox));
  if (now.rows != shown_.rows) ShowGlance(now);
  const std::string time = startup::CurrentTimestamp();
  for (const std::string& row : rows) view_.appendLog(startup::NoticeRow(time, row));
  shown_ = now;
}

}  // namespace crewmap::main
