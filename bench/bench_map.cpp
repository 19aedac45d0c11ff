// The map window's costs, each beside an anchor measured in the same run:
// - one frame (RedrawView through MovePoint, as the main tick and scrolling
//   reach it, plus the synchronous paint onto the screen) at 1920 x 1080 and
//   at the default 366 x 222, at each of the seven zoom steps, beside one
//   full-area drawImage of a ready image onto a window of the same size (and
//   beside a memcpy of as many bytes); target: at most 1.5 times the
//   drawImage at 1920 x 1080, at most 0.3 ms at the default size. Counters:
//   map_ms, drawImage_ms, memcpy_ms (medians per frame), x_drawImage and
//   x_memcpy (their ratios), min_* (the fastest frames, less disturbed by
//   other programs on a shared machine);
// - the drawing alone (BM_DrawView) beside a memcpy;
// - resident memory with the map at 1920 x 1080 at every zoom step and after
//   shrinking the window again (target: at most 120 MB for a host); run it
//   alone (--benchmark_filter=ResidentMemory) for figures untouched by the
//   other benchmarks' allocations;
// - loading the two pictures;
// - with eight members and the player sailing circles (9 trails of five
//   minutes, 300 points each): the 1920 x 1080 frame again (BM_Frame with
//   trails=1, same counters and target), the overlay's update and repaint
//   with eight marks (BM_Overlay; run once more with QT_SCALE_FACTOR=1.5 for
//   the scaled cut-out), and resident memory over an hour of ticks
//   (BM_TrailsHour, simulated time; target: growth at most 5 MB);
// - with 500 saved places inside the view (places=1), with and without the
//   trails: the 1920 x 1080 frame at every zoom (same counters and target;
//   places_shown and places_named count the marks and the names drawn), and
//   reading a places file of 10,000 lines (BM_ReadPlaces; target: 50 ms).
// Uses $DISPLAY, or starts a private Xvfb when none is set.
// With CREWMAP_MAP_SHOTS=DIR set it first saves what the map window shows on
// the screen at every zoom step and size into DIR, so that two builds can be
// compared pixel for pixel.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "map/frm_map.h"
#include "map/jpeg.h"
#include "map/map_area.h"
#include "map/map_files.h"
#include "map/markers.h"
#include "map/places.h"
#include "map/transform.h"
#include "navi/frm_navi.h"
#include "net/slots.h"
#include "support/xvfb_server.h"

namespace {

using crewmap::map::frmMap;
using Clock = std::chrono::steady_clock;

double ResidentMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  }
  return -1;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

double MinOf(const std::vector<double>& v) { return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end()); }

const QSize kSizes[2] = {{1920, 1080}, {366, 222}};

frmMap& ShownMap(QSize size, int zoomPosition) {
  frmMap& map = frmMap::Load();
  map.move(0, 0);
  map.resize(size);
  map.show();
  map.raise();
  QCoreApplication::processEvents();
  map.Slider1->setValue(zoomPosition);
  QCoreApplication::processEvents();
  return map;
}

// The anchor: a window of the map's size that only paints a ready image with
// one drawImage, the least any window showing a picture of that size does.
class AnchorWindow : public QWidget {
 public:
  explicit AnchorWindow(QSize size) : image_(size, QImage::Format_RGB32) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    image_.fill(0xFF336699);
    for (int y = 0; y < image_.height(); y += 7) image_.setPixel(y % image_.width(), y, 0xFFFFFFFF);
    move(0, 0);
    resize(size);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
  }

 private:
  QImage image_;
};

template <typename Frame>
double TimeBlock(int frames, std::vector<double>& perFrame, Frame frame) {
  double total = 0;
  for (int i = 0; i < frames; ++i) {
    const auto start = Clock::now();
    frame(i);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    perFrame.push_back(ms);
    total += ms;
  }
  return total;
}

// The group sailing: slot i (0 the player) on a circle of 1500 game units at
// 20 units a second around its own centre near map pixel (2500, 1100), at
// second `t`.
crewmap::net::SlotTable GroupAt(std::int64_t t) {
  crewmap::net::SlotTable table{};
  for (int i = 0; i <= 8; ++i) {
    const double angle = 20.0 * static_cast<double>(t) / 1500 + i * 0.7;
    const int x = static_cast<int>(8000 + 250 * i + 1500 * std::cos(angle));
    const int y = static_cast<int>(3300 + 120 * i + 1500 * std::sin(angle));
    table[static_cast<std::size_t>(i)] = {"Member" + std::to_string(i), std::to_string(x) + "," + std::to_string(y),
                                          1000 * t + 1};
  }
  return table;
}

// Runs the main tick's map update for seconds [from, to) of the group.
void Sail(std::int64_t from, std::int64_t to) {
  for (std::int64_t t = from; t < to; ++t) crewmap::map::UpdateMapMarkers(GroupAt(t), 0, 1000 * t + 1);
}

