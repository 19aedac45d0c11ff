// End to end: the substitute game window, one host and two members of the
// real crewmap executable as separate processes on a private X server, each
// started as a person would (start dialog, typing, "接続") through xdotool.
// Every instance reports what its lists show on standard error
// (CREWMAP_DEBUG_LISTS), which is what is checked here.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "gamesim/gamesim_process.h"
#include "reader/glyph.h"
#include "reader/origin.h"
#include "support/private_network.h"
#include "support/program_driver.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using crewmap::test::Click;
using crewmap::test::Geometry;
using crewmap::test::Overlap;
using crewmap::test::WindowGeometry;
using crewmap::test::ReadFile;
using crewmap::test::RequestClose;
using crewmap::test::Shell;
using crewmap::test::Type;
using crewmap::test::WaitFor;

// The last "List2= ..." line an instance wrote, i.e. what its member list shows.
std::string LastMemberList(const fs::path& log) {
  const std::string text = ReadFile(log);
  const std::string tag = "List2= ";
  const auto at = text.rfind(tag);
  if (at == std::string::npos) return {};
  const auto end = text.find('\n', at);
  return text.substr(at + tag.size(), end == std::string::npos ? std::string::npos : end - at - tag.size());
}

// One crewmap process that reports its lists on standard error.
class Instance : public crewmap::test::ProgramProcess {
 public:
  Instance(const fs::path& exe, const fs::path& log)
      : ProgramProcess(exe, log, {{"CREWMAP_DEBUG_LISTS", "1"}}), log_(log) {}
  std::string MemberList() const { return LastMemberList(log_); }

 private:
  fs::path log_;
};

// The start dialog: "サーバとして起動" or the preselected member choice, then "おｋ".
unsigned long ChooseRole(Instance& instance, bool host) {
  const unsigned long dialog = instance.WaitWindow("起動方法");
  EXPECT_NE(dialog, 0u);
  if (host) Click(dialog, 30, 10);  // Option1(0) at 120, 0 twips
  Click(dialog, 190, 25);           // Command1 at 2280, 120 twips
  const unsigned long main = instance.WaitWindow("Crewmap");
  EXPECT_NE(main, 0u);
  return main;
}

// Places a main window, types the address and the nickname, presses "接続".
void JoinAsMember(unsigned long window, int top, const std::string& nick) {
  Shell("xdotool windowmove " + std::to_string(window) + " 0 " + std::to_string(top));
  std::this_thread::sleep_for(300ms);
  Click(window, 236, 65);  // Text1
  Type("127.0.0.1");
  Click(window, 236, 113);  // txtNick
  Shell("xdotool key ctrl+a");
  Type(nick);
  Click(window, 264, 144);  // Command1 "接続"
}

