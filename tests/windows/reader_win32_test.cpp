// The coordinate reader end to end on Windows: the real capture through the
// Win32 window source against the Win32 substitute game window in another
// process (FindWindowW, GetDC, GetWindowRect, GetPixel, ReleaseDC), and the
// block copy (BitBlt into a DIB section) against single GetPixel reads of the
// same screens: every size row, off each edge, minimised, covered, closed.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "game_sim_process.h"
#include "game_title.h"
#include "platform/win32/win32_window_source.h"
#include "reader/block_differential.h"
#include "reader/capture.h"
#include "reader/validation.h"

namespace crewmap::tests {
namespace {


class TestControls : public reader::CaptureControls {
 public:
  bool LockTicked() const override { return lock; }
  void ShowCaptureFailure(const std::string& utf8Text) override { failures.push_back(utf8Text); }
  bool lock = false;
  std::vector<std::string> failures;
};

// Every digit, both glyph designs of our own ("3", "8"), the widest read-out
// and read-outs that fail validation.
const std::vector<std::string> kReadouts = {"14602,5579", "14175,7410", "3838,8383", "16383,8191", "0,0",
                                            "12345678,90", "14602", ",5579", "14602,", "1,2,3"};

struct SizeCase {
  int width;
  int height;
  bool client = false;  // the size of the client area, at 0,0 (else the outer size)
};
void PrintTo(const SizeCase& s, std::ostream* os) { *os << s.width << "x" << s.height << (s.client ? " client" : ""); }

class ReaderWin32 : public ::testing::TestWithParam<SizeCase> {};

// Wine hands a window's drawing to the X server asynchronously, so a read-out
// that has just been repainted may reach the screen a moment later. Reads
// until the expected text shows or a few seconds have passed; the last outcome
// is what the test judges.
reader::CaptureOutcome CaptureOnceSettled(reader::CoordinateCapture& capture,
                                          const std::string& expected) {
  reader::CaptureOutcome outcome;
  const ULONGLONG deadline = GetTickCount64() + 3000;
  do {
    outcome = capture.CapturePosition();
    if (!outcome.ok || outcome.position == expected) break;
    Sleep(20);
  } while (GetTickCount64() < deadline);
  return outcome;
}

TEST(ReaderWin32NoWindow, NoGameWindowGivesEmptyTextAndSuccess) {
  ASSERT_EQ(FindWindowW(nullptr, kGameTitleWide), nullptr) << "a game window is already open";
  platform::Win32WindowSource source;
  TestControls controls;
  reader::CoordinateCapture capture(source, controls);
  const reader::CaptureOutcome outcome = capture.CapturePosition();
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.position, "");
  EXPECT_EQ(capture.GameWindow, 0u);
  EXPECT_EQ(capture.GameDC, 0u) << "the screen's context must be released";
  EXPECT_TRUE(controls.failures.empty());
}

TEST_P(ReaderWin32, ReadsEveryReadoutWhereTheGameDrawsIt) {
  const SizeCase size = GetParam();
  GameSimProcess sim;
  std::string error;
  const std::wstring client = std::to_wstring(size.width) + L"x" + std::to_wstring(size.height);
  ASSERT_TRUE(size.client ? sim.Start(0, 0, kReadouts.front(), error, L"--at 0,0 --client " + client)
                          : sim.Start(size.width, size.height, kReadouts.front(), error)) << error;

  platform::Win32WindowSource source;
  // The outer rectangle, frame included, is what the origin table is keyed on.
  platform::WindowRect rect;
  ASSERT_TRUE(source.GetWindowRect(reinterpret_cast<std::uintptr_t>(sim.Window()), rect));
  if (!size.client) {
    EXPECT_EQ(rect.right - rect.left, size.width);
    EXPECT_EQ(rect.bottom - rect.top, size.height);
  }

  TestControls controls;
  reader::CoordinateCapture capture(source, controls);
  RECT area{};  // Wine's frame leaves a client area other than the table's nominal one
  GetClientRect(sim.Window(), &area);
  for (const std::string& drawn : kReadouts) {
    SCOPED_TRACE("read-out " + drawn);
    ASSERT_TRUE(sim.SetReadout("") && reader::test::CaptureUntilGone(capture));  // jumps are no voyage
    ASSERT_TRUE(sim.SetReadout(drawn));
    const std::string expected = reader::test::ExpectedReading(drawn, area.right, area.bottom);
    const reader::CaptureOutcome outcome = CaptureOnceSettled(capture, expected);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.position, expected);
    if (size.client && !expected.empty()) {  // read where the game draws it, in its own pixels
      EXPECT_EQ(outcome.place.origin.x, size.width - 78);
      EXPECT_EQ(outcome.place.origin.y, size.height - 272);
    }
    EXPECT_EQ(capture.GameWindow, reinterpret_cast<std::uintptr_t>(sim.Window()));
  }
  EXPECT_TRUE(controls.failures.empty());

