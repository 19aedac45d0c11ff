// Our portable private-profile reader against the real GetPrivateProfileStringA
// on the same files: the system is the reference, every difference is listed.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "platform/profile_reader.h"

namespace crewmap::tests {
namespace {

using namespace std::string_literals;

struct IniFile {
  const char* name;
  std::string contents;
  std::vector<std::string> keys;
};

const std::vector<IniFile>& iniFiles() {
  static const std::vector<IniFile> files = {
      {"plain_crlf", "[LOG]\r\nDIR=.\\logs\r\nLIM=1000\r\n", {"DIR", "LIM", "dir", " LIM ", "NONE"}},
      {"plain_lf", "[LOG]\nDIR=.\\logs\nLIM=1000\n", {"DIR", "LIM"}},
      {"case_and_blanks", "  [ log ]  \nDir = C:\\Tools\\logs  \n lim=  42\t\n", {"DIR", "LIM"}},
      {"quotes",
       "[LOG]\nA=\"quoted\"\nB='single'\nC=\"unbalanced\nD=\"mixed'\nE=\"\"\nF=\" spaced \"\nG=\"in\"side\"\n"
       "H= \"blank outside\" \nI=\"\"\"\n",
       {"A", "B", "C", "D", "E", "F", "G", "H", "I"}},
      {"duplicates", "[LOG]\nDIR=first\nDIR=second\n[LOG]\nDIR=third\nLIM=in_second\n[log]\nLIM=in_third\n",
       {"DIR", "LIM"}},
      {"missing_section", "[OTHER]\nDIR=x\nLIM=1\n", {"DIR", "LIM"}},
      {"over_long", "[LOG]\nLIM=123456789\nDIR=" + std::string(100, 'd') + "\n", {"DIR", "LIM"}},
      {"vertical_tab", "[LOG]\nDIR=a\vb\vc\nLIM=\v1\v\n", {"DIR", "LIM"}},
      {"no_trailing_newline", "[LOG]\nDIR=x\nLIM=77", {"DIR", "LIM"}},
      {"empty_values", "[LOG]\nDIR=\nLIM=   \n", {"DIR", "LIM"}},
      {"keys_without_equals", "[LOG]\nDIR\nLIM\nDIR=after\nLIM = after\n", {"DIR", "LIM"}},
      {"comments", "[LOG]\n;DIR=commented\nDIR=real\n#LIM=hash\n", {"DIR", "LIM", "#LIM", ";DIR"}},
      {"inner_blanks", "[LOG]\nmy key = v w \n", {"my key", "mykey", "my  key"}},
      {"unclosed_section", "[LOG\nDIR=x\n[LOG]x\nLIM=y\n", {"DIR", "LIM"}},
      {"unclosed_inside", "[LOG]\nA=1\n[OTHER\nB=2\n[a]b]\nC=3\n", {"A", "B", "C", "[OTHER"}},
      {"semicolon_key_no_value", "[LOG]\n;DIR\nDIR=v\n;LIM\n", {"DIR", ";DIR", ";LIM"}},
      {"equals_in_value", "[LOG]\nDIR=a=b\n=nokey\n", {"DIR", ""}},
      {"before_any_section", "DIR=top\n[LOG]\nLIM=1\n", {"DIR", "LIM"}},
      {"cr_only", "[LOG]\rDIR=cr\rLIM=2\r", {"DIR", "LIM"}},
      {"tabs", "[LOG]\n\tDIR\t=\tv\t\n", {"DIR"}},
      {"tabs_around_section", "\t[\tLOG\t]\t\r\n\tDIR\t=\t.\\log\t\r\n\tLIM\t=\t5\t\r\n", {"DIR", "LIM"}},
      {"utf8_bom", "\xEF\xBB\xBF[LOG]\nDIR=bom\n", {"DIR"}},
      {"code_page_bytes", "[LOG]\nDIR=C:\\\x83\x8D\x83\x4F\\x\n", {"DIR"}},
      {"spaced_section", "[ L O G ]\nDIR=spaced\n[LOG]\nDIR=plain\n", {"DIR"}},
      {"nul_inside", "[LOG]\nDIR=a\0b\nLIM=3\n"s, {"DIR", "LIM"}},
      {"empty_file", "", {"DIR"}},
  };
  return files;
}

std::string tempDir() {
  char buf[MAX_PATH];
  const DWORD n = GetTempPathA(MAX_PATH, buf);
  std::string dir(buf, n);
  dir += "crewmap_profile_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

std::string show(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out + "\"";
}

TEST(ProfileDifferential, PortableReaderMatchesGetPrivateProfileStringA) {
  const std::string dir = tempDir();
  const std::vector<std::string> sections = {"LOG", "log", " LOG "};
  const std::vector<std::string> defaults = {"ERROR", "dflt  ", ""};
  const std::vector<std::int32_t> sizes = {64, 8, 3, 2, 1, 0};
  std::vector<std::string> differences;
  int compared = 0;

  for (const IniFile& file : iniFiles()) {
    const std::string path = dir + file.name + ".ini";
    {
      std::ofstream out(path, std::ios::binary);
      out << file.contents;
    }
    for (const std::string& section : sections)
      for (const std::string& key : file.keys)
        for (const std::string& dflt : defaults)
          for (std::int32_t size : sizes) {
            const std::string windows = platform::GetPrivateProfileStringBytes(section, key, dflt, size, path);
            const std::string ours = platform::ReadPrivateProfileString(file.contents, section, key, dflt, size);
            ++compared;
            if (windows != ours)
              differences.push_back(std::string(file.name) + " [" + section + "] " + show(key) + " default " +
                                    show(dflt) + " size " + std::to_string(size) + ": Windows " + show(windows) +
                                    ", ours " + show(ours));
          }
    DeleteFileA(path.c_str());
  }

  // A file that does not exist gives the default, with the same cut.
  for (const std::string& dflt : defaults)
    for (std::int32_t size : sizes) {
      const std::string windows = platform::GetPrivateProfileStringBytes("LOG", "DIR", dflt, size, dir + "none.ini");
      const std::string ours = platform::ProfileDefault(dflt, size);
      ++compared;
      if (windows != ours)
        differences.push_back("missing file default " + show(dflt) + " size " + std::to_string(size) +
                              ": Windows " + show(windows) + ", ours " + show(ours));
    }
  RemoveDirectoryA(dir.c_str());

  std::string report;
  for (const std::string& d : differences) report += "  " + d + "\n";
  EXPECT_TRUE(differences.empty()) << differences.size() << " of " << compared << " lookups differ:\n" << report;
  EXPECT_GT(compared, 1000);
}

// The values the program reads, through the real service: the 7-byte cut of
// an over-long limit and the default for a missing file.
TEST(ProfileDifferential, SettingsValuesThroughTheSystem) {
  const std::string dir = tempDir();
  const std::string path = dir + "Crewmap.ini";
  {
    std::ofstream out(path, std::ios::binary);
    out << "[LOG]\r\nDIR=.\\log\r\nLIM=123456789\r\n";
  }
  EXPECT_EQ(platform::GetPrivateProfileStringBytes("LOG", "LIM", "ERROR", 8, path), "1234567");
  EXPECT_EQ(platform::GetPrivateProfileStringBytes("LOG", "DIR", "ERROR", 64, path), ".\\log");
  EXPECT_EQ(platform::GetPrivateProfileStringBytes("LOG", "DIR", "ERROR", 64, dir + "missing.ini"), "ERROR");
  DeleteFileA(path.c_str());
  RemoveDirectoryA(dir.c_str());
}

}  // namespace
}  // namespace crewmap::tests
