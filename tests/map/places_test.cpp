// Spots typed and pasted as text, the places file, and a route's steps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "map/places.h"
#include "map/point_text.h"
#include "map/route.h"

namespace crewmap::map {
namespace {

// Caught: full-width forms, brackets, labels or blanks refused; a third
// number, a name or a sign taken; the world's edges off by one.
TEST(PointText, TypedAndPastedForms) {
  using E = PointTextError;
  const struct {
    const char* text;
    E error;
    GamePoint point;
  } typed[] = {
      {"12345,6789", E::None, {12345, 6789}},       {"１２３４５，６７８９", E::None, {12345, 6789}},
      {" 12345 , 6789 ", E::None, {12345, 6789}},   {"(12345, 6789)", E::None, {12345, 6789}},
      {"「12345，6789」", E::None, {12345, 6789}},  {"X:12345 Y:6789", E::None, {12345, 6789}},
      {"12345 6789", E::None, {12345, 6789}},       {"12345、6789", E::None, {12345, 6789}},
      {"16383,8191", E::None, {16383, 8191}},       {"0,007", E::None, {0, 7}},
      {"16384,100", E::OutsideWorld, {}},           {"100,8192", E::OutsideWorld, {}},
      {"123456,1", E::OutsideWorld, {}},            {"12345", E::NotTwoNumbers, {}},
      {"1,2,3", E::NotTwoNumbers, {}},              {"12a45,6789", E::NotTwoNumbers, {}},
      {"喜望峰 12345,6789", E::NotTwoNumbers, {}}, {"-5,100", E::NotTwoNumbers, {}},
      {"12.5,100", E::NotTwoNumbers, {}},           {"", E::NotTwoNumbers, {}},
  };
  for (const auto& c : typed) {
    const TypedPoint got = ReadTypedPoint(c.text);
    EXPECT_EQ(got.error, c.error) << c.text;
    EXPECT_EQ(got.point.value_or(GamePoint{}), c.point) << c.text;
  }
  const struct {
    const char* line;
    const char* name;  // nullptr: not a place
    GamePoint point;
  } lines[] = {
      {"喜望峰\t12345\t6789", "喜望峰", {12345, 6789}},
      {"喜望峰, 12345, 6789", "喜望峰", {12345, 6789}},
      {"喜望峰 (12345, 6789)", "喜望峰", {12345, 6789}},
      {"12345,6789 喜望峰", "喜望峰", {12345, 6789}},
      {"第2砦 1234 5678", "第2砦", {1234, 5678}},
      {"ＡＢＣ岬　１２３４５，６７８９", "ＡＢＣ岬", {12345, 6789}},
      {"Cape X: 100 Y: 200", "Cape", {100, 200}},
      {"名前\tX\tY", nullptr, {}},
      {"喜望峰 99999 6789", nullptr, {}},
      {"12345,6789", nullptr, {}},
  };
  for (const auto& c : lines) {
    const auto got = ReadPlaceLine(c.line);
    ASSERT_EQ(got.has_value(), c.name != nullptr) << c.line;
    if (got) {
      EXPECT_TRUE(got->name == c.name && got->point == c.point) << c.line << " -> " << got->name;
    }
  }
}

// Caught: the distance taken the long way round the seam, a step past
// either end, the route not ending after its last place.
TEST(Route, StepsOnByItselfAcrossTheSeam) {
  Route route;
  ASSERT_TRUE(route.Start({{"A", {16380, 100}}, {"B", {5, 100}}, {"C", {8000, 4000}}}));
  EXPECT_FALSE(route.Back());
  EXPECT_FALSE(route.Note(16300, 100, 30));  // 80 away
  auto arrival = route.Note(10, 100, 30);     // 14 away across the seam
  ASSERT_TRUE(arrival);
  EXPECT_EQ(ArrivalText(*arrival), "A に到着しました (1/3)");
  EXPECT_EQ(route.StepText(), "2/3 B");
  ASSERT_TRUE(route.Note(16383, 100, 30));  // 6 away, the other way
  EXPECT_EQ(route.StepText(), "3/3 C");
  EXPECT_TRUE(route.Back());
  EXPECT_TRUE(route.Forward());
  EXPECT_FALSE(route.Forward());
  arrival = route.Note(8020, 4000, 30);
  ASSERT_TRUE(arrival && arrival->last);
  EXPECT_EQ(ArrivalText(*arrival), "C に到着しました (3/3) ルートの終わりです");
  EXPECT_FALSE(route.Active());
  EXPECT_FALSE(route.Note(8000, 4000, 30));
}

// Caught: a line the program cannot read (not a place, or not UTF-8)
// dropped or moved on write-back, a hand-written place respelled, the
// byte-order mark or CR LF lost, pasted lines that are not places unnamed.
TEST(PlacesFile, KeepsWhatItCannotReadWhenWritingBack) {
  char folder[] = "/tmp/crewmap_places_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::filesystem::path file = std::filesystem::path(folder) / PlacesFileName;
  const std::string before =
      "\xEF\xBB\xBF# 航路\r\n喜望峰\t12345,6789\r\n\r\nこれは地点ではない\r\n\x8A\xEC 1,2\r\nナタール (14000, 6500)\r\n";
  std::ofstream(file, std::ios::binary) << before;

  PlacesStore store(file);
  ASSERT_TRUE(store.Load());
  EXPECT_EQ(store.Current().UnreadableLines(), (std::vector<int>{4, 5}));
  EXPECT_EQ(UnreadableText(store.Current().UnreadableLines()),
            "places.txt の 4, 5 行目は地点として読めないため、そのまま残しています");
  EXPECT_EQ(store.Current().Places(), (std::vector<Place>{{"喜望峰", {12345, 6789}}, {"ナタール", {14000, 6500}}}));

  PlacesFile::Pasted pasted;
  ASSERT_TRUE(store.Change([&](PlacesFile& f) {
    f.Save("ナタール", {14001, 6501});
    pasted = f.Paste("名前\tX\tY\n\nセウタ\t6800\t2900\n");
  }));
  EXPECT_EQ(PastedText(pasted), "1 件の地点を追加しました（1 行目は地点ではありません）");
  std::ostringstream after;
  after << std::ifstream(file, std::ios::binary).rdbuf();
  EXPECT_EQ(after.str(),
            "\xEF\xBB\xBF# 航路\r\n喜望峰\t12345,6789\r\n\r\nこれは地点ではない\r\n\x8A\xEC 1,2\r\n"
            "ナタール\t14001,6501\r\nセウタ\t6800,2900\r\n");
  store.Change([](PlacesFile& f) { f.Remove(0); });
  EXPECT_EQ(store.Current().UnreadableLines(), (std::vector<int>{3, 4}));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace crewmap::map
