// The map window's costs: one redraw plus the paint of a 1920 x 1080 map
// area at each zoom factor (target: median at most 4 ms), loading the two
// pictures (at most 250 ms) and resident memory with the map shown (at most
// 200 MB). Uses $DISPLAY, or starts a private Xvfb when none is set.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QSlider>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "map/frm_map.h"
#include "map/jpeg.h"
#include "map/map_area.h"
#include "map/map_files.h"
#include "support/xvfb_server.h"

namespace {

using crewmap::map::frmMap;

double ResidentMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  }
  return -1;
}

// The fastest repetition next to the median: on a shared machine the median
// carries other programs' load, the minimum shows what the code itself costs.
double MinOf(const std::vector<double>& v) { return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end()); }

frmMap& ShownMap(int zoomPosition) {
  frmMap& map = frmMap::Load();
  map.resize(1920, 1080);
  map.show();
  QCoreApplication::processEvents();
  map.Slider1->setValue(zoomPosition);
  QCoreApplication::processEvents();
  return map;
}

// RedrawView (through MovePoint, as the main tick and scrolling reach it) and
// the synchronous paint of the map area onto the window.
void BM_RedrawAndPaint(benchmark::State& state) {
  frmMap& map = ShownMap(static_cast<int>(state.range(0)));
  std::int32_t step = 0;
  for (auto _ : state) {
    std::int32_t x = 2000 + (step % 7) * 97;  // crosses the halves' seam now and then
    std::int32_t y = 600 + (step % 5) * 13;
    map.MovePoint(x, y);
    map.Picture1->repaint();
    ++step;
  }
  state.counters["hosei"] = static_cast<double>(map.Hosei()) / 10000.0;
  state.counters["view_w"] = map.VisibleMapSize().w;
  state.counters["view_h"] = map.VisibleMapSize().h;
}
BENCHMARK(BM_RedrawAndPaint)
    ->DenseRange(0, 6)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ComputeStatistics("min", MinOf)
    ->ReportAggregatesOnly(true);

// RedrawView alone (composition and copy or stretch into the area's image),
// to tell it apart from the paint and the X server's share.
void BM_RedrawOnly(benchmark::State& state) {
  frmMap& map = ShownMap(static_cast<int>(state.range(0)));
  std::int32_t step = 0;
  for (auto _ : state) {
    std::int32_t x = 2000 + (step % 7) * 97;
    std::int32_t y = 600 + (step % 5) * 13;
    map.MovePoint(x, y);
    ++step;
  }
  QCoreApplication::processEvents();
}
BENCHMARK(BM_RedrawOnly)
    ->DenseRange(0, 6)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ComputeStatistics("min", MinOf)
    ->ReportAggregatesOnly(true);

// Reading both files whole and decoding them.
void BM_LoadBothPictures(benchmark::State& state) {
  const QDir dir(frmMap::PictureFolder());
  for (auto _ : state) {
    for (const char* name : {crewmap::map::LeftPictureName, crewmap::map::RightPictureName}) {
      auto buffer = crewmap::map::ReadWholeFile(dir.filePath(name).toStdString());
      if (!buffer) {
        state.SkipWithError("map picture missing");
        return;
      }
      QImage picture = crewmap::map::LoadJpeg(*buffer);
      benchmark::DoNotOptimize(picture.bits());
    }
  }
}
BENCHMARK(BM_LoadBothPictures)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

// The whole Form_Load: window, both pictures, drawing format, first redraw.
void BM_FormLoad(benchmark::State& state) {
  frmMap::Unload();
  for (auto _ : state) {
    frmMap& map = frmMap::Load();
    benchmark::DoNotOptimize(&map);
    state.PauseTiming();
    frmMap::Unload();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FormLoad)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

// Resident memory with the map shown at 1920 x 1080 at zoom 0.5 (the largest
// back buffer) after a redraw.
void BM_ResidentMemory(benchmark::State& state) {
  frmMap& map = ShownMap(0);
  for (auto _ : state) {
    std::int32_t x = 3000, y = 0;
    map.MovePoint(x, y);
    map.Picture1->repaint();
  }
  state.counters["rss_MB"] = ResidentMegabytes();
}
BENCHMARK(BM_ResidentMemory)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  crewmap::test::XvfbServer server;
  if (!crewmap::test::UseDisplayOrStart(server)) return 2;
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  int result = 0;
  {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    frmMap::Unload();
  }
  server.Stop();
  return result;
}