// A places file of `count` places spread over the game rectangle
// [x0, x1) x [y0, y1), with a comment every 50 lines and a line that is no
// place every 100; its path. Kept in a folder of its own for the run.
std::filesystem::path WritePlaces(int count, double x0, double y0, double x1, double y1) {
  static QTemporaryDir folder;
  const std::filesystem::path file =
      std::filesystem::path(folder.path().toStdString()) / ("places" + std::to_string(count) + ".txt");
  std::ofstream out(file, std::ios::binary);
  std::uint32_t random = 12345;
  const auto next = [&random] { return (random = random * 1664525u + 1013904223u) >> 8; };
  for (int i = 0; i < count; ++i) {
    if (i % 50 == 0) out << "# 航路 " << i / 50 << "\n";
    if (i % 100 == 99) out << "メモ: ここは地点ではありません\n";
    const int x = static_cast<int>(x0 + (x1 - x0) * (next() % 10000) / 10000.0);
    const int y = static_cast<int>(y0 + (y1 - y0) * (next() % 10000) / 10000.0);
    out << "地点" << i << "号\t" << (x % 16384) << "," << y << "\n";
  }
  return file;
}

// 500 places inside the views the frames show (from (2000, 600) on, see
// BM_Frame), at the zoom shown.
void PlacesInView(frmMap& map, bool on) {
  using namespace crewmap::map;
  if (!on) return frmMap::SetPlacesFile({});
  const VisibleSize v = map.VisibleMapSize();
  frmMap::SetPlacesFile(WritePlaces(500, MapToGameX(2000), MapToGameY(600), MapToGameX(2000 + 6 * 97 + v.w),
                                    MapToGameY(std::min(600 + 4 * 13 + v.h, 2396))));
}

// One iteration: a block of anchor frames, a block of memcpys of the same
// bytes and a block of map frames, each window raised while it is measured
// (the X server's copy to its framebuffer is part of both). The counters are
// the medians per frame over all iterations and their ratios.
void BM_Frame(benchmark::State& state) {
  const QSize size = kSizes[state.range(0)];
  const int zoom = static_cast<int>(state.range(1));
  frmMap& map = ShownMap(size, zoom);
  const bool trails = state.range(2) != 0;
  map.Check1->setChecked(false);  // the frames below move the view themselves
  map.Check2->setChecked(trails);
  if (trails) Sail(0, 300);
  PlacesInView(map, state.range(3) != 0);
  AnchorWindow anchor(size);
  anchor.show();
  QCoreApplication::processEvents();
  std::vector<char> from(static_cast<std::size_t>(size.width()) * size.height() * 4, 1), to(from.size());
  constexpr int kBlock = 10;
  std::vector<double> mapTimes, anchorTimes, copyTimes;
  std::int32_t step = 0;
  for (auto _ : state) {
    anchor.raise();
    QCoreApplication::processEvents();
    TimeBlock(kBlock, anchorTimes, [&](int) { anchor.repaint(); });
    TimeBlock(kBlock, copyTimes, [&](int i) {
      from[static_cast<std::size_t>(i)] = static_cast<char>(i);
      std::memcpy(to.data(), from.data(), from.size());
      benchmark::DoNotOptimize(to.data());
    });
    map.raise();
    QCoreApplication::processEvents();
    const double ms = TimeBlock(kBlock, mapTimes, [&](int) {
      std::int32_t x = 2000 + (step % 7) * 97;  // crosses the halves' seam now and then
      std::int32_t y = 600 + (step % 5) * 13;
      map.MovePoint(x, y);
      map.Picture1->repaint();
      ++step;
    });
    state.SetIterationTime(ms / 1000.0 / kBlock);
  }
  const double mapMs = Median(mapTimes), anchorMs = Median(anchorTimes), copyMs = Median(copyTimes);
  state.counters["hosei"] = static_cast<double>(map.Hosei()) / 10000.0;
  state.counters["trail_pieces"] = static_cast<double>(map.Picture1->TrailCount());
  state.counters["places_shown"] = static_cast<double>(map.Picture1->PlaceCount());
  state.counters["places_named"] = static_cast<double>(map.Picture1->NamedPlaceCount());
  state.counters["map_ms"] = mapMs;
  state.counters["drawImage_ms"] = anchorMs;
  state.counters["memcpy_ms"] = copyMs;
  state.counters["x_drawImage"] = anchorMs > 0 ? mapMs / anchorMs : 0;
  state.counters["x_memcpy"] = copyMs > 0 ? mapMs / copyMs : 0;
  // The fastest frames of each: on a shared machine the medians carry other
  // programs' load, the minima show what the code itself costs.
  const double mapMin = MinOf(mapTimes), anchorMin = MinOf(anchorTimes);
  state.counters["min_map_ms"] = mapMin;
  state.counters["min_drawImage_ms"] = anchorMin;
  state.counters["min_x_drawImage"] = anchorMin > 0 ? mapMin / anchorMin : 0;
  anchor.hide();
  frmMap::SetPlacesFile({});
}
BENCHMARK(BM_Frame)
    ->ArgsProduct({{0, 1}, {0, 1, 2, 3, 4, 5, 6}, {0}, {0}})
    ->ArgsProduct({{0}, {0, 2, 4}, {1}, {0}})
    ->ArgsProduct({{0}, {0, 1, 2, 3, 4, 5, 6}, {0, 1}, {1}})
    ->ArgNames({"size", "zoom", "trails", "places"})
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

