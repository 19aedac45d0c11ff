// The settings file: GetIniString, LoadLogSettings, and the activity-log rows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "startup/common.h"
#include "startup/log_lines.h"
#include "startup/settings.h"

#include "platform/system_path.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

namespace crewmap::startup {
namespace {

namespace fs = std::filesystem;

// A program folder with its settings file, and fresh program-wide values.
class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    // Short: the log directory setting is read cut to 63 bytes.
    static int counter = 0;
    folder_ = fs::temp_directory_path() / ("cmst" + std::to_string(++counter));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    ProgramFolder = folder_.string();
    IniPath = (folder_ / "Crewmap.ini").string();
    LogDir.clear();
    LogLimit = 0;
  }
  void TearDown() override {
#ifndef _WIN32
    chmod((folder_ / "locked").string().c_str(), 0755);
#endif
    fs::remove_all(folder_);
  }
  void WriteIni(const std::string& text) {
    std::ofstream out(IniPath, std::ios::binary);
    out << text;
  }
  std::string Sep() const { return std::string(1, kNativeSeparator); }

  fs::path folder_;
};

TEST_F(SettingsTest, NoSettingsFile) {
  EXPECT_EQ(GetIniString("LOG", "DIR", "ERROR", 64, IniPath), "ERROR");
  EXPECT_FALSE(LoadLogSettings());
  EXPECT_EQ(LogDir, "");
  EXPECT_EQ(LogLimit, 0);
}

TEST_F(SettingsTest, GetIniStringTurnsVerticalTabsIntoLineBreaks) {
  WriteIni("[T]\nA=one\vtwo\v\nB=\"\vx\"\n");
  // Vertical tabs at the ends of a value are blanks to the reader.
  EXPECT_EQ(GetIniString("T", "A", "", 64, IniPath), "one\r\ntwo");
  EXPECT_EQ(GetIniString("T", "B", "", 64, IniPath), "\r\nx");
}

TEST_F(SettingsTest, RelativeDirectoryIsResolvedAgainstTheProgramFolder) {
  fs::create_directories(folder_ / "log");
  WriteIni("[LOG]\nDIR=" + std::string(kRelativeMarker) + "log\nLIM=1000\n");
  EXPECT_TRUE(LoadLogSettings());
  EXPECT_EQ(LogDir, folder_.string() + Sep() + "log" + Sep());
  EXPECT_EQ(LogLimit, 1000);
}

TEST_F(SettingsTest, TabsAroundSectionKeysAndValuesAreTrimmed) {
  fs::create_directories(folder_ / "log");
  WriteIni("\t[\tLOG\t]\t\r\n\tDIR\t=\t" + std::string(kRelativeMarker) + "log\t\r\n\tLIM\t=\t1000\t\r\n");
  EXPECT_TRUE(LoadLogSettings());
  EXPECT_EQ(LogDir, folder_.string() + Sep() + "log" + Sep());
  EXPECT_EQ(LogLimit, 1000);
}

// A program folder whose name is not ASCII (Japanese where the system code
// page holds it): the settings file and the relative log folder are found
// through the paths in the system's narrow form.
TEST_F(SettingsTest, ProgramFolderWithANonAsciiName) {
  std::string name = "\xe8\x88\xaa\xe6\xb5\xb7\xe3\x83\xad\xe3\x82\xb0";  // 航海ログ
#ifdef _WIN32
  if (GetACP() != 932) name = "Journal \xc3\xa9";  // "é", held by the Western code pages
#endif
  const std::string utf8Folder = folder_.string() + Sep() + name;
  const fs::path folder(std::u8string(utf8Folder.begin(), utf8Folder.end()));
  fs::create_directories(folder / "log");
  std::ofstream(folder / "Crewmap.ini", std::ios::binary)
      << "[NET]\nECHOURL=http://127.0.0.1:8/\n[LOG]\nDIR=" << kRelativeMarker << "log\nLIM=5\n";
  ProgramFolder = platform::Utf8ToSystemPath(utf8Folder);
  IniPath = platform::Utf8ToSystemPath(utf8Folder + Sep() + "Crewmap.ini");
  EXPECT_EQ(GetIniString("NET", "ECHOURL", "", 512, IniPath), "http://127.0.0.1:8/");
  EXPECT_TRUE(LoadLogSettings());
  EXPECT_EQ(LogDir, ProgramFolder + Sep() + "log" + Sep());
  EXPECT_EQ(LogLimit, 5);
  EXPECT_EQ(platform::SystemPathToPath(ProgramFolder), folder);
  EXPECT_TRUE(fs::is_directory(platform::SystemPathToPath(LogDir)));
}

TEST_F(SettingsTest, AbsoluteDirectoryGetsOneTrailingSeparator) {
  fs::create_directories(folder_ / "abs");
  const std::string abs = (folder_ / "abs").string();
  for (const std::string& written : {abs, abs + Sep()}) {
    SCOPED_TRACE(written);
    LogDir.clear();
    WriteIni("[LOG]\nDIR=" + written + "\nLIM=7\n");
    EXPECT_TRUE(LoadLogSettings());
    EXPECT_EQ(LogDir, abs + Sep());
  }
}

TEST_F(SettingsTest, OtherMarkerIsNotRelative) {
  // The other platform's marker is an ordinary path text, used as written.
#ifdef _WIN32
  const std::string other = "./log";
#else
  const std::string other = ".\\log";
#endif
  WriteIni("[LOG]\nDIR=" + other + "\nLIM=5\n");
  LoadLogSettings();
  EXPECT_EQ(LogDir, other + Sep());
}

