// One coordinate capture against gamesim on a real X server: the time it
// takes (median) and how many pixel requests it makes, with the read-out
// copied in one block request and, beside it, read pixel by pixel; the same
// once the read-out has been found at the client area's corner and by a
// search; the search itself over 1920 x 1080 and 2560 x 1440 client areas,
// whole and band by band (what one tick holds); and the capture's CPU beside
// a game window that shows no read-out. Starts a private Xvfb
// of 2600 x 1600, so that a 2560 x 1440 window fits on its screen.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gamesim/gamesim_process.h"
#include "platform/x11/x11_window_source.h"
#include "reader/capture.h"
#include "reader/readout_finder.h"
#include "reader/readout_search.h"
#include "support/xvfb_server.h"

namespace {

using namespace crewmap;

// Counts the pixel reads and block copies that pass through to the real source.
class CountingSource final : public platform::WindowSource {
 public:
  explicit CountingSource(platform::WindowSource& inner) : inner_(inner) {}
  platform::WindowHandle FindWindowByTitle(std::string_view title) override { return inner_.FindWindowByTitle(title); }
  platform::DeviceContext GetDC(platform::WindowHandle w) override { return inner_.GetDC(w); }
  bool GetWindowRect(platform::WindowHandle w, platform::WindowRect& r) override { return inner_.GetWindowRect(w, r); }
  bool GetClientArea(platform::WindowHandle w, platform::ClientArea& a) override { return inner_.GetClientArea(w, a); }
  std::uint32_t GetPixel(platform::DeviceContext dc, std::int32_t x, std::int32_t y) override {
    ++reads;
    return inner_.GetPixel(dc, x, y);
  }
  void GetPixels(platform::DeviceContext dc, const platform::PixelPoint* points, std::size_t count,
                 std::uint32_t* colors) override {
    reads += static_cast<std::int64_t>(count);
    inner_.GetPixels(dc, points, count, colors);
  }
  bool ReadBlock(platform::DeviceContext dc, const platform::PixelRect& rect, platform::PixelBlock& block) override {
    ++blocks;
    return inner_.ReadBlock(dc, rect, block);
  }
  void ReleaseDC(platform::WindowHandle w, platform::DeviceContext dc) override { inner_.ReleaseDC(w, dc); }
  std::int64_t reads = 0;
  std::int64_t blocks = 0;

