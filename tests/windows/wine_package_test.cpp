// Crewmap for Windows as a user gets it: the zip unpacked into a folder with
// a Japanese name, run under Wine as a Japanese system (code page 932) on a
// private X server beside the Win32 game stand-in, in one group with Linux
// instances. Every instance reports its lists on standard error
// (CREWMAP_DEBUG_LISTS); the windows are driven through X with xdotool.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gamesim/gamesim_process.h"
#include "support/private_network.h"
#include "support/program_driver.h"
#include "windows/wine_support.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using crewmap::test::Click;
using crewmap::test::ProgramProcess;
using crewmap::test::ReadFile;
using crewmap::test::Shell;
using crewmap::test::WaitFor;
using crewmap::test::ChooseRole;
using crewmap::test::EnvOr;
using crewmap::test::Environment;
using crewmap::test::FindWindow;
using crewmap::test::Geometry;
using crewmap::test::WindowGeometry;
using crewmap::test::WineEnvironment;
using crewmap::test::WineLoader;

constexpr auto kWait = crewmap::test::kWineWait;

// The text after the last "<tag>" line of a log, up to its line end.
std::string LastLine(const fs::path& log, const std::string& tag) {
  const std::string text = ReadFile(log);
  const auto at = text.rfind(tag);
  if (at == std::string::npos) return {};
  const auto end = text.find('\n', at);
  std::string line = text.substr(at + tag.size(), end == std::string::npos ? std::string::npos : end - at - tag.size());
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// One crewmap (Linux or under Wine) that reports its lists on standard error.
class Instance : public ProgramProcess {
 public:
  Instance(std::vector<std::string> command, const fs::path& log, Environment environment)
      : ProgramProcess(std::move(command), log, std::move(environment)), log_(log) {}
  std::string MemberList() const { return LastLine(log_, "List2= "); }

 private:
  fs::path log_;
};

// A plain-HTTP echo page on loopback: answers every GET with the caller's
// address, as the public echo pages do.
class EchoPage {
 public:
  EchoPage() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd_, 8);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~EchoPage() {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
  }
  int Port() const { return port_; }
  int Requests() const { return requests_; }

 private:
  void Serve() {
    for (;;) {
      sockaddr_in peer{};
      socklen_t length = sizeof peer;
      const int client = ::accept(fd_, reinterpret_cast<sockaddr*>(&peer), &length);
      if (client < 0) return;
      std::string request;
      char buffer[1024];
      ssize_t n = 0;
      while (request.find("\r\n\r\n") == std::string::npos && (n = ::recv(client, buffer, sizeof buffer, 0)) > 0)
        request.append(buffer, static_cast<std::size_t>(n));
      char text[INET_ADDRSTRLEN] = {};
      ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
      const std::string body = text;
      const std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n" + body;
      ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
      ::close(client);
      ++requests_;
    }
  }
  int fd_ = -1;
  int port_ = 0;
  std::atomic<int> requests_{0};
  std::thread thread_;
};

const std::string kPosition = "14175,7410";      // the Windows game window's
const std::string kLinuxPosition = "3838,1308";  // the Linux game window's