TEST_F(SettingsTest, MissingDirectoryLeavesTheLimitUnset) {
  WriteIni("[LOG]\nDIR=" + (folder_ / "nowhere").string() + "\nLIM=1000\n");
  LogLimit = 42;
  EXPECT_FALSE(LoadLogSettings());
  EXPECT_EQ(LogDir, (folder_ / "nowhere").string() + Sep());
  EXPECT_EQ(LogLimit, 42);
}

TEST_F(SettingsTest, DirectoryThatCannotBeListed) {
#ifdef _WIN32
  GTEST_SKIP() << "permissions are a POSIX test";
#else
  if (geteuid() == 0) GTEST_SKIP() << "root lists every directory";
  fs::create_directories(folder_ / "locked");
  chmod((folder_ / "locked").string().c_str(), 0);
  WriteIni("[LOG]\nDIR=" + (folder_ / "locked").string() + "\nLIM=1000\n");
  EXPECT_FALSE(LoadLogSettings());
  EXPECT_EQ(LogLimit, 0);
#endif
}

TEST_F(SettingsTest, AFileIsNotALogDirectory) {
  WriteIni("[LOG]\nDIR=" + IniPath + "\nLIM=1000\n");
  EXPECT_FALSE(LoadLogSettings());
  EXPECT_EQ(LogLimit, 0);
}

TEST_F(SettingsTest, LimitValues) {
  fs::create_directories(folder_ / "log");
  struct Case {
    const char* lim;
    bool ok;
    std::int32_t value;
  } const cases[] = {
      {"1000", true, 1000},       {"1k", false, 0},          {"123456789", true, 1234567},
      {"2.5", true, 2},           {"3.5", true, 4},          {"-2.5", true, -2},
      {" 12 ", true, 12},         {"+8", true, 8},           {"1e3", true, 1000},
      {".5", true, 0},            {"", false, 0},            {"9999999", true, 9999999},
      {"3e9", false, 0},          {"-3e9", false, 0},        {"1.2.3", false, 0},
      {"e5", false, 0},           {"0x10", false, 0},        {"1e", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lim);
    LogLimit = 0;
    WriteIni("[LOG]\nDIR=" + (folder_ / "log").string() + "\nLIM=" + c.lim + "\n");
    EXPECT_EQ(LoadLogSettings(), c.ok);
    EXPECT_EQ(LogLimit, c.value);
  }
}

TEST_F(SettingsTest, MissingLimitKeepsZero) {
  fs::create_directories(folder_ / "log");
  WriteIni("[LOG]\nDIR=" + (folder_ / "log").string() + "\n");
  EXPECT_FALSE(LoadLogSettings());
  EXPECT_EQ(LogLimit, 0);
  EXPECT_FALSE(LogDir.empty());
}

TEST_F(SettingsTest, DirectoryValueIsReadCutTo63Bytes) {
  const std::string longDir = "/" + std::string(80, 'd');
  WriteIni("[LOG]\nDIR=" + longDir + "\n");
  LoadLogSettings();
  EXPECT_EQ(LogDir, longDir.substr(0, 63) + Sep());
}

// Caught: NET keys case-sensitive or from another section, quotes kept, UPNP=no as off, bad RECHECK taken.
TEST_F(SettingsTest, NetworkSettings) {
  WriteIni("[LOG]\nRECHECK=9\n[net]\nechourl = \"http://127.0.0.1:9/ip\"\nupnp=0\nrecheck= 5 \n");
  const NetSettings net = LoadNetSettings(IniPath);
  EXPECT_TRUE(net.echoUrl == "http://127.0.0.1:9/ip" && !net.askRouter && net.checkSeconds == 5);
  for (const auto& [value, seconds] : std::map<std::string, int>{
           {"", 0}, {"2", 2}, {"3600", 3600}, {"1", 0}, {"3601", 0}, {"99999999999999", 0}, {"-5", 0}, {"2m", 0}}) {
    WriteIni("[NET]\nUPNP=no\nRECHECK=" + value + "\n");
    EXPECT_TRUE(LoadNetSettings(IniPath).askRouter && LoadNetSettings(IniPath).checkSeconds == seconds) << value;
  }
}

// Caught: ARRIVAL taken from another section or out of its range, the places
// file not beside the settings file.
TEST_F(SettingsTest, MapSettings) {
  for (const auto& [ini, distance] : std::map<std::string, double>{
           {"[map]\narrival = 45\n", 45}, {"[NET]\nARRIVAL=45\n", 30}, {"[MAP]\nARRIVAL=0\n", 30},
           {"[MAP]\nARRIVAL=2001\n", 30}, {"[MAP]\nARRIVAL=4x\n", 30}}) {
    WriteIni(ini);
    EXPECT_EQ(LoadMapSettings(IniPath).arrivalDistance, distance) << ini;
  }
  EXPECT_EQ(PlacesPath(IniPath), folder_ / "places.txt");
  EXPECT_TRUE(PlacesPath("").empty());
}

TEST(LogLines, TimestampAndRows) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 6;
  t.tm_hour = 7;
  t.tm_min = 20;
  t.tm_sec = 6;
  const std::string ts = FormatTimestamp(t);
  EXPECT_EQ(ts, "2026/12/06 07:20:06");
  EXPECT_EQ(ConnectionRow(ts, 3, "192.168.1.20"), "[2026/12/06 07:20:06]03. >> 192.168.1.20 Connect");
  EXPECT_EQ(DepartureRow(ts, 9, "::1"), "[2026/12/06 07:20:06]09. << ::1 Close");
  EXPECT_EQ(CurrentTimestamp().size(), 19u);
}

}  // namespace
}  // namespace crewmap::startup
