// Our code page 932 conversion against the table recorded from Windows'
// MultiByteToWideChar / WideCharToMultiByte: every single byte, every code
// from 0x8140 to 0xFCFC, invalid and truncated sequences, and every UTF-16
// code unit the other way. Built on Linux (iconv) and on Windows (the system
// calls, where the table itself is also checked against the live system).
#include <gtest/gtest.h>

#include <string>

#include "cp932_cases.h"
#include "cp932_table.h"
#include "platform/codepage.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace crewmap::tests {
namespace {

std::string tablePath() {
#ifdef _WIN32
  char self[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self, n);
  return path.substr(0, path.find_last_of("\\/") + 1) + "cp932_windows.txt";
#else
  return CP932_TABLE;
#endif
}

class Cp932Reference : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    auto loaded = Cp932Table::Load(tablePath(), error);
    ASSERT_TRUE(loaded) << error;
    table_ = new Cp932Table(std::move(*loaded));
  }
  static void TearDownTestSuite() {
    delete table_;
    table_ = nullptr;
  }
  static Cp932Table* table_;
};
Cp932Table* Cp932Reference::table_ = nullptr;

constexpr int kShownMismatches = 25;

TEST_F(Cp932Reference, TableCoversEveryInput) {
  ASSERT_NE(table_, nullptr);
  for (const std::string& in : Cp932ByteInputs()) EXPECT_EQ(table_->toWide.count(in), 1u) << ToHex(in);
}

TEST_F(Cp932Reference, BytesToTextAgreeWithWindows) {
  ASSERT_NE(table_, nullptr);
  int mismatches = 0;
  for (const std::string& in : Cp932ByteInputs()) {
    auto it = table_->toWide.find(in);
    if (it == table_->toWide.end()) continue;
    const std::string expected = Utf16ToUtf8(it->second);
    const std::string actual = platform::Cp932ToUtf8(in);
    if (actual != expected && ++mismatches <= kShownMismatches)
      ADD_FAILURE() << "bytes " << ToHex(in) << ": Windows gives UTF-16 " << ToHex(it->second) << ", ours "
                    << ToHex(actual) << " (UTF-8)";
  }
  EXPECT_EQ(mismatches, 0);
}

TEST_F(Cp932Reference, TextToBytesAgreeWithWindows) {
  ASSERT_NE(table_, nullptr);
  int mismatches = 0;
  for (const std::u16string& in : Cp932WideInputs()) {
    const std::string expected = table_->BytesFor(in);
    const std::string actual = platform::Utf8ToCp932(Utf16ToUtf8(in));
    if (actual != expected && ++mismatches <= kShownMismatches)
      ADD_FAILURE() << "UTF-16 " << ToHex(in) << ": Windows gives " << ToHex(expected) << ", ours "
                    << ToHex(actual);
  }
  EXPECT_EQ(mismatches, 0);
}

TEST_F(Cp932Reference, LongTextsConvertAsTheirParts) {
  // A whole message line, both ways, as the wire carries it.
  const std::string utf8 = "03:\xE3\x81\x82\xE3\x81\x84\xE8\x88\xB9\xE9\x95\xB7\t14175,7410\r\n";  // あい船長
  const std::string cp932 = "03:\x82\xA0\x82\xA2\x91\x44\x92\xB7\t14175,7410\r\n";
  EXPECT_EQ(ToHex(platform::Utf8ToCp932(utf8)), ToHex(cp932));
  EXPECT_EQ(platform::Cp932ToUtf8(cp932), utf8);
  EXPECT_EQ(platform::Cp932ToUtf8(""), "");
  EXPECT_EQ(platform::Utf8ToCp932(""), "");
}

#ifdef _WIN32
// The checked-in table is what this system's calls give today.
TEST_F(Cp932Reference, TableMatchesTheLiveSystem) {
  ASSERT_NE(table_, nullptr);
  int mismatches = 0;
  for (const auto& [bytes, wide] : table_->toWide) {
    wchar_t out[16];
    const int n = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), out, 16);
    const std::u16string live(out, out + (n > 0 ? n : 0));
    if (live != wide && ++mismatches <= kShownMismatches)
      ADD_FAILURE() << ToHex(bytes) << ": table " << ToHex(wide) << ", system " << ToHex(live);
  }
  EXPECT_EQ(mismatches, 0);
}
#endif

}  // namespace
}  // namespace crewmap::tests