class WinePackage : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    zip_ = EnvOr("CREWMAP_WINDOWS_ZIP", CREWMAP_DEFAULT_ZIP);
    const fs::path build = EnvOr("CREWMAP_WINDOWS_BUILD_DIR", CREWMAP_DEFAULT_WINDOWS_BUILD);
    gamesim_ = build / "tools" / "gamesim_win32" / "gamesim_win32.exe";
    probe_ = build / "tests" / "windows" / "system_probe.exe";
    if (!fs::exists(zip_) || !fs::exists(gamesim_) || !fs::exists(probe_)) return;
    root_ = fs::temp_directory_path() / ("crewmap-wine-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    // Unpacked where a Japanese user might keep it.
    program_ = crewmap::test::UnpackPackage(zip_, root_ / "クルー 航海図");
    fs::create_directories(root_ / "linux");
    fs::copy_file(CREWMAP_EXE, root_ / "linux" / "crewmap");
    for (const char* picture : {"worldmap_c1.jpg", "worldmap_c2.jpg"})
      fs::copy_file(fs::path(CREWMAP_DATA_DIR) / picture, root_ / "linux" / picture);
    std::ofstream(root_ / "linux" / "crewmap.ini") << "[NET]\nECHOURL=http://127.0.0.1:9/\nUPNP=0\n";

    env_ = WineEnvironment((root_ / "prefix").string());
    crewmap::test::PreparePrefix(env_);
    StartSuiteGame();
    linuxGame_ = new crewmap::gamesim::GameSimProcess();
    if (linuxGame_->Start({"--still", "--size", "800x600", "--pos", kLinuxPosition}) &&
        linuxGame_->Command(kLinuxPosition))
      Shell("xdotool search --all --onlyvisible --pid " + std::to_string(linuxGame_->Pid()) +
            " --name Online | head -1 | xargs -r -I{} xdotool windowmove {} 300 450");
  }
  // The game stand-in for the whole suite at a 16:9 size players use, its
  // read-out where the game draws it, right of the other windows. The Linux
  // instances read the Linux stand-in: kept the topmost window of that
  // title, the one X finds first.
  static void StartSuiteGame() {
    game_ = new ProgramProcess({WineLoader(), gamesim_.string(), "--client", "1920x1080", "--at", "640,0", "--text",
                                kPosition}, root_ / "gamesim.log", env_);
    WaitFor([] { return Probe("client") == "1920x1080"; }, kWait);
    if (linuxGame_)
      Shell("xdotool search --all --onlyvisible --pid " + std::to_string(linuxGame_->Pid()) +
            " --name Online | head -1 | xargs -r xdotool windowraise");
  }
  static void TearDownTestSuite() {
    delete linuxGame_;
    linuxGame_ = nullptr;
    delete game_;
    game_ = nullptr;
    if (!root_.empty()) {
      Wine("wineserver -k", /*loader=*/false);
      if (!keep_) fs::remove_all(root_);
    }
  }
  void SetUp() override {
    if (program_.empty())
      GTEST_SKIP() << "No Windows package at " << zip_ << " or no " << gamesim_ << " and " << probe_
                   << " (scripts/test-windows builds them)";
    // Hosts listen on the program's fixed port.
    std::string why;
    if (!crewmap::test::FixedPortUsable(21212, why)) GTEST_SKIP() << why;
  }
  void TearDown() override {
    if (HasFailure()) keep_ = true;
  }
  Instance* StartWindows(const std::string& logName) {
    return new Instance({WineLoader(), (program_ / "Crewmap.exe").string()}, root_ / logName, env_);
  }
  Instance* StartLinux(const std::string& logName) {
    return new Instance({(root_ / "linux" / "crewmap").string()}, root_ / logName, {{"CREWMAP_DEBUG_LISTS", "1"}});
  }

  // Runs a Wine command line in the suite's prefix; its standard output, or
  // "exit N" when it failed.
  static std::string Wine(const std::string& command, bool loader = true) {
    return crewmap::test::RunWine(env_, command, loader);
  }
  static std::string Probe(const std::string& what) { return Wine("'" + probe_.string() + "' " + what); }

  // Puts `text` into the box at (x, y) of `window` so that no character can
  // be lost, and makes sure the box holds it before the test goes on: the
  // box's content is selected and replaced, then copied and read back
  // through the clipboard (Wine shares it with X). Under Wine the text goes
  // in as Unicode key input inside Wine; a Linux window gets it pasted from
  // the clipboard. xdotool would have to remap X keys for characters outside
  // the keyboard's layout, and a program reading the key a moment late got
  // another character ("太郎" arrived as "太" under load, three times over).
  static bool EnterText(unsigned long window, int x, int y, const std::string& text, bool underWine) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      Click(window, x, y);
      Shell("xdotool key ctrl+a");
      if (underWine) {
        Probe("type '" + text + "'");
      } else {
        const fs::path file = root_ / "entry.txt";
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        Shell("xclip -selection clipboard -i '" + file.string() + "' >/dev/null 2>&1");
        Shell("xdotool key ctrl+v");
      }
      std::this_thread::sleep_for(300ms);
      Shell("xdotool key ctrl+a ctrl+c");
      std::this_thread::sleep_for(300ms);
      if (Probe("clipboard") == text) return true;
    }
    return false;
  }

  // Places a main window, enters the host's address and the nickname, "接続".
  static void JoinAsMember(unsigned long window, int top, const std::string& nick, bool underWine) {
    Shell("xdotool windowmove " + std::to_string(window) + " 0 " + std::to_string(top));
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(EnterText(window, 236, 65, "127.0.0.1", underWine)) << "the address box";  // Text1
    EXPECT_TRUE(EnterText(window, 236, 113, nick, underWine)) << "the nickname box";      // txtNick
    Click(window, 264, 144);  // Command1 "接続"
  }

  static inline fs::path zip_, gamesim_, probe_, root_, program_;
  static inline Environment env_;
  static inline ProgramProcess* game_ = nullptr;
  static inline crewmap::gamesim::GameSimProcess* linuxGame_ = nullptr;
  static inline bool keep_ = false;
};