  // A box from a cell's edge over the end (a shorter number of whole glyphs),
  // from inside a digit, over the start: never a position.
  ASSERT_TRUE(sim.SetReadout("") && reader::test::CaptureUntilGone(capture) && sim.SetReadout("14602,5579"));
  const reader::ReadoutOrigin at = *reader::CornerOrigin(area.right, area.bottom);
  for (const auto& [dx, w, state] : {std::tuple{48, 30, reader::CaptureState::Held},
                                     std::tuple{40, 40, reader::CaptureState::Covered},
                                     std::tuple{-8, 20, reader::CaptureState::Covered}}) {
    ASSERT_EQ(CaptureOnceSettled(capture, "14602,5579").position, "14602,5579");
    const std::string box = std::to_string(at.x + dx) + "," + std::to_string(at.y - 2) + "," + std::to_string(w) + ",14";
    ASSERT_TRUE(sim.SetCover(box));
    EXPECT_TRUE(reader::test::ReadsNothingWhile(capture, state)) << "box at " << box;
    ASSERT_TRUE(sim.SetCover(""));
  }
}

// Two rows of the origin table in both directions, and one window whose
// width and height fall in different rows; then client areas of the
// table's sizes and the 16:9 sizes players use (caught: not read where the
// game draws its read-out, from the client area's corner in the game's own
// pixels).
INSTANTIATE_TEST_SUITE_P(Sizes, ReaderWin32,
                         ::testing::Values(SizeCase{806, 629}, SizeCase{1286, 989}, SizeCase{1280, 600},
                                           SizeCase{800, 600, true}, SizeCase{1024, 768, true},
                                           SizeCase{1152, 864, true}, SizeCase{1280, 960, true},
                                           SizeCase{1280, 720, true}, SizeCase{1366, 768, true},
                                           SizeCase{1600, 900, true}, SizeCase{1920, 1080, true},
                                           SizeCase{2560, 1440, true}),
                         [](const ::testing::TestParamInfo<SizeCase>& info) {
                           return std::string(info.param.client ? "client" : "outer") + std::to_string(info.param.width) +
                                  "x" + std::to_string(info.param.height);
                         });

// Faults caught: a read-out drawn elsewhere is never found under Win32, or a
// price or clock in its font (still, or changing without a comma) becomes a
// position; a ship at anchor at a searched place is read before it moved.
TEST(ReaderWin32Search, AMovedReadoutCountsOnceTheShipSailsAndDecoysNever) {
  GameSimProcess sim;
  std::string error;
  ASSERT_TRUE(sim.Start(0, 0, "1000,2000", error, L"--at 0,0 --client 1920x1080 --decoys --readout-at 300,200"))
      << error;
  platform::Win32WindowSource source;
  TestControls controls;
  reader::CoordinateCapture capture(source, controls);
  for (const ULONGLONG still = GetTickCount64() + 6500; GetTickCount64() < still; Sleep(100))  // two passes
    ASSERT_EQ(capture.CapturePosition().position, "");
  std::string shown, read;
  for (int step = 1; step <= 100 && read.empty(); ++step) {
    ASSERT_TRUE(sim.SetReadout(shown = std::to_string(1000 + step) + ",2000"));
    Sleep(50);  // Wine hands the drawing on asynchronously
    read = capture.CapturePosition().position;
  }
  EXPECT_EQ(read, shown) << "found once the ship moved, and read right";
  EXPECT_EQ(capture.CapturePosition().place.origin.x, 300);
}