 private:
  platform::WindowSource& inner_;
};

class Controls final : public reader::CaptureControls {
 public:
  bool LockTicked() const override { return lock; }
  void ShowCaptureFailure(const std::string&) override {}
  bool lock = false;
};

gamesim::GameSimProcess* gSim = nullptr;

// Shows `position` in gamesim and waits until the reader sees it.
bool Show(reader::CoordinateCapture& capture, const std::string& position) {
  if (!gSim->Command(position)) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (capture.CapturePosition().position == position) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// Medians by way of fetching [block, single] and "Lock" [off, on], for the
// comparison printed at the end.
double gMedianMs[2][2] = {};

void RunCaptures(benchmark::State& state, const std::string& position, bool lock,
                 reader::PixelFetch fetch = reader::PixelFetch::Block) {
  platform::X11WindowSource x11;
  CountingSource source(x11);
  Controls controls;
  reader::CoordinateCapture capture(source, controls, fetch);
  if (!Show(capture, position)) {
    state.SkipWithError("gamesim's read-out could not be read");
    return;
  }
  controls.lock = lock;
  source.reads = 0;
  source.blocks = 0;
  std::int64_t maxReads = 0;
  std::vector<double> millis;
  for (auto _ : state) {
    const std::int64_t before = source.reads;
    const auto t0 = std::chrono::steady_clock::now();
    const reader::CaptureOutcome out = capture.CapturePosition();
    const auto t1 = std::chrono::steady_clock::now();
    millis.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    maxReads = std::max(maxReads, source.reads - before);
    if (out.position != position) {
      state.SkipWithError("misread");
      return;
    }
  }
  std::sort(millis.begin(), millis.end());
  const auto n = static_cast<double>(state.iterations());
  state.counters["median_ms"] = millis[millis.size() / 2];
  state.counters["p95_ms"] = millis[millis.size() * 95 / 100];
  state.counters["reads_per_capture"] = static_cast<double>(source.reads) / n;
  state.counters["max_reads"] = static_cast<double>(maxReads);
  state.counters["blocks_per_capture"] = static_cast<double>(source.blocks) / n;
  gMedianMs[fetch == reader::PixelFetch::Block ? 0 : 1][lock ? 1 : 0] = millis[millis.size() / 2];
}

// The captured example, and a read-out of glyphs that each need the most reads.
void BM_CapturePosition(benchmark::State& state) { RunCaptures(state, "14602,5579", false); }
void BM_CapturePositionWorstGlyphs(benchmark::State& state) { RunCaptures(state, "38083,80883", false); }
void BM_CapturePositionLocked(benchmark::State& state) { RunCaptures(state, "14602,5579", true); }
// Block copy and single-pixel reads side by side on the read-out that needs
// the most reads, with "Lock" off (a lookup per capture) and on (the pixel
// fetching is all that differs).
void BM_CaptureBlock(benchmark::State& state) {
  RunCaptures(state, "38083,80883", state.range(0) != 0, reader::PixelFetch::Block);
}
void BM_CaptureSingle(benchmark::State& state) {
  RunCaptures(state, "38083,80883", state.range(0) != 0, reader::PixelFetch::Single);
}

// The parts of a capture: the title lookup, and one single-pixel read.
void BM_FindWindowByTitle(benchmark::State& state) {
  platform::X11WindowSource x11;
  for (auto _ : state) benchmark::DoNotOptimize(x11.FindWindowByTitle(reader::kGameTitle));
}
void BM_OnePixelRead(benchmark::State& state) {
  platform::X11WindowSource x11;
  const platform::WindowHandle window = x11.FindWindowByTitle(reader::kGameTitle);
  const platform::DeviceContext dc = x11.GetDC(window);
  for (auto _ : state) benchmark::DoNotOptimize(x11.GetPixel(dc, 10, 10));
  x11.ReleaseDC(window, dc);
}

// gamesim with these options showing 14602,5579, as the only game window
// (the lookup finds the first one); kept for the next benchmark that asks
// for the same.
gamesim::GameSimProcess* SimWith(const std::vector<std::string>& options) {
  static std::map<std::vector<std::string>, std::unique_ptr<gamesim::GameSimProcess>> sims;
  auto& sim = sims[options];
  if (!sim || !sim->Running()) {
    gSim->Stop();
    sim = std::make_unique<gamesim::GameSimProcess>();
    std::vector<std::string> args = {"--still", "--pos", "14602,5579"};
    args.insert(args.end(), options.begin(), options.end());
    if (!sim->Start(args) || !sim->Command("14602,5579")) sim.reset();
  }
  for (auto& [key, other] : sims)
    if (other && other.get() != sim.get()) other->Stop();
  return sim.get();
}

// One search over the client area, band by band from the bottom up as the
// ticks read it, to a read-out drawn where no place rule puts it (the last
// band): the median time of the whole search, and of one band (with its 95th
// percentile), which is what one capture may hold the tick for.
void BM_Search(benchmark::State& state, const std::string& size, bool busy) {
  std::vector<std::string> options = {"--size", size, "--readout-at", "40,40"};
  if (busy) options.insert(options.end(), {"--busy", "--decoys"});
  if (!SimWith(options)) {
    state.SkipWithError("gamesim did not start");
    return;
  }
  platform::X11WindowSource x11;
  const platform::WindowHandle window = x11.FindWindowByTitle(reader::kGameTitle);
  std::vector<double> millis;
  std::vector<double> bandMillis;
  std::size_t found = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const platform::DeviceContext dc = x11.GetDC(window);
    platform::ClientArea client;
    if (!x11.GetClientArea(window, client) || client.width <= 0) {
      state.SkipWithError("no game window");
      return;
    }
    const auto rows = static_cast<std::int32_t>(reader::ReadoutFinder::kBandPixels / client.width);
    found = 0;
    for (std::int32_t bottom = client.height; bottom > 0; bottom -= rows - 12) {
      const auto b0 = std::chrono::steady_clock::now();
      const std::int32_t top = std::max(0, bottom - rows);
      platform::PixelBlock block;
      x11.ReadBlock(dc, {0, top, client.width, bottom - top}, block);
      found += reader::FindReadouts(block).size();
      bandMillis.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - b0).count());
      if (top == 0) break;
    }
    x11.ReleaseDC(window, dc);
    millis.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(millis.begin(), millis.end());
  std::sort(bandMillis.begin(), bandMillis.end());
  state.counters["median_ms"] = millis[millis.size() / 2];
  state.counters["band_median_ms"] = bandMillis[bandMillis.size() / 2];
  state.counters["band_p95_ms"] = bandMillis[bandMillis.size() * 95 / 100];
  if (found == 0) state.SkipWithError("the read-out was not found");
}