// The host under Wine reads the game window, finds its settings file in the
// Japanese folder, and relays between two Linux members with Japanese
// nicknames; then its map window and the see-through navigation overlay.
TEST_F(WinePackage, WindowsHostWithLinuxMembers) {
  // A Japanese system (ANSI code page 932), and the game stand-in with a
  // 1920 x 1080 client area, its read-out where the game draws it.
  EXPECT_EQ(Probe("acp"), "932");
  EXPECT_TRUE(WaitFor([&] { return Probe("client") == "1920x1080"; }, kWait)) << Probe("client");

  EchoPage page;
  std::ofstream(program_ / "Crewmap.ini") << "[NET]\r\nECHOURL=http://127.0.0.1:" << page.Port() << "/\r\nUPNP=0\r\n";
  std::unique_ptr<Instance> host(StartWindows("host.log"));
  const unsigned long hostWindow = ChooseRole(0, /*host=*/true);
  ASSERT_NE(hostWindow, 0u) << host->Log();
  EXPECT_TRUE(WaitFor([&] { return LastLine(root_ / "host.log", "Text1= ") == "127.0.0.1"; }, kWait)) << host->Log();
  EXPECT_GE(page.Requests(), 1);
  ASSERT_TRUE(WaitFor([&] { return host->MemberList() == "00:User1:" + kPosition; }, kWait)) << host->Log();
  EXPECT_TRUE(WaitFor([&] { return host->Log().find("]座標を読み取り中（左から1842・上から808）") != std::string::npos; },
                      kWait)) << host->Log();

  std::unique_ptr<Instance> taro(StartLinux("taro.log"));
  JoinAsMember(ChooseRole(taro->Pid(), false), 250, "太郎", /*underWine=*/false);
  std::unique_ptr<Instance> hanako(StartLinux("hanako.log"));
  JoinAsMember(ChooseRole(hanako->Pid(), false), 500, "花子", /*underWine=*/false);
  const std::string everyone =
      "00:User1:" + kPosition + "|01:太郎:" + kLinuxPosition + "|02:花子:" + kLinuxPosition;
  for (Instance* instance : {host.get(), taro.get(), hanako.get()})
    EXPECT_TRUE(WaitFor([&] { return instance->MemberList() == everyone; }, kWait)) << instance->MemberList();
  taro.reset();
  hanako.reset();

  // The map window, then the overlay above a window of ours.
  Shell("xdotool windowmove " + std::to_string(hostWindow) + " 0 0");
  std::this_thread::sleep_for(500ms);
  Click(hostWindow, 208, 144);  // Command2 "MAP"
  const unsigned long mapWindow = FindWindow("Crewmap - マップ");
  ASSERT_NE(mapWindow, 0u) << host->Log();

  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  const int screen = DefaultScreen(display);
  const unsigned long green = 0x00ff00;
  const Window beneath = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 700, 100, 100, 0, 0, green);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  XChangeWindowAttributes(display, beneath, CWOverrideRedirect, &attributes);
  XSelectInput(display, beneath, ButtonPressMask);
  XMapWindow(display, beneath);
  XSync(display, False);

  const Geometry map = WindowGeometry(mapWindow);
  Click(mapWindow, map.width - 110 + 20, 18);  // Command2 "ナビ"
  const unsigned long naviWindow = FindWindow("frmNavi");
  ASSERT_NE(naviWindow, 0u) << host->Log();
  const Geometry navi = WindowGeometry(naviWindow);
  XMoveResizeWindow(display, beneath, navi.x, navi.y, static_cast<unsigned>(navi.width),
                    static_cast<unsigned>(navi.height));
  XSync(display, False);
  std::this_thread::sleep_for(1s);

  if (const char* shot = std::getenv("CREWMAP_WINE_SHOT")) Shell(std::string("import -window root ") + shot);

  // Where the overlay is white, our green window shows through.
  XImage* image = XGetImage(display, RootWindow(display, screen), navi.x, navi.y, static_cast<unsigned>(navi.width),
                            static_cast<unsigned>(navi.height), AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  int seeX = -1, seeY = -1, drawnX = -1, drawnY = -1;
  for (int y = navi.height / 4; y < navi.height * 3 / 4; ++y)
    for (int x = navi.width / 4; x < navi.width * 3 / 4; ++x) {
      const bool through = (XGetPixel(image, x, y) & 0xffffff) == green;
      if (through && seeX < 0) seeX = x, seeY = y;
      if (!through && drawnX < 0) drawnX = x, drawnY = y;
    }
  XDestroyImage(image);
  ASSERT_GE(seeX, 0) << "nothing of the window beneath shows through the overlay";
  ASSERT_GE(drawnX, 0) << "the overlay draws nothing";

  auto pressesAfterClick = [&](int x, int y) {
    XEvent event;
    while (XCheckWindowEvent(display, beneath, ButtonPressMask, &event)) {
    }
    Click(naviWindow, x, y);
    XSync(display, False);
    int presses = 0;
    while (XCheckWindowEvent(display, beneath, ButtonPressMask, &event)) ++presses;
    return presses;
  };
  EXPECT_EQ(pressesAfterClick(seeX, seeY), 1) << "a click on white does not reach the window beneath";
  EXPECT_EQ(pressesAfterClick(drawnX, drawnY), 0) << "a click on the drawing goes through the overlay";

  // The game started again opens above the overlay; the next ticks put the overlay back above it.
  const auto ringShows = [&] {  // the ring's yellow in the middle row
    XImage* row = XGetImage(display, RootWindow(display, screen), navi.x, navi.y + navi.height / 2,
                            static_cast<unsigned>(navi.width), 1, AllPlanes, ZPixmap);
    int ring = 0;
    for (int x = 0; row && x < navi.width; ++x) ring += (XGetPixel(row, x, 0) & 0xffffff) == 0xffff80;
    if (row) XDestroyImage(row);
    return ring > 0;
  };
  ASSERT_TRUE(ringShows());
  delete game_;
  StartSuiteGame();
  ASSERT_TRUE(WaitFor([&] { return Probe("client") == "1920x1080"; }, kWait)) << Probe("client");
  EXPECT_TRUE(WaitFor(ringShows, 5s)) << "the overlay stays under the game started again";
  XDestroyWindow(display, beneath);
  XCloseDisplay(display);
}

