// Finding the pictures regardless of case and reading files whole.
#include "map/map_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

namespace crewmap::map {
namespace {

class MapFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh folder of our own; std::filesystem so it builds for Windows too.
    dir_ = std::filesystem::temp_directory_path() /
           ("crewmap_mapfiles_" + std::to_string(std::random_device{}()));
    ASSERT_TRUE(std::filesystem::create_directory(dir_));
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::filesystem::path dir_;
};

TEST_F(MapFiles, FindsNamesWithoutRegardToCase) {
  EXPECT_FALSE(FindFileNoCase(dir_, "worldmap_c1.jpg"));
  Write("WorldMap_C1.JPG", "x");
  const auto found = FindFileNoCase(dir_, "worldmap_c1.jpg");
  ASSERT_TRUE(found);
  // The file as stored (on a case-insensitive file system the lookup may
  // name it as asked).
  EXPECT_TRUE(std::filesystem::equivalent(*found, dir_ / "WorldMap_C1.JPG"));
  EXPECT_FALSE(FindFileNoCase(dir_, "worldmap_c2.jpg"));
  std::filesystem::create_directory(dir_ / "worldmap_c2.jpg");  // a folder is no file
  EXPECT_FALSE(FindFileNoCase(dir_, "worldmap_c2.jpg"));
  EXPECT_FALSE(FindFileNoCase(dir_ / "missing", "worldmap_c1.jpg"));
}

// A folder and a neighbour named in Japanese (the program folder of a
// Japanese user); the paths stay wide on Windows, never a narrow code page.
TEST_F(MapFiles, FindsAndReadsPicturesInAJapaneseFolder) {
  const std::filesystem::path folder = dir_ / std::filesystem::path(u8"航海 地図");
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  std::ofstream(folder / std::filesystem::path(u8"日本語のメモ.txt"), std::ios::binary) << "memo";
  std::ofstream(folder / "WORLDMAP_C2.jpg", std::ios::binary) << "jpeg";
  const auto found = FindFileNoCase(folder, "worldmap_c2.jpg");
  ASSERT_TRUE(found);
  const auto buffer = ReadWholeFile(*found);
  ASSERT_TRUE(buffer);
  EXPECT_EQ(std::string(buffer->Bytes.begin(), buffer->Bytes.end()), "jpeg");
  EXPECT_FALSE(FindFileNoCase(folder, "worldmap_c1.jpg"));
}

TEST_F(MapFiles, ReadsWholeFilesIndexedFromZero) {
  const std::string bytes("\xff\xd8\x00\x01\x02", 5);
  Write("a.bin", bytes);
  const auto buffer = ReadWholeFile(dir_ / "a.bin");
  ASSERT_TRUE(buffer);
  EXPECT_EQ(buffer->Lower, 0);
  EXPECT_EQ(buffer->Upper(), 4);
  EXPECT_EQ(std::string(buffer->Bytes.begin(), buffer->Bytes.end()), bytes);

  Write("empty.bin", "");
  const auto empty = ReadWholeFile(dir_ / "empty.bin");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->Upper(), -1);
  EXPECT_FALSE(ReadWholeFile(dir_ / "missing.bin"));
}

}  // namespace
}  // namespace crewmap::map