TEST(ReaderWin32Lock, ClosedLockedWindowFailsEveryTickUntilUnlocked) {
  GameSimProcess sim;
  std::string error;
  ASSERT_TRUE(sim.Start(1030, 797, "14175,7410", error)) << error;

  platform::Win32WindowSource source;
  TestControls controls;
  controls.lock = true;
  reader::CoordinateCapture capture(source, controls);
  // "Lock" with no handle held still looks the window up.
  reader::CaptureOutcome outcome = CaptureOnceSettled(capture, "14175,7410");
  ASSERT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.position, "14175,7410");
  const platform::WindowHandle locked = capture.GameWindow;
  ASSERT_NE(locked, 0u);

  sim.Stop();
  for (int tick = 0; tick < 3; ++tick) {
    outcome = capture.CapturePosition();
    EXPECT_FALSE(outcome.ok) << "tick " << tick;
    EXPECT_EQ(outcome.position, "");
    EXPECT_EQ(capture.GameWindow, locked) << "a locked handle is kept";
  }
  EXPECT_EQ(controls.failures, std::vector<std::string>(3, "失敗しました。"));

  // Unticked: the next capture looks again, finds nothing, and reads the
  // screen's corner, which is no read-out.
  controls.lock = false;
  outcome = capture.CapturePosition();
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.position, "");
  EXPECT_EQ(capture.GameWindow, 0u);
  EXPECT_EQ(controls.failures.size(), 3u);

  // And a window that opens again is found again.
  ASSERT_TRUE(sim.Start(1030, 797, "3,8", error)) << error;
  outcome = CaptureOnceSettled(capture, "3,8");
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.position, "3,8");
}

// --- Block copy against single-pixel reads -----------------------------------

using reader::test::RandomReadout;

void Place(HWND window, int x, int y, int width = 0, int height = 0) {
  SetWindowPos(window, nullptr, x, y, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE | (width ? 0 : SWP_NOSIZE));
  Sleep(150);  // let the window repaint what was exposed
}

TEST(ReaderWin32Block, RandomReadoutsAtEverySizeRowReadTheSameBothWays) {
  const SizeCase sizes[] = {{806, 629}, {1030, 797}, {1158, 893}, {1286, 989}, {640, 480}, {1280, 600}, {799, 1000}};
  GameSimProcess sim;
  std::string error;
  ASSERT_TRUE(sim.Start(sizes[0].width, sizes[0].height, "1,1", error)) << error;
  std::mt19937 rng(20261207);
  platform::Win32WindowSource source;
  reader::test::Differential diff(source);
  int readouts = 0;
  int valid = 0;
  for (const SizeCase& size : sizes) {
    Place(sim.Window(), 20, 20, size.width, size.height);
    for (int i = 0; i < 30; ++i, ++readouts) {
      const std::string drawn = RandomReadout(rng);
      ASSERT_TRUE(sim.SetReadout("") && diff.Gone());
      ASSERT_TRUE(sim.SetReadout(drawn));
      RECT client{};
      GetClientRect(sim.Window(), &client);
      const std::string expected = reader::test::ExpectedReading(drawn, client.right, client.bottom);
      const std::string where = std::to_string(size.width) + "x" + std::to_string(size.height) + " showing " + drawn;
      // Settle on the new read-out. Under a frame the client area is narrower
      // than the nominal width, so the last cells of a long read-out may lie
      // outside it: what is read need not be what was drawn.
      CaptureOnceSettled(diff.single(), expected);
      if (!diff.Check(where).empty()) ++valid;
    }
  }
  EXPECT_GE(readouts, 200);
  EXPECT_GT(valid, 30) << "many random read-outs should form a pair";
}

// A plain white window above everything, painted before it returns.
HWND Cover(int x, int y, int width, int height) {
  static const ATOM kClass = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"CrewmapTestCover";
    return RegisterClassW(&wc);
  }();
  HWND w = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, MAKEINTATOM(kClass), L"", WS_POPUP | WS_VISIBLE, x, y,
                           width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  UpdateWindow(w);
  MSG msg;
  for (int i = 0; i < 20; ++i) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
  return w;
}

