// The activity log and the member list under many lines.
//  - BM_LogListAppend: 100,000 lines appended to a list box like List1, each
//    selected and scrolled into view, the window painting every 100 lines;
//    reports the total and the time per append (each followed by a paint) at
//    100 rows and at 100,000 rows, in real time and in this process's CPU
//    time (which leaves out the X server and other programs).
//  - BM_MemberNoticeFlood: a member frmMain connected to a loopback host that
//    sends notice lines, each followed by a position relay, as fast as the
//    member takes them for 30 s (every notice is appended to List1, which
//    keeps its newest rows, and every relay rebuilds List2); reports the
//    notices sent, the rows kept and the member's resident memory growth.
// Needs X: $DISPLAY or a private Xvfb.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>
#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "main/frm_main.h"
#include "startup/common.h"
#include "ui/fonts.h"
#include "ui/list_box.h"
#include "ui/message_box.h"

namespace {

constexpr int kLines = 100000;
constexpr int kFloodSeconds = 30;
constexpr int kProbe = 200;  // appends timed one by one at each size

QString LogLine(int i) {
  return QStringLiteral("[2026/12/06 07:20:06]%1. >> 192.168.1.%2 Connect").arg(i % 9 + 1, 2, 10, QChar('0')).arg(i % 256);
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Lets the window and the X server finish what is queued.
void Settle() {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

struct PerAppend {
  double realUs = 0;
  double cpuUs = 0;
};

// Mean time of `kProbe` appends, each selected and painted.
PerAppend TimeAppends(crewmap::ui::ListBox& list, int& next) {
  Settle();
  QElapsedTimer clock;
  clock.start();
  const double cpu = CpuSeconds();
  for (int k = 0; k < kProbe; ++k) {
    list.addAndSelect(LogLine(next++));
    QApplication::processEvents();
  }
  return {static_cast<double>(clock.nsecsElapsed()) / 1000.0 / kProbe, (CpuSeconds() - cpu) * 1e6 / kProbe};
}

void BM_LogListAppend(benchmark::State& state) {
  for (auto _ : state) {
    QWidget window;
    window.setFixedSize(289, 224);
    auto* list = new crewmap::ui::ListBox(&window);
    list->setGeometry(0, 160, 289, 64);
    list->setFont(crewmap::ui::DesignFont(crewmap::ui::kGothic));
    window.show();
    QApplication::processEvents();

    int next = 0;
    while (next < 100) list->addAndSelect(LogLine(next++));
    const PerAppend at100 = TimeAppends(*list, next);

    Settle();
    QElapsedTimer clock;
    clock.start();
    const double cpu = CpuSeconds();
    for (int i = next; i < kLines; ++i) {
      list->addAndSelect(LogLine(i));
      if (i % 100 == 0) QApplication::processEvents();
    }
    QApplication::processEvents();
    const double totalS = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const double totalCpuS = CpuSeconds() - cpu;
    next = kLines;
    const PerAppend at100k = TimeAppends(*list, next);
    if (list->currentRow() != list->count() - 1 || !list->isRowVisible(list->count() - 1))
      state.SkipWithError("the newest line is not selected and in view");

    state.counters["rows"] = list->count();
    state.counters["total_s"] = totalS;
    state.counters["total_cpu_s"] = totalCpuS;
    state.counters["us_at_100"] = at100.realUs;
    state.counters["us_at_100k"] = at100k.realUs;
    state.counters["cpu_us_at_100"] = at100.cpuUs;
    state.counters["cpu_us_at_100k"] = at100k.cpuUs;
  }
}
BENCHMARK(BM_LogListAppend)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_MemberNoticeFlood(benchmark::State& state) {
  for (auto _ : state) {
    QTcpServer host;
    host.listen(QHostAddress::LocalHost, 0);
    crewmap::startup::StartMode = 1;
    crewmap::main::MainOptions options;
    options.port = host.serverPort();
    options.closeWaitMs = 1000;
    auto member = std::make_unique<crewmap::main::frmMain>(std::move(options));
    member->show();
    member->Text1->setText(QStringLiteral("127.0.0.1"));
    member->Command1_Click();
    if (!host.hasPendingConnections() && !host.waitForNewConnection(5000)) {
      state.SkipWithError("the member did not connect");
      return;
    }
    QTcpSocket* link = host.nextPendingConnection();

    // For 30 s the host sends notice lines, each followed by a position
    // relay, as fast as the member takes them.
    link->write("client#3\r\n");
    QByteArray burst;
    for (int i = 1; i <= 1000; ++i)
      burst += "*******notice " + QByteArray::number(i) + "\r\n05:Five\t" + QByteArray::number(i) + ",7410\r\n";
    QElapsedTimer clock;
    clock.start();
    long before = 0, highest = 0;
    std::uint64_t sent = 0;
    while (clock.elapsed() < kFloodSeconds * 1000) {
      if (link->bytesToWrite() < 1'000'000) {
        link->write(burst);
        sent += 1000;
      }
      QApplication::processEvents(QEventLoop::AllEvents, 20);
      const long now = crewmap::bench::ResidentKb();
      if (before == 0 && clock.elapsed() > 1000) before = now;  // after the first second's set-up
      highest = std::max(highest, now);
    }
    const bool newestShown = member->List1->text(member->List1->count() - 1).startsWith("*******notice ");
    state.counters["notices_sent"] = static_cast<double>(sent);
    state.counters["rows"] = member->List1->count();
    state.counters["rss_growth_mb"] = static_cast<double>(highest - before) / 1024.0;
    if (!newestShown || member->List1->currentRow() != member->List1->count() - 1)
      state.SkipWithError("the newest notice is not the selected last row");
    member.reset();
  }
}
BENCHMARK(BM_MemberNoticeFlood)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return crewmap::bench::RunBenchmarks(argc, argv); }
