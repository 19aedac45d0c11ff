// The Debian package, made from this build by scripts/package-deb, checked as
// a user's machine meets it: the files it holds, lintian's verdict, its menu
// entry, and the program started from the unpacked tree on a private X server.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

#include "support/program_driver.h"

namespace {

namespace fs = std::filesystem;
using crewmap::test::Click;
using crewmap::test::ProgramProcess;
using crewmap::test::ReadFile;
using crewmap::test::RequestClose;
using crewmap::test::RunCommand;
using crewmap::test::WaitFor;

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class DebPackage : public testing::Test {
 protected:
  // One package for all tests: made into a fresh folder and unpacked there.
  static void SetUpTestSuite() {
    folder_ = fs::temp_directory_path() / ("crewmap-deb-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "root");
    const auto made = RunCommand("CREWMAP_BUILD_DIR=" + Quoted(CREWMAP_BUILD_DIR) + " " +
                                 Quoted(fs::path(CREWMAP_SOURCE_DIR) / "scripts/package-deb") + " --built " +
                                 Quoted(folder_ / "out"));
    makeOutput_ = made.output;
    if (made.exitCode != 0) return;
    const auto lines = Lines(made.output);
    deb_ = lines.empty() ? fs::path() : fs::path(lines.back());
    unpacked_ = RunCommand("dpkg-deb -x " + Quoted(deb_) + " " + Quoted(folder_ / "root")).exitCode == 0;
  }
  static void TearDownTestSuite() {
    if (!testing::UnitTest::GetInstance()->Failed()) fs::remove_all(folder_);
  }
  void SetUp() override {
    ASSERT_TRUE(fs::is_regular_file(deb_)) << makeOutput_;
    ASSERT_TRUE(unpacked_);
  }

  static fs::path Root() { return folder_ / "root"; }

  static inline fs::path folder_;
  static inline fs::path deb_;
  static inline std::string makeOutput_;
  static inline bool unpacked_ = false;
};

TEST_F(DebPackage, HoldsTheProgramItsPicturesAndItsMenuEntry) {
  EXPECT_EQ(deb_.filename(), "crewmap_" CREWMAP_VERSION "_amd64.deb");

  // Each entry of the listing: "<mode> <owner> <size> <date> <time> ./path[ -> target]".
  std::set<std::string> files;
  std::string programMode, link;
  for (const std::string& line : Lines(RunCommand("dpkg-deb -c " + Quoted(deb_)).output)) {
    std::istringstream fields(line);
    std::string mode, owner, size, date, time, path, arrow, target;
    fields >> mode >> owner >> size >> date >> time >> path >> arrow >> target;
    EXPECT_EQ(owner, "root/root") << line;
    EXPECT_EQ(line.find("gamesim"), std::string::npos) << line;
    if (mode[0] == 'd') continue;
    files.insert(path);
    if (path == "./opt/crewmap/crewmap") programMode = mode;
    if (path == "./usr/bin/crewmap") link = mode.substr(0, 1) + arrow + target;
  }
  for (const char* wanted :
       {"./opt/crewmap/crewmap", "./opt/crewmap/worldmap_c1.jpg", "./opt/crewmap/worldmap_c2.jpg",
        "./usr/bin/crewmap", "./usr/share/applications/crewmap.desktop",
        "./usr/share/icons/hicolor/scalable/apps/crewmap.svg",
        "./usr/share/icons/hicolor/256x256/apps/crewmap.png", "./usr/share/doc/crewmap/copyright"})
    EXPECT_EQ(files.count(wanted), 1u) << wanted;
  EXPECT_EQ(programMode, "-rwxr-xr-x");
  EXPECT_EQ(link, "l->/opt/crewmap/crewmap");
  // A settings file would be the package's to replace: the user writes it.
  EXPECT_EQ(files.count("./opt/crewmap/crewmap.ini"), 0u);

  // Libraries found by dpkg-shlibdeps, plus the font for the Japanese captions
  // and Qt's Japanese translation (without it Qt's buttons stay English).
  const std::string depends = RunCommand("dpkg-deb -f " + Quoted(deb_) + " Depends").output;
  for (const char* wanted :
       {"libc6", "libqt6widgets6", "libqt6network6", "libx11-6", "fonts-noto-cjk", "qt6-translations-l10n"})
    EXPECT_NE(depends.find(wanted), std::string::npos) << wanted << " in " << depends;

  // The PNG icon really is 256 x 256: width and height in its header.
  const std::string png = ReadFile(Root() / "usr/share/icons/hicolor/256x256/apps/crewmap.png");
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(png.substr(16, 8), std::string("\0\0\1\0\0\0\1\0", 8));
}

TEST_F(DebPackage, DesktopEntryIsValidAndNamesTheInstalledProgramAndIcon) {
  const fs::path entry = Root() / "usr/share/applications/crewmap.desktop";
  const auto validated = RunCommand("desktop-file-validate " + Quoted(entry) + " 2>&1");
  EXPECT_EQ(validated.exitCode, 0) << validated.output;
  EXPECT_EQ(validated.output, "");

  // Its command is the link in /usr/bin, its icon the package's icon name,
  // and it names itself in English and Japanese.
  std::set<std::string> keys;
  for (const std::string& line : Lines(ReadFile(entry))) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    keys.insert(key);
    if (key == "Exec") {
      EXPECT_TRUE(fs::is_symlink(Root() / "usr/bin" / value)) << value;
    }
    if (key == "Icon") {
      EXPECT_TRUE(fs::exists(Root() / "usr/share/icons/hicolor/scalable/apps" / (value + ".svg"))) << value;
      EXPECT_TRUE(fs::exists(Root() / "usr/share/icons/hicolor/256x256/apps" / (value + ".png"))) << value;
    }
    if (key == "Categories") {
      EXPECT_NE((";" + value).find(";Game;"), std::string::npos) << value;
    }
  }
  for (const char* wanted : {"Exec", "Icon", "Name", "Name[ja]", "Comment", "Comment[ja]", "Categories"})
    EXPECT_EQ(keys.count(wanted), 1u) << wanted;
}

TEST_F(DebPackage, LintianFindsNoErrors) {
  const auto checked = RunCommand("lintian --tag-display-limit 0 " + Quoted(deb_) + " 2>&1");
  ASSERT_NE(checked.exitCode, 127) << "lintian is not installed";
  for (const std::string& line : Lines(checked.output)) EXPECT_NE(line.rfind("E: ", 0), 0u) << line;
  // Warnings are allowed; they are shown for whoever reads the log.
  std::cout << checked.output;
}

// Started through a link from another folder, as /usr/bin/crewmap starts it,
// the program still finds its map pictures in its own folder.
TEST_F(DebPackage, UnpackedProgramShowsItsStartDialogAndItsMap) {
  const fs::path link = folder_ / "bin" / "crewmap";
  fs::create_directories(link.parent_path());
  fs::create_symlink(Root() / "opt/crewmap/crewmap", link);

  ProgramProcess program(link, folder_ / "program.log");
  const unsigned long dialog = program.WaitWindow("起動方法");
  ASSERT_NE(dialog, 0u) << program.Log();
  Click(dialog, 190, 25);  // "おｋ": the preselected member role needs no network
  const unsigned long main = program.WaitWindow("Crewmap");
  ASSERT_NE(main, 0u) << program.Log();
  Click(main, 208, 144);  // "MAP" at 2760, 2040 twips
  const unsigned long map = program.WaitWindow("Crewmap - マップ");
  ASSERT_NE(map, 0u) << program.Log();

  // Its map area shows the pictures: there, the far north-west of the world
  // is open sea, drawn in the pictures' sea blue (blue well above red), where
  // an empty window would be grey.
  std::string rgb;
  EXPECT_TRUE(WaitFor([&] {
    std::istringstream colour(RunCommand("import -window " + std::to_string(map) +
                                         " -crop 200x100+120+60 +repage -resize '1x1!' -format"
                                         " '%[fx:int(255*r)] %[fx:int(255*b)]' info:").output);
    int red = 0, blue = 0;
    colour >> red >> blue;
    rgb = colour.str();
    return blue - red >= 60;
  })) << "average red, blue: " << rgb;

  EXPECT_TRUE(RequestClose(main));
  EXPECT_TRUE(WaitFor([&] { return program.Exited(); }));
  EXPECT_EQ(program.ExitCode(), 0) << program.Log();
}

}  // namespace