TEST(ReaderWin32Block, OffScreenMinimisedCoveredAndClosedReadTheSameBothWays) {
  GameSimProcess sim;
  std::string error;
  ASSERT_TRUE(sim.Start(806, 629, "14602,5579", error)) << error;
  const HWND game = sim.Window();
  platform::Win32WindowSource source;
  reader::test::Differential diff(source);
  ASSERT_EQ(CaptureOnceSettled(diff.single(), "14602,5579").position, "14602,5579");

  // Where the client area starts within the outer rectangle, so that the
  // read-out (client columns 723 to 792, rows 328 to 337) can be cut by
  // each edge of the screen.
  RECT outer{};
  GetWindowRect(game, &outer);
  POINT client{0, 0};
  ClientToScreen(game, &client);
  const int dx = client.x - outer.left;
  const int dy = client.y - outer.top;
  const int w = GetSystemMetrics(SM_CXSCREEN);
  const int h = GetSystemMetrics(SM_CYSCREEN);
  struct Spot {
    const char* name;
    int x, y;
  };
  const Spot spots[] = {
      {"left", -750 - dx, 100},         {"right", w - 760 - dx, 100},
      {"top", 100, -333 - dy},          {"bottom", 100, h - 333 - dy},
      {"corner", -750 - dx, -333 - dy}, {"far off", w + 50, 100},
  };
  for (const Spot& spot : spots) {
    Place(game, spot.x, spot.y);
    const std::string name = spot.name;
    diff.Check("off the " + name);
    // Cut through by the screen's edge (rows are not checked: Wine keeps
    // part of a window's top on the screen).
    if (name == "left" || name == "right") {
      EXPECT_GT(diff.last.invalid, 0) << name;
      EXPECT_LT(diff.last.invalid, diff.last.total) << name;
    }
    if (name == "far off") {
      EXPECT_EQ(diff.last.invalid, diff.last.total);
    }
  }
  Place(game, 20, 20);
  EXPECT_EQ(diff.Check("back on the screen"), "14602,5579");

  ShowWindow(game, SW_MINIMIZE);
  Sleep(300);
  EXPECT_EQ(diff.Check("minimised"), "");
  EXPECT_EQ(diff.single().CapturePosition().state, reader::CaptureState::Minimised);
  ShowWindow(game, SW_RESTORE);
  Sleep(300);
  ASSERT_EQ(CaptureOnceSettled(diff.single(), "14602,5579").position, "14602,5579");

  const HWND cover = Cover(client.x + 700, client.y + 320, 40, 30);
  diff.Check("half covered in white");
  DestroyWindow(cover);

  diff.controls.lock = true;
  diff.Check("locked");
  sim.Stop();
  diff.Check("closed under Lock");
  EXPECT_EQ(diff.controls.failures.size(), 2u) << "both captures of the closed window failed";
  platform::PixelBlock copy;
  EXPECT_FALSE(source.ReadBlock(0, {0, 0, 4, 4}, copy)) << "no context, no copy";
}

TEST(ReaderWin32Block, TheNullHandleCopiesTheScreen) {
  ASSERT_EQ(FindWindowW(nullptr, kGameTitleWide), nullptr) << "a game window is already open";
  platform::Win32WindowSource source;
  reader::test::Differential diff(source);  // both captures read the screen's top-left corner
  diff.Check("screen corner");
  EXPECT_EQ(diff.single().GameWindow, 0u);
}