// The reverse: a Linux host, a member under Wine reading its own game window.
TEST_F(WinePackage, LinuxHostWithWindowsMember) {
  std::unique_ptr<Instance> host(StartLinux("linuxhost.log"));
  const unsigned long hostWindow = ChooseRole(host->Pid(), /*host=*/true);
  ASSERT_NE(hostWindow, 0u) << host->Log();
  std::unique_ptr<Instance> member(StartWindows("winmember.log"));
  JoinAsMember(ChooseRole(0, /*host=*/false, hostWindow), 300, "船", /*underWine=*/true);
  const std::string both = "00:User1:" + kLinuxPosition + "|01:船:" + kPosition;
  EXPECT_TRUE(WaitFor([&] { return host->MemberList() == both; }, kWait)) << host->MemberList();
  EXPECT_TRUE(WaitFor([&] { return member->MemberList() == both; }, kWait)) << member->MemberList();
}

// --- What a Windows user sees of the package itself ---

// The file name as Windows programs under Wine take it (drive Z: is "/").
std::string WindowsPath(const fs::path& path) { return "Z:" + path.string(); }

// Catches an executable without its resources (the resource script left out
// of the build, an empty icon, version texts not from project(), no
// manifest): Explorer, Task Manager and the firewall prompt would show a
// nameless program with the generic icon; an icon under another name than
// the one Qt gives every window's class (title bars and the task bar show
// the generic icon); a version block in another language than its texts, or
// without a copyright line. Read by Windows' own calls.
TEST_F(WinePackage, ExecutableCarriesIconVersionAndManifest) {
  std::string resources = Probe("resources '" + WindowsPath(program_ / "Crewmap.exe") + "'");
  std::erase(resources, '\r');  // a Windows console program's line ends
  for (const std::string line :
       {"ProductName=Crewmap", "FileDescription=Crewmap", "FileVersion=" CREWMAP_VERSION,
        "ProductVersion=" CREWMAP_VERSION, "icons=16,24,32,48,64,128,256", "manifest=present", "win10=1",
        "dpi=PerMonitorV2", "IDI_ICON1=present", "translation=040904b0",
        "LegalCopyright=Copyright (C) 2026 the Crewmap developers. MIT License."})
    EXPECT_NE(("\n" + resources + "\n").find("\n" + line + "\n"), std::string::npos) << line << " in\n" << resources;
}

