// One coordinate capture through the Win32 window source against
// gamesim_win32: the block copy (one BitBlt) and single GetPixel reads side by
// side, median and 95th percentile. A plain program, built when the Windows
// build is configured with -DCREWMAP_BENCH=ON and run by hand, e.g. under Wine
// from that build folder (with a display):
//   wine64 bench/bench_capture_win32.exe [captures]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game_sim_process.h"
#include "platform/win32/win32_window_source.h"
#include "reader/capture.h"

namespace {

using namespace crewmap;

class Controls final : public reader::CaptureControls {
 public:
  bool LockTicked() const override { return lock; }
  void ShowCaptureFailure(const std::string&) override {}
  bool lock = false;
};

struct Figures {
  double median = 0;
  double p95 = 0;
  bool misread = false;
};

Figures Time(reader::PixelFetch fetch, bool lock, int captures, const std::string& expected) {
  platform::Win32WindowSource source;
  Controls controls;
  reader::CoordinateCapture capture(source, controls, fetch);
  // Settle first: the window may still be reaching the screen.
  for (int i = 0; i < 150 && capture.CapturePosition().position != expected; ++i) Sleep(20);
  controls.lock = lock;
  Figures f;
  std::vector<double> millis;
  for (int i = 0; i < captures; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    const reader::CaptureOutcome out = capture.CapturePosition();
    const auto t1 = std::chrono::steady_clock::now();
    millis.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    f.misread = f.misread || out.position != expected;
  }
  std::sort(millis.begin(), millis.end());
  f.median = millis[millis.size() / 2];
  f.p95 = millis[millis.size() * 95 / 100];
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const int captures = argc > 1 ? std::max(20, std::atoi(argv[1])) : 500;
  // The read-out that needs the most reads per cell.
  const std::string readout = "38083,80883";
  tests::GameSimProcess sim;
  std::string error;
  if (!sim.Start(1030, 797, readout, error)) {
    std::fprintf(stderr, "gamesim_win32: %s\n", error.c_str());
    return 2;
  }
  int status = 0;
  for (const bool lock : {false, true}) {
    const Figures block = Time(reader::PixelFetch::Block, lock, captures, readout);
    const Figures single = Time(reader::PixelFetch::Single, lock, captures, readout);
    std::printf("capture, \"Lock\" %s, %d captures each: block median %.3f ms (p95 %.3f), "
                "single-pixel median %.3f ms (p95 %.3f), block %.1fx faster\n",
                lock ? "ticked" : "unticked", captures, block.median, block.p95, single.median, single.p95,
                single.median / block.median);
    if (block.misread || single.misread) {
      std::fprintf(stderr, "misread: a capture did not give %s\n", readout.c_str());
      status = 1;
    }
  }
  sim.Stop();
  return status;
}