// The drawing alone, without Qt's paint or the X server: the view at each
// zoom drawn from the decoded pictures into a 1920 x 1080 image, beside a
// memcpy of as many bytes (blocks alternating as in BM_Frame). The memcpy's
// bytes stay in the cache from block to block; the pictures (46 MB) do not.
void BM_DrawView(benchmark::State& state) {
  const QSize size = kSizes[state.range(0)];
  const int zoom = static_cast<int>(state.range(1));
  frmMap& map = ShownMap(size, zoom);
  QImage image(size, QImage::Format_RGB32);
  std::vector<char> from(static_cast<std::size_t>(image.sizeInBytes()), 1), to(from.size());
  crewmap::map::ScaledViewScratch scratch;
  const crewmap::map::VisibleSize visible = map.VisibleMapSize();
  const QImage& left = map.LeftPicture();
  const QImage& right = map.RightPicture();
  const crewmap::map::HalfSizeLevel level =
      map.Hosei() == 5000 ? crewmap::map::MakeHalfSizeLevel(left, right) : crewmap::map::HalfSizeLevel();
  constexpr int kBlock = 10;
  std::vector<double> drawTimes, copyTimes;
  std::int32_t step = 0;
  for (auto _ : state) {
    TimeBlock(kBlock, copyTimes, [&](int i) {
      from[static_cast<std::size_t>(i)] = static_cast<char>(i);
      std::memcpy(to.data(), from.data(), from.size());
      benchmark::DoNotOptimize(to.data());
    });
    const double ms = TimeBlock(kBlock, drawTimes, [&](int) {
      const std::int32_t x = 2000 + (step % 7) * 97, y = 600 + (step % 5) * 13;
      crewmap::map::DrawViewScaled(left, right, x, y, visible.w, visible.h, image, scratch, &level);
      benchmark::DoNotOptimize(image.constBits());
      ++step;
    });
    state.SetIterationTime(ms / 1000.0 / kBlock);
  }
  const double drawMin = MinOf(drawTimes), copyMin = MinOf(copyTimes);
  state.counters["draw_ms"] = Median(drawTimes);
  state.counters["memcpy_ms"] = Median(copyTimes);
  state.counters["x_memcpy"] = Median(drawTimes) / std::max(Median(copyTimes), 1e-9);
  state.counters["min_draw_ms"] = drawMin;
  state.counters["min_memcpy_ms"] = copyMin;
  state.counters["min_x_memcpy"] = drawMin / std::max(copyMin, 1e-9);
}
BENCHMARK(BM_DrawView)
    ->ArgsProduct({{0, 1}, {0, 1, 2, 3, 4, 5, 6}})
    ->ArgNames({"size", "zoom"})
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

// Reading a places file of 10,000 places (with comments and lines that are
// no places among them) as the map window reads it at its load.
void BM_ReadPlaces(benchmark::State& state) {
  const std::filesystem::path file = WritePlaces(10000, 0, 0, 16384, 8192);
  crewmap::map::PlacesStore store(file);
  for (auto _ : state) {
    if (!store.Load()) return state.SkipWithError("places file unreadable");
    benchmark::DoNotOptimize(store.Current().Places().data());
  }
  state.counters["places"] = static_cast<double>(store.Current().Places().size());
  state.counters["unreadable"] = static_cast<double>(store.Current().UnreadableLines().size());
}
BENCHMARK(BM_ReadPlaces)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

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