// The capture's CPU time over a minute of one-second ticks beside a
// 1920 x 1080 game window that shows no read-out, so that the search keeps
// looking: the share of one core (goal: at most 2 %). The X server's side of
// the copies is not counted.
void BM_TicksWithoutReadout(benchmark::State& state, bool busy) {
  std::vector<std::string> options = {"--size", "1920x1080", "--no-readout"};
  if (busy) options.insert(options.end(), {"--busy", "--decoys"});
  if (!SimWith(options)) {
    state.SkipWithError("gamesim did not start");
    return;
  }
  platform::X11WindowSource x11;
  Controls controls;
  std::int64_t now = 0;
  reader::CoordinateCapture capture(x11, controls, reader::PixelFetch::Block, [&now] { return now; });
  for (auto _ : state) {
    const std::clock_t cpu = std::clock();
    for (int tick = 0; tick < 60; ++tick, now += 1000)
      if (!capture.CapturePosition().position.empty()) state.SkipWithError("a position was made up");
    state.counters["cpu_percent"] = 100.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC / 60;
  }
}

// Captures once the read-out's place is known: at the client area's corner
// (1920 x 1080), and at a place the search found and a sailing ship
// confirmed; against BM_CapturePosition at the origin table's place.
void BM_CaptureKnownPlace(benchmark::State& state, bool searched) {
  std::vector<std::string> options = {"--size", "1920x1080"};
  if (searched) options.insert(options.end(), {"--readout-at", "40,40"});
  gamesim::GameSimProcess* sim = SimWith(options);
  if (!sim) {
    state.SkipWithError("gamesim did not start");
    return;
  }
  platform::X11WindowSource x11;
  CountingSource source(x11);
  Controls controls;
  std::int64_t now = 0;
  reader::CoordinateCapture capture(source, controls, reader::PixelFetch::Block, [&now] { return now += 1000; });
  std::string shown;
  for (int step = 1; step <= 100; ++step) {
    shown = std::to_string(14602 + step) + ",5579";  // sailing east
    if (sim->Command(shown) && capture.CapturePosition().position == shown) break;
  }
  if (capture.CapturePosition().position != shown) {
    state.SkipWithError("the read-out was not found");
    return;
  }
  source.blocks = 0;
  std::vector<double> millis;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const reader::CaptureOutcome out = capture.CapturePosition();
    millis.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    if (out.position != shown) {
      state.SkipWithError("misread");
      return;
    }
  }
  std::sort(millis.begin(), millis.end());
  state.counters["median_ms"] = millis[millis.size() / 2];
  state.counters["blocks_per_capture"] = static_cast<double>(source.blocks) / static_cast<double>(state.iterations());
}

BENCHMARK(BM_FindWindowByTitle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OnePixelRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CapturePosition)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CapturePositionWorstGlyphs)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CapturePositionLocked)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CaptureBlock)->ArgName("lock")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CaptureSingle)->ArgName("lock")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_CaptureKnownPlace, corner, false)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_CaptureKnownPlace, searched, true)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Search, 1920x1080, "1920x1080", false)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK_CAPTURE(BM_Search, 2560x1440, "2560x1440", false)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK_CAPTURE(BM_Search, busy_1920x1080, "1920x1080", true)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK_CAPTURE(BM_TicksWithoutReadout, plain, false)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TicksWithoutReadout, busy, true)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  crewmap::test::XvfbServer server;
  if (!server.Start(2600, 1600)) return 2;
  gamesim::GameSimProcess sim;
  if (!sim.Start({"--still", "--size", "1024x768", "--pos", "14602,5579"})) {
    std::fprintf(stderr, "gamesim did not start\n");
    return 2;
  }
  gSim = &sim;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (int lock = 0; lock < 2; ++lock) {
    const double block = gMedianMs[0][lock];
    const double single = gMedianMs[1][lock];
    if (block > 0 && single > 0)
      std::printf("capture, \"Lock\" %s: block median %.3f ms, single-pixel median %.3f ms, block %.1fx faster\n",
                  lock ? "ticked" : "unticked", block, single, single / block);
  }
  sim.Stop();
  server.Stop();
  return 0;
}