// The display's dots per inch as this process sees them.
int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// Fault caught: a capture reads the game window in this thread's own DPI
// units instead of the game's, or leaves the thread in the game's awareness
// afterwards (every window of ours would then be scaled by the system).
TEST(ReaderWin32Dpi, ACaptureWearsTheGameWindowsAwarenessAndGivesItBack) {
  using Context = HANDLE;
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  const auto look = [user32](const char* name) { return reinterpret_cast<void*>(GetProcAddress(user32, name)); };
  const auto threadAwareness = reinterpret_cast<Context(WINAPI*)()>(look("GetThreadDpiAwarenessContext"));
  const auto windowAwareness = reinterpret_cast<Context(WINAPI*)(HWND)>(look("GetWindowDpiAwarenessContext"));
  const auto same = reinterpret_cast<BOOL(WINAPI*)(Context, Context)>(look("AreDpiAwarenessContextsEqual"));
  const auto setThread = reinterpret_cast<Context(WINAPI*)(Context)>(look("SetThreadDpiAwarenessContext"));
  if (!threadAwareness || !windowAwareness || !same || !setThread)
    GTEST_SKIP() << "this system has no DPI awareness contexts";
  GameSimProcess sim;
  std::string error;
  ASSERT_TRUE(sim.Start(806, 629, "14602,5579", error)) << error;
  const Context game = windowAwareness(sim.Window());
  ASSERT_NE(game, nullptr);
  // This thread in an awareness other than the game window's: DPI-aware, as
  // Qt makes the program, where the game is not (per monitor v2, v1, system),
  // else unaware.
  Context before = nullptr;
  for (const LONG_PTR candidate : {-4, -3, -2, -1}) {
    const Context mine = reinterpret_cast<Context>(candidate);
    if (same(mine, game)) continue;
    before = setThread(mine);
    if (before) break;
  }
  ASSERT_NE(before, nullptr) << "no awareness other than the game window's can be had";
  struct Restore {
    decltype(setThread) set;
    Context to;
    ~Restore() { set(to); }
  } restore{setThread, before};
  const Context own = threadAwareness();
  ASSERT_FALSE(same(own, game));

  platform::Win32WindowSource source;
  const auto handle = reinterpret_cast<std::uintptr_t>(sim.Window());
  const platform::DeviceContext dc = source.GetDC(handle);
  ASSERT_NE(dc, 0u);
  EXPECT_TRUE(same(threadAwareness(), game)) << "the size query and the reads run in the game's units";
  source.ReleaseDC(handle, dc);
  EXPECT_TRUE(same(threadAwareness(), own)) << "the thread's own awareness comes back";

  TestControls controls;
  reader::CoordinateCapture capture(source, controls);
  EXPECT_EQ(CaptureOnceSettled(capture, "14602,5579").position, "14602,5579");
  EXPECT_TRUE(same(threadAwareness(), own)) << "after a whole capture";
}

// In the copy of this program that the 144 dpi case starts: the setting took.
TEST(ReaderWin32Dpi, TheDisplayHasTheDotsPerInchAskedFor) {
  const char* expected = std::getenv("CREWMAP_EXPECT_DPI");
  if (!expected) GTEST_SKIP() << "only in the copy started at another scaling";
  EXPECT_EQ(SystemDpi(), std::atoi(expected));
}

// Fault caught: with display scaling (144 dpi, 150 %) the capture asks for
// the game window's size in other units than its pixels come in, and reads
// the read-out at the wrong place or not at all. The reading cases run again
// in a copy of this program started while the system is set to 144 dpi
// (LogPixels), and must read the same; the setting is put back afterwards.
TEST(ReaderWin32Dpi, ReadsTheSameAt144DotsPerInch) {
  if (std::getenv("CREWMAP_EXPECT_DPI")) GTEST_SKIP() << "already the copy";
  HKEY desktop = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &desktop),
            ERROR_SUCCESS);
  DWORD before = 0;
  DWORD size = sizeof before;
  const bool hadValue = RegQueryValueExW(desktop, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&before),
                                         &size) == ERROR_SUCCESS;
  const DWORD scaled = 144;
  ASSERT_EQ(RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&scaled), sizeof scaled),
            ERROR_SUCCESS);

  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) +
                         L"\" --gtest_filter=Sizes/ReaderWin32.*/outer*:ReaderWin32Dpi.TheDisplayHas*:"
                         L"ReaderWin32Block.RandomReadouts*";
  SetEnvironmentVariableW(L"CREWMAP_EXPECT_DPI", L"144");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION copy{};
  const bool started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &copy) != FALSE;
  SetEnvironmentVariableW(L"CREWMAP_EXPECT_DPI", nullptr);
  DWORD exitCode = 1;
  if (started) {
    if (WaitForSingleObject(copy.hProcess, 420000) != WAIT_OBJECT_0) TerminateProcess(copy.hProcess, 1);
    GetExitCodeProcess(copy.hProcess, &exitCode);
    CloseHandle(copy.hThread);
    CloseHandle(copy.hProcess);
  }
  // Back as it was, before judging.
  if (hadValue)
    RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before), sizeof before);
  else
    RegDeleteValueW(desktop, L"LogPixels");
  RegCloseKey(desktop);
  ASSERT_TRUE(started) << "CreateProcess failed";
  EXPECT_EQ(exitCode, 0u) << "the reading cases failed at 144 dpi (their output is above)";
}

}  // namespace
}  // namespace crewmap::tests