// Resident memory of a freshly loaded map window shown at 1920 x 1080 at each
// zoom step in turn (widest last but one, then back to zoom 1), and after the
// window shrinks to its default size. The anchor is the process before the
// map window is loaded (Qt, the X connection, the fonts).
void BM_ResidentMemory(benchmark::State& state) {
  frmMap::Unload();
  QCoreApplication::processEvents();
  const double bare = ResidentMegabytes();
  for (auto _ : state) {
    frmMap& map = ShownMap(kSizes[0], 2);
    double worst = 0;
    for (int zoom : {3, 4, 5, 6, 1, 0, 2}) {
      map.Slider1->setValue(zoom);
      for (std::int32_t x = 0; x < 4792; x += 599) {
        std::int32_t y = 700;
        map.MovePoint(x, y);
        map.Picture1->repaint();
      }
      QCoreApplication::processEvents();
      const double rss = ResidentMegabytes();
      worst = std::max(worst, rss);
      state.counters["rss_MB_zoom" + std::to_string(zoom)] = rss;
    }
    state.counters["rss_MB_worst"] = worst;
    map.resize(kSizes[1]);
    QCoreApplication::processEvents();
    std::int32_t x = 100, y = 100;
    map.MovePoint(x, y);
    map.Picture1->repaint();
    QCoreApplication::processEvents();
    state.counters["rss_MB_shrunk"] = ResidentMegabytes();
  }
  state.counters["rss_MB_before_load"] = bare;
}
BENCHMARK(BM_ResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// The overlay's work on a tick with eight marks that moved: new marks,
// distance text and dot, the cut-out made again, and the repaint.
void BM_Overlay(benchmark::State& state) {
  frmMap& map = ShownMap(kSizes[1], 2);
  Sail(0, 30);
  crewmap::navi::frmNavi& navi = crewmap::navi::frmNavi::Load();
  navi.show();
  QCoreApplication::processEvents();
  std::int64_t t = 30;
  for (auto _ : state) {
    std::vector<crewmap::navi::RingMark> marks = map.Scene().RingMarks();
    for (auto& m : marks) m.dx += static_cast<float>(t % 50) * 40;  // every mark moves
    navi.SetRingMarks(marks);
    navi.SetDistanceText(QString::number(1000 + t % 997) + QStringLiteral(" 1:23"));
    float x = std::cos(static_cast<float>(t) * 0.1f), y = std::sin(static_cast<float>(t) * 0.1f);
    navi.PointToAngle(x, y);
    navi.repaint();
    ++t;
  }
  state.counters["marks"] = static_cast<double>(map.Scene().RingMarks().size());
  state.counters["device_pixel_ratio"] = navi.devicePixelRatioF();
}
BENCHMARK(BM_Overlay)->Unit(benchmark::kMillisecond)->Iterations(200);

// Resident memory over an hour of the group's ticks, the map shown with its
// trails and the overlay open: after the first ten minutes (trails full)
// and after the hour.
void BM_TrailsHour(benchmark::State& state) {
  frmMap& map = ShownMap(kSizes[0], 2);
  map.Check2->setChecked(true);
  crewmap::navi::frmNavi::Load().show();
  for (auto _ : state) {
    Sail(0, 600);
    QCoreApplication::processEvents();
    const double settled = ResidentMegabytes();
    for (std::int64_t t = 600; t < 3600; t += 60) {
      Sail(t, t + 60);
      map.Picture1->repaint();
      QCoreApplication::processEvents();
    }
    const double hour = ResidentMegabytes();
    state.counters["rss_MB_10min"] = settled;
    state.counters["rss_MB_hour"] = hour;
    state.counters["rss_growth_MB"] = hour - settled;
  }
  state.counters["trail_pieces"] = static_cast<double>(map.Picture1->TrailCount());
}
BENCHMARK(BM_TrailsHour)->Iterations(1)->Unit(benchmark::kMillisecond);

// Saves the screen's image of the map window at every zoom step, at both
// sizes and at views inside the left half, across the seam, across the
// eastern edge, and at odd and even origins.
bool SaveShots(const QString& folder) {
  if (!QDir().mkpath(folder)) return false;
  for (int s = 0; s < 2; ++s) {
    for (int zoom = 0; zoom <= 6; ++zoom) {
      frmMap& map = ShownMap(kSizes[s], zoom);
      int v = 0;
      for (const auto& [vx, vy] :
           {std::pair{100, 200}, {2300, 40}, {4700, 2300}, {3001, 0}, {3000, 0}, {1233, 777}, {1232, 776}}) {
        std::int32_t x = vx, y = vy;
        map.MovePoint(x, y);
        map.Picture1->repaint();
        QCoreApplication::processEvents();
        const QImage shot = map.screen()->grabWindow(map.winId()).toImage();
        const QString name = QStringLiteral("%1/map_%2x%3_zoom%4_view%5.png")
                                 .arg(folder)
                                 .arg(kSizes[s].width())
                                 .arg(kSizes[s].height())
                                 .arg(zoom)
                                 .arg(v++);
        if (!shot.save(name)) return false;
      }
    }
  }
  return true;
}

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
    if (const char* shots = std::getenv("CREWMAP_MAP_SHOTS"); shots && *shots) {
      if (!SaveShots(QString::fromLocal8Bit(shots))) {
        std::fprintf(stderr, "could not save the map shots into %s\n", shots);
        result = 1;
      }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    frmMap::Unload();
  }
  server.Stop();
  return result;
}