// Catches a read-me that Notepad may garble (no byte-order mark) or show on
// one line (bare LF), and a package without its licence texts, its own
// licence, or the change made to Qt's source.
TEST_F(WinePackage, ReadmeIsUtf8WithByteOrderMarkAndCrlf) {
  const std::string readme = ReadFile(program_ / "README.txt");
  ASSERT_GE(readme.size(), 3u);
  EXPECT_EQ(readme.substr(0, 3), "\xEF\xBB\xBF") << "no UTF-8 byte-order mark";
  std::size_t bareLineFeeds = 0;
  for (std::size_t at = readme.find('\n'); at != std::string::npos; at = readme.find('\n', at + 1))
    if (at == 0 || readme[at - 1] != '\r') ++bareLineFeeds;
  EXPECT_EQ(bareLineFeeds, 0u);
  EXPECT_NE(readme.find("Windows 10"), std::string::npos);
  EXPECT_NE(readme.find("Windows 11"), std::string::npos);
  for (const char* licence : {"README.txt", "LGPL-3.0.txt", "GPL-3.0.txt", "Qt-third-party.txt", "GCC-runtime.txt",
                              "mingw-w64.txt", "miniupnpc.txt", "qt6-base-directwrite-needs-direct2d.patch",
                              "../LICENSE.txt"})
    EXPECT_GT(fs::exists(program_ / "licenses" / licence) ? fs::file_size(program_ / "licenses" / licence) : 0u,
              100u)
        << licence;
  // Every source named with its exact version (no placeholder left), and
  // the translation credited to the package it comes from.
  const std::string sources = ReadFile(program_ / "licenses" / "README.txt");
  EXPECT_EQ(sources.find('@'), std::string::npos) << sources;
  EXPECT_NE(sources.find("qt6-translations source package"), std::string::npos) << sources;
  EXPECT_NE(ReadFile(program_ / "LICENSE.txt").find("MIT License"), std::string::npos);
}

