// Code page 932 conversion and the portable private-profile reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/codepage.h"
#include "platform/profile.h"
#include "platform/profile_reader.h"

namespace crewmap::platform {
namespace {

// ---- code page 932 ----

struct Cp932Case {
  const char* utf8;
  const char* cp932;
};

TEST(Codepage932, KnownTextsConvertBothWays) {
  const Cp932Case cases[] = {
      {"User1", "User1"},
      {"山田太郎", "\x8E\x52\x93\x63\x91\xBE\x98\x59"},
      {"ｶﾀｶﾅ", "\xB6\xC0\xB6\xC5"},               // half-width katakana: one byte each
      {"～", "\x81\x60"},                          // FULLWIDTH TILDE, code page 932's wave dash
      {"船長①", "\x91\x44\x92\xB7\x87\x40"},      // NEC special character
      {"ソ表", "\x83\x5C\x95\x5C"},                // trail byte 0x5C ('\\') inside a character
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932);
    EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8);
  }
}

TEST(Codepage932, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp932("a😀b"), "a??b");  // as Windows: one "?" per UTF-16 half
  EXPECT_EQ(Utf8ToCp932("Ω한"), "\x83\xB6?");  // Greek omega exists, Hangul does not
  EXPECT_EQ(Utf8ToCp932("x\xFFy"), "x?y");        // broken UTF-8
  EXPECT_EQ(Utf8ToCp932("\xE3\x81"), "?");        // truncated UTF-8 at the end
  // Malformed sequences are no characters, even where their bits would name
  // one that code page 932 holds or approximates: between "a" and "b" only
  // "?" comes out (how many differs between conversions; Wine's gives one
  // per lead byte with its first trail byte plus one per further byte).
  auto onlyReplaced = [](const std::string& malformed) {
    const std::string out = Utf8ToCp932("a" + malformed + "b");
    return out.size() >= 3 && out.front() == 'a' && out.back() == 'b' &&
           out.find_first_not_of('?', 1) == out.size() - 1;
  };
  EXPECT_TRUE(onlyReplaced("\xE0\x83\x80"));      // overlong U+00C0, which best-fits to "A"
  EXPECT_TRUE(onlyReplaced("\xE0\x82\xB7"));      // overlong U+00B7, which maps to 0x81 0x45
  EXPECT_TRUE(onlyReplaced("\xC1\x81"));           // overlong "A" in two bytes
  EXPECT_TRUE(onlyReplaced("\xF0\x80\x81\x81"));  // overlong "A" in four bytes
  EXPECT_TRUE(onlyReplaced("\xED\xA0\x80"));      // UTF-16 surrogate
  EXPECT_TRUE(onlyReplaced("\xF4\x90\x80\x80"));  // past U+10FFFF
}

TEST(Codepage932, InvalidSequencesNeverFail) {
  const std::string dot = "\xE3\x83\xBB";  // U+30FB
  EXPECT_EQ(Cp932ToUtf8("ab\x82"), "ab" + dot);            // lone lead byte at the end
  EXPECT_EQ(Cp932ToUtf8("\x82\x0A" "c"), dot + "c");  // as Windows: a lead byte takes any next byte but NUL
  EXPECT_EQ(Cp932ToUtf8("\x85\x40z"), dot + "z");          // unassigned double-byte code
  // Every possible two-byte sequence converts to something without crashing.
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; b += 7) {
      const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
      EXPECT_FALSE(Cp932ToUtf8(bytes).empty());
    }
}

// ---- private-profile reader ----

struct ProfileCase {
  const char* name;
  const char* file;
  const char* section;
  const char* key;
  int size;
  const char* expected;
};