TEST(CrewmapEndToEnd, HostAndTwoMembersShareTheGamePosition) {
  // The host listens on the program's fixed port.
  std::string why;
  if (!crewmap::test::FixedPortUsable(21212, why)) GTEST_SKIP() << why;
  // The program folder: the executable, the map pictures and a settings file
  // whose address-echo page is a closed loopback port (never another host).
  const fs::path folder = fs::temp_directory_path() / ("crewmap-e2e-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path exe = folder / "crewmap";
  fs::copy_file(CREWMAP_EXE, exe, fs::copy_options::overwrite_existing);
  for (const char* picture : {"worldmap_c1.jpg", "worldmap_c2.jpg"})
    fs::copy_file(fs::path(CREWMAP_DATA_DIR) / picture, folder / picture,
                  fs::copy_options::overwrite_existing);
  std::ofstream(folder / "crewmap.ini") << "[NET]\nECHOURL=http://127.0.0.1:9/\nUPNP=0\n";

  crewmap::gamesim::GameSimProcess game;
  ASSERT_TRUE(game.Start({"--still", "--size", "800x600", "--pos", "14175,7410"}));
  const auto shown = game.Command("14175,7410");
  ASSERT_TRUE(shown.has_value());
  Shell("xdotool search --all --onlyvisible --pid " + std::to_string(game.Pid()) +
      " --name Online | head -1 | xargs -r -I{} xdotool windowmove {} 420 0");

  Instance host(exe, folder / "host.log");
  const unsigned long hostWindow = ChooseRole(host, /*host=*/true);
  ASSERT_NE(hostWindow, 0u);
  ASSERT_TRUE(WaitFor([&] { return host.MemberList() == "00:User1:14175,7410"; }))
      << host.MemberList();

  Instance alice(exe, folder / "alice.log");
  const unsigned long aliceWindow = ChooseRole(alice, false);
  // Catches a second instance whose window opens exactly on the first one's.
  const Geometry hostAt = WindowGeometry(hostWindow), aliceAt = WindowGeometry(aliceWindow);
  EXPECT_FALSE(hostAt.x == aliceAt.x && hostAt.y == aliceAt.y) << "both at " << hostAt.x << "," << hostAt.y;
  JoinAsMember(aliceWindow, 250, "Alice");
  Instance bob(exe, folder / "bob.log");
  const unsigned long bobWindow = ChooseRole(bob, false);
  JoinAsMember(bobWindow, 500, "Bob");

  const std::string everyone = "00:User1:14175,7410|01:Alice:14175,7410|02:Bob:14175,7410";
  for (Instance* instance : {&host, &alice, &bob})
    EXPECT_TRUE(WaitFor([&] { return instance->MemberList() == everyone; })) << instance->MemberList();
  EXPECT_NE(alice.Log().find("List1+ client#1\n"), std::string::npos);
  EXPECT_NE(bob.Log().find("List1+ client#2\n"), std::string::npos);
  EXPECT_NE(host.Log().find("]02. >> 127.0.0.1 Connect\n"), std::string::npos);

  // The ship moved far behind a loading screen: every list follows in a few ticks.
  ASSERT_TRUE(game.Command("readout off").has_value());
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // two ticks without it
  ASSERT_TRUE(game.Command("3838,1308").has_value());
  const std::string moved = "00:User1:3838,1308|01:Alice:3838,1308|02:Bob:3838,1308";
  for (Instance* instance : {&host, &alice, &bob})
    EXPECT_TRUE(WaitFor([&] { return instance->MemberList() == moved; })) << instance->MemberList();

  // Bob closes his window: his program ends, the others drop him.
  EXPECT_TRUE(RequestClose(bobWindow));
  EXPECT_TRUE(WaitFor([&] { return bob.Exited(); }));
  EXPECT_TRUE(WaitFor([&] { return host.Log().find("]02. << 127.0.0.1 Close\n") != std::string::npos; }));
  const std::string remaining = "00:User1:3838,1308|01:Alice:3838,1308";
  for (Instance* instance : {&host, &alice})
    EXPECT_TRUE(WaitFor([&] { return instance->MemberList() == remaining; })) << instance->MemberList();
  EXPECT_NE(alice.Log().find("List2= 00:User1|01:Alice\n"), std::string::npos);  // after disconn02

  // The host closes: Alice is told by the close, her program goes on.
  EXPECT_TRUE(RequestClose(hostWindow));
  EXPECT_TRUE(WaitFor([&] { return host.Exited(); }));
  EXPECT_FALSE(alice.Exited());
  if (!HasFailure()) fs::remove_all(folder);
}

// A folder with no settings file still reaches the start dialog; closing the
// dialog without "おｋ" ends the program: no other window keeps it running.
TEST(CrewmapEndToEnd, ClosingTheStartDialogEndsTheProgram) {
  const fs::path folder = fs::temp_directory_path() / ("crewmap-e2e-bare-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path exe = folder / "crewmap";
  fs::copy_file(CREWMAP_EXE, exe, fs::copy_options::overwrite_existing);

  Instance lone(exe, folder / "lone.log");
  const unsigned long dialog = lone.WaitWindow("起動方法");
  ASSERT_NE(dialog, 0u);
  EXPECT_TRUE(RequestClose(dialog));
  EXPECT_TRUE(WaitFor([&] { return lone.Exited(); }, 10s));
  EXPECT_EQ(lone.ExitCode(), 0);
  if (!HasFailure()) fs::remove_all(folder);
}

// Fault caught: one of our windows opens over the read-out of a 1024 x 768
// game near the screen's top-left (the position then stays empty until the
// user moves the window), the overlay placed from the screen's corner rather
// than the game's, a window without our icon; each window is looked at as
// the X server has it.
TEST(CrewmapEndToEnd, OurWindowsOpenClearOfTheGamesReadout) {
  const fs::path folder = fs::temp_directory_path() / ("crewmap-e2e-place-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path exe = folder / "crewmap";
  fs::copy_file(CREWMAP_EXE, exe, fs::copy_options::overwrite_existing);
  for (const char* picture : {"worldmap_c1.jpg", "worldmap_c2.jpg"})
    fs::copy_file(fs::path(CREWMAP_DATA_DIR) / picture, folder / picture, fs::copy_options::overwrite_existing);

  crewmap::gamesim::GameSimProcess game;
  ASSERT_TRUE(game.Start({"--still", "--size", "1024x768", "--pos", "14175,7410"}));
  ASSERT_TRUE(game.Command("14175,7410").has_value());
  const std::string gameId = Shell("xdotool search --all --onlyvisible --pid " + std::to_string(game.Pid()) +
                                   " --name Online | head -1 | tr -d '\\n'");
  ASSERT_FALSE(gameId.empty());
  Shell("xdotool windowmove --sync " + gameId + " 60 40");
  const Geometry gameAt = WindowGeometry(std::stoul(gameId));
  ASSERT_EQ(gameAt.x, 60);
  ASSERT_EQ(gameAt.y, 40);
  // Where the reader looks, on the screen (no window manager: no frame).
  const crewmap::reader::ReadoutOrigin origin = crewmap::reader::OriginForSize(gameAt.width, gameAt.height);
  ASSERT_EQ(origin.x, 946);
  const auto probes = crewmap::reader::ProbeArea(origin.x, origin.y, crewmap::reader::kCellCount,
                                                 crewmap::reader::kCellPitch);
  const Geometry readout{gameAt.x + probes.left, gameAt.y + probes.top, probes.width, probes.height};

  Instance member(exe, folder / "member.log");
  const unsigned long dialog = member.WaitWindow("起動方法");
  ASSERT_NE(dialog, 0u);
  const Geometry dialogAt = WindowGeometry(dialog);
  EXPECT_FALSE(Overlap(dialogAt, readout)) << "start dialog at " << dialogAt.x << "," << dialogAt.y;
  const unsigned long main = ChooseRole(member, /*host=*/false);
  ASSERT_NE(main, 0u);
  const Geometry mainAt = WindowGeometry(main);
  EXPECT_FALSE(Overlap(mainAt, readout)) << "main window at " << mainAt.x << "," << mainAt.y;
  EXPECT_FALSE(Overlap(mainAt, gameAt)) << "there is room beside the game: " << mainAt.x << "," << mainAt.y;

  Click(main, 200, 144);  // Command2 "MAP" at 2760, 2040 twips
  const unsigned long map = member.WaitWindow("Crewmap - マップ");
  ASSERT_NE(map, 0u);
  const Geometry mapAt = WindowGeometry(map);
  EXPECT_FALSE(Overlap(mapAt, readout)) << "map window at " << mapAt.x << "," << mapAt.y;
  EXPECT_FALSE(Overlap(mapAt, mainAt)) << "map window over the main window at " << mapAt.x << "," << mapAt.y;

  Click(map, mapAt.width - 110 + 20, 20);  // Command2 "ナビ", 1650 twips from the right
  const unsigned long navi = member.WaitWindow("frmNavi");
  ASSERT_NE(navi, 0u);
  const Geometry naviAt = WindowGeometry(navi);
  EXPECT_FALSE(Overlap(naviAt, readout)) << "overlay at " << naviAt.x << "," << naviAt.y;
  // Over the game at its design place from the game's corner, not from the screen's.
  EXPECT_EQ(naviAt.x, gameAt.x + 603);
  EXPECT_EQ(naviAt.y, gameAt.y + 438);
  // Every window carries our icon (title bar, task bar), not the system's.
  for (const unsigned long window : {main, map, navi})
    EXPECT_NE(Shell("xprop -id " + std::to_string(window) + " _NET_WM_ICON").find("Icon (32 x 32)"), std::string::npos)
        << "no icon on window " << window;
  if (const char* shot = std::getenv("CREWMAP_SHOT")) Shell(std::string("import -window root ") + shot);
  EXPECT_TRUE(RequestClose(main));
  EXPECT_TRUE(WaitFor([&] { return member.Exited(); }));
  if (!HasFailure()) fs::remove_all(folder);
}

}  // namespace