// Catches Qt's Japanese translation missing from the package or not loaded
// on Windows: a Japanese message would sit above "Retry" and "Cancel". A
// copy of the program whose map picture is broken shows its Retry/Cancel
// box at start; the box reports its captions (CREWMAP_DEBUG_LISTS).
TEST_F(WinePackage, MessageBoxButtonsAreJapanese) {
  const fs::path copy = root_ / "壊れた地図" / program_.filename();
  fs::create_directories(copy.parent_path());
  fs::copy(program_, copy, fs::copy_options::recursive);
  std::ofstream(copy / "worldmap_c2.jpg", std::ios::trunc) << "not a picture";
  std::unique_ptr<Instance> program(
      new Instance({WineLoader(), (copy / "Crewmap.exe").string()}, root_ / "box.log", env_));
  ChooseRole(0, /*host=*/false);
  std::string message;
  EXPECT_TRUE(WaitFor([&] { return !(message = LastLine(root_ / "box.log", "Message= ")).empty(); }, kWait))
      << program->Log();
  if (const char* shot = std::getenv("CREWMAP_WINE_BOX_SHOT")) {
    std::this_thread::sleep_for(1s);
    Shell(std::string("import -window root ") + shot);
  }
  EXPECT_NE(message.find("イメージのロードに失敗しました"), std::string::npos) << message;
  EXPECT_NE(message.find("再試行"), std::string::npos) << message;
  EXPECT_NE(message.find("キャンセル"), std::string::npos) << message;
  EXPECT_EQ(message.find("Retry"), std::string::npos) << message;
}

// Fault caught: the main window opens over the read-out of a 1024 x 768
// game at the screen's top-left (centred, as the system would put it), and
// the position stays empty until the user moves the window.
TEST_F(WinePackage, MainWindowOpensClearOfTheReadoutOfAGameAtTheTopLeft) {
  // This game in place of the suite's, for this test only.
  delete game_;
  game_ = nullptr;
  {
    ProgramProcess game({WineLoader(), gamesim_.string(), "--client", "1024x768", "--at", "0,0", "--text", kPosition},
                        root_ / "gamesim-topleft.log", env_);
    ASSERT_TRUE(WaitFor([&] { return Probe("client") == "1024x768"; }, kWait)) << Probe("client");
    // Both rectangles as Windows has them (left top right bottom).
    const auto rect = [](const std::string& text) {
      std::istringstream in(text);
      int l = 0, t = 0, r = 0, b = 0;
      in >> l >> t >> r >> b;
      return Geometry{l, t, r - l, b - t};
    };
    const Geometry readout = rect(Probe("readout"));
    ASSERT_GT(readout.width, 0);
    EXPECT_LT(readout.x, 1100) << "the read-out of this game, not of another";
    std::unique_ptr<Instance> member(StartWindows("placed.log"));
    ASSERT_NE(ChooseRole(0, /*host=*/false), 0u) << member->Log();
    Geometry main;
    ASSERT_TRUE(WaitFor([&] { return (main = rect(Probe("window Crewmap"))).width > 0; }, kWait));
    EXPECT_FALSE(crewmap::test::Overlap(main, readout))
        << "main window at " << main.x << "," << main.y << " " << main.width << "x" << main.height
        << ", read-out at " << readout.x << "," << readout.y;
  }
  StartSuiteGame();
}

