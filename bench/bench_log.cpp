// The activity log and the member list under many lines.
//  - BM_LogListAppend: 100,000 lines appended to a list box like List1, each
//    selected and scrolled into view, the window painting every 100 lines;
//    reports the total and the time per append (each followed by a paint) at
//    100 rows and at 100,000 rows, in real time and in this process's CPU
//    time (which leaves out the X server and other programs).
//  - BM_MemberNoticeFlood: a member frmMain connected to a loopback host that
//    sends 100,000 notice lines, each followed by a position relay (so every
//    notice is appended to List1 and every relay rebuilds List2); reports
//    the total and the time per 1,000 lines at the start and at the end.
// Needs X: $DISPLAY or a private Xvfb.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>
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

    QByteArray traffic = "client#3\r\n";
    for (int i = 1; i < kLines; ++i)
      traffic += "*******notice " + QByteArray::number(i) + "\r\n05:Five\t" + QByteArray::number(i % 16384) + ",7410\r\n";
    std::vector<qint64> marks;  // nanoseconds at every 1,000th row
    QElapsedTimer clock;
    QObject::connect(member->List1, &crewmap::ui::ListBox::currentRowChanged, [&](int row) {
      if ((row + 1) % 1000 == 0) marks.push_back(clock.nsecsElapsed());
    });
    clock.start();
    link->write(traffic);
    while (member->List1->count() < kLines && clock.elapsed() < 120000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    const double totalS = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (member->List1->count() < kLines || marks.size() < 3) {
      state.SkipWithError("not every notice reached the log");
      return;
    }
    state.counters["rows"] = member->List1->count();
    state.counters["total_s"] = totalS;
    state.counters["ms_per_1000_first"] = static_cast<double>(marks[1] - marks[0]) / 1e6;
    state.counters["ms_per_1000_last"] = static_cast<double>(marks.back() - marks[marks.size() - 2]) / 1e6;
    member.reset();
  }
}
BENCHMARK(BM_MemberNoticeFlood)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return crewmap::bench::RunBenchmarks(argc, argv); }