TEST(ProfileReader, WindowsRules) {
  const ProfileCase cases[] = {
      {"plain", "[LOG]\nDIR=C:\\logs\n", "LOG", "DIR", 64, "C:\\logs"},
      {"section and key ignore case", "[log]\ndir=x\n", "LOG", "DIR", 64, "x"},
      {"blanks around names and value", "  [ LOG ]  \n  DIR  =  a b  \n", "LOG", "DIR", 64, "a b"},
      {"double quotes removed", "[LOG]\nDIR=\" a \"\n", "LOG", "DIR", 64, " a "},
      {"single quotes removed", "[LOG]\nDIR='q'\n", "LOG", "DIR", 64, "q"},
      {"unmatched quotes kept", "[LOG]\nDIR=\"q'\n", "LOG", "DIR", 64, "\"q'"},
      {"one pair only", "[LOG]\nDIR=\"\"q\"\"\n", "LOG", "DIR", 64, "\"q\""},
      {"lone quote kept", "[LOG]\nDIR=\"\n", "LOG", "DIR", 64, "\""},
      {"first key wins", "[LOG]\nDIR=first\nDIR=second\n", "LOG", "DIR", 64, "first"},
      {"first section wins", "[LOG]\nLIM=1\n[LOG]\nDIR=late\n", "LOG", "DIR", 64, "ERROR"},
      {"CR LF lines", "[LOG]\r\nDIR=x\r\nLIM=5\r\n", "LOG", "LIM", 64, "5"},
      {"no final newline", "[LOG]\nLIM=77", "LOG", "LIM", 64, "77"},
      {"comment line", "[LOG]\n;DIR=no\nDIR=yes\n", "LOG", "DIR", 64, "yes"},
      {"line without '=' is a key without value", "[LOG]\nDIR\nDIR=v\n", "LOG", "DIR", 64, "ERROR"},
      {"';' starts no comment", "[LOG]\n;DIR=no\n", "LOG", ";DIR", 64, "no"},
      {"lone CR ends lines", "[LOG]\rDIR=x\rLIM=2", "LOG", "DIR", 64, "x"},
      {"quoted value that fits", "[LOG]\nDIR=\"abc\"\n", "LOG", "DIR", 5, "abc"},
      {"quoted value that just fits loses a byte", "[LOG]\nDIR=\"abc\"\n", "LOG", "DIR", 4, "ab"},
      {"vertical tabs at the ends are blanks", "[LOG]\nDIR=\va\vb\v\n", "LOG", "DIR", 64, "a\vb"},
      {"empty value", "[LOG]\nDIR=\n", "LOG", "DIR", 64, ""},
      {"value with '='", "[LOG]\nDIR=a=b\n", "LOG", "DIR", 64, "a=b"},
      {"other section", "[NET]\nDIR=x\n", "LOG", "DIR", 64, "ERROR"},
      {"key before any section", "DIR=x\n[LOG]\n", "LOG", "DIR", 64, "ERROR"},
      {"missing key", "[LOG]\nLIM=1\n", "LOG", "DIR", 64, "ERROR"},
      {"cut to size - 1", "[LOG]\nLIM=123456789\n", "LOG", "LIM", 8, "1234567"},
      {"default cut too", "", "LOG", "LIM", 3, "ER"},
      {"size 1 gives nothing", "[LOG]\nLIM=5\n", "LOG", "LIM", 1, ""},
      {"size 0 gives nothing", "[LOG]\nLIM=5\n", "LOG", "LIM", 0, ""},
      {"vertical tab kept by the reader", "[LOG]\nDIR=a\vb\n", "LOG", "DIR", 64, "a\vb"},
      {"BOM before the first section", "\xEF\xBB\xBF[LOG]\nDIR=b\n", "LOG", "DIR", 64, "b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadPrivateProfileString(c.file, c.section, c.key, "ERROR", c.size), c.expected);
  }
}

TEST(ProfileReader, DefaultLosesTrailingBlanksAndNulEndsOnlyAValue) {
  EXPECT_EQ(ReadPrivateProfileString("", "A", "B", "dflt  ", 64), "dflt");
  const std::string withNul("[A]\nB=1\0x\n\0[A]\nC=2\n", 21);
  EXPECT_EQ(ReadPrivateProfileString(withNul, "A", "B", "none", 64), "1");
  EXPECT_EQ(ReadPrivateProfileString(withNul, "A", "C", "none", 64), "2");
}

TEST(ProfileFile, ReadsTheFileAndFallsBackToTheDefault) {
  const auto dir = std::filesystem::temp_directory_path() / "crewmap_profile_test";
  std::filesystem::create_directories(dir);
  const auto file = (dir / "Crewmap.ini").string();
  {
    std::ofstream out(file, std::ios::binary);
    out << "[LOG]\r\nDIR = ./log \r\nLIM=1000\r\n";
  }
  EXPECT_EQ(GetPrivateProfileStringBytes("log", "dir", "ERROR", 64, file), "./log");
  EXPECT_EQ(GetPrivateProfileStringBytes("LOG", "LIM", "ERROR", 8, file), "1000");
  EXPECT_EQ(GetPrivateProfileStringBytes("LOG", "DIR", "ERROR", 64, (dir / "none.ini").string()),
            "ERROR");
  EXPECT_EQ(GetPrivateProfileStringBytes("LOG", "DIR", "ERROR", 64, dir.string()), "ERROR");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace crewmap::platform