// Fault caught: the overlay's design place taken in scaled units, so that
// at 150 % it opens away from the game (over the map window), or over the
// read-out. At 100 % and 150 % (LogPixels 96 and 144) it opens at 603, 438
// of the game's own pixels from its corner (enlarged as the system draws
// the game), clear of the read-out; measured in screen pixels on X.
TEST_F(WinePackage, OverlayOpensOverTheSameSpotOfTheGameAtEveryScaling) {
  delete game_;  // a game of this test's own, at the screen's top-left
  game_ = nullptr;
  const auto rect = [](const std::string& text) {  // left top right bottom, scaled
    int l = 0, t = 0, r = 0, b = 0;
    std::istringstream(text) >> l >> t >> r >> b;
    return Geometry{l, t, r - l, b - t};
  };
  const unsigned long linuxGame = FindWindow("大航海時代 Online", linuxGame_ ? linuxGame_->Pid() : 0, 0, 1s);
  for (const int dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    const auto at = [dpi](double pixels) { return static_cast<int>(pixels * dpi / 96); };
    Wine("reg add 'HKCU\\Control Panel\\Desktop' /v LogPixels /t REG_DWORD /d " + std::to_string(dpi) + " /f");
    ProgramProcess gameProcess({WineLoader(), gamesim_.string(), "--client", "800x600", "--at", "0,0", "--text",
                                kPosition}, root_ / ("gamesim-" + std::to_string(dpi) + ".log"), env_);
    ASSERT_TRUE(WaitFor([&] { return Probe("client") == "800x600"; }, kWait)) << Probe("client");
    std::unique_ptr<Instance> member(StartWindows("overlay-" + std::to_string(dpi) + ".log"));
    const unsigned long mainWindow = ChooseRole(0, /*host=*/false, 0, dpi / 96.0);
    ASSERT_NE(mainWindow, 0u) << member->Log();
    Click(mainWindow, at(208), at(144));  // Command2 "MAP"
    const unsigned long mapWindow = FindWindow("Crewmap - マップ");
    ASSERT_NE(mapWindow, 0u) << member->Log();
    Click(mapWindow, WindowGeometry(mapWindow).width - at(90), at(18));  // Command2 "ナビ"
    const unsigned long naviWindow = FindWindow("frmNavi");
    ASSERT_NE(naviWindow, 0u) << member->Log();
    if (const char* shot = std::getenv("CREWMAP_WINE_SCALE_SHOT"))
      Shell("import -window root " + std::string(shot) + std::to_string(dpi) + ".png");
    // How much the system enlarges the game's 800 x 600 client area on X.
    const double enlarged = WindowGeometry(FindWindow("大航海時代 Online", 0, linuxGame)).width / 800.0;
    const auto onScreen = [enlarged](const Geometry& g) {
      return Geometry{static_cast<int>(g.x * enlarged), static_cast<int>(g.y * enlarged),
                      static_cast<int>(g.width * enlarged) + 1, static_cast<int>(g.height * enlarged) + 1};
    };
    const Geometry game = onScreen(rect(Probe("window 大航海時代 Online")));
    const Geometry navi = WindowGeometry(naviWindow);
    EXPECT_NEAR(navi.x, game.x + 603 * enlarged, 2) << "game at " << game.x << " x" << enlarged;
    EXPECT_NEAR(navi.y, game.y + 438 * enlarged, 2) << "game at " << game.y << " x" << enlarged;
    EXPECT_FALSE(crewmap::test::Overlap(navi, onScreen(rect(Probe("readout")))));
    member.reset();  // gone before the next round looks for the same titles
    WaitFor([] { return Shell("xdotool search --onlyvisible --name '^Crewmap' 2>/dev/null").empty(); }, kWait);
  }
  Wine("reg delete 'HKCU\\Control Panel\\Desktop' /v LogPixels /f");
  StartSuiteGame();
}

}  // namespace
