// Composition of the back buffer and its way to the map area, pixel by pixel.
#include "map/map_drawing.h"

#include <gtest/gtest.h>

#include "map_test_support.h"

namespace crewmap::map {
namespace {

class MapDrawing : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    left_ = new QImage(test::ColumnCodedHalf(false));
    right_ = new QImage(test::ColumnCodedHalf(true));
  }
  static void TearDownTestSuite() {
    delete left_;
    delete right_;
  }
  static QImage* left_;
  static QImage* right_;
};
QImage* MapDrawing::left_ = nullptr;
QImage* MapDrawing::right_ = nullptr;

TEST_F(MapDrawing, EveryBackBufferColumnShowsItsMapColumn) {
  struct Case {
    std::int32_t viewX, viewY, w, h;
  };
  const Case cases[] = {
      {100, 200, 366, 222}, {2300, 0, 366, 222}, {3000, 50, 366, 222}, {4700, 2174, 366, 222},
      {1000, 10, 3840, 300},  // wider than one half: the column rule repeats
      {4000, 0, 9600, 8},     // wider than the world
  };
  for (const Case& c : cases) {
    QImage back(c.w, c.h, QImage::Format_RGB32);
    back.fill(Qt::magenta);
    ComposeBackBuffer(*left_, *right_, c.viewX, c.viewY, back);
    for (int k = 0; k < c.w; ++k) {
      const int wantColumn = (c.viewX + k) % 4792;
      for (int r : {0, c.h / 2, c.h - 1}) {
        ASSERT_EQ(back.pixel(k, r), test::ColumnCodedColour(wantColumn, c.viewY + r))
            << "view " << c.viewX << " column " << k << " row " << r;
      }
    }
  }
}

TEST_F(MapDrawing, RowsOutsideTheWorldAreSea) {
  QImage back(50, 2600, QImage::Format_RGB32);
  ComposeBackBuffer(*left_, *right_, 10, -100, back);
  EXPECT_EQ(back.pixel(0, 0), SeaColour);
  EXPECT_EQ(back.pixel(49, 99), SeaColour);
  EXPECT_EQ(back.pixel(0, 100), test::ColumnCodedColour(10, 0));
  EXPECT_EQ(back.pixel(49, 2495), test::ColumnCodedColour(59, 2395));
  EXPECT_EQ(back.pixel(0, 2496), SeaColour);
  EXPECT_EQ(back.pixel(49, 2599), SeaColour);
}

TEST_F(MapDrawing, APictureSmallerThanAHalfLeavesSeaNotGarbage) {
  const QImage small = test::ColumnCodedHalf(false, 100, 100);
  QImage back(200, 150, QImage::Format_RGB32);
  ComposeBackBuffer(small, *right_, 50, 0, back);
  EXPECT_EQ(back.pixel(49, 99), test::ColumnCodedColour(99, 99));
  EXPECT_EQ(back.pixel(50, 10), SeaColour);
  EXPECT_EQ(back.pixel(10, 100), SeaColour);
  ComposeBackBuffer(QImage(), QImage(), 0, 0, back);  // no pictures at all
  EXPECT_EQ(back.pixel(199, 149), SeaColour);
}

TEST_F(MapDrawing, PlainCopyAndNearestNeighbourStretch) {
  QImage back(183, 111, QImage::Format_RGB32);
  ComposeBackBuffer(*left_, *right_, 100, 50, back);

  QImage same(183, 111, QImage::Format_RGB32);
  CopyPlain(back, same);
  EXPECT_EQ(same, back);

  // Zoom 2: every map pixel becomes a 2 x 2 block.
  QImage twice(366, 222, QImage::Format_RGB32);
  StretchNearest(back, twice);
  for (int y = 0; y < 222; ++y)
    for (int x = 0; x < 366; ++x)
      ASSERT_EQ(twice.pixel(x, y), back.pixel(x / 2, y / 2)) << x << "," << y;

  // Zoom 0.5: every other map pixel, the one under each screen pixel's centre.
  QImage wide(732, 444, QImage::Format_RGB32);
  ComposeBackBuffer(*left_, *right_, 4700, 0, wide);
  QImage half(366, 222, QImage::Format_RGB32);
  StretchNearest(wide, half);
  for (int x = 0; x < 366; ++x) ASSERT_EQ(half.pixel(x, 7), wide.pixel(2 * x + 1, 15)) << x;

  // Zoom 1.5 on a window whose size does not divide evenly: no pixel is left
  // unwritten.
  QImage odd(367, 223, QImage::Format_RGB32);
  odd.fill(Qt::magenta);
  QImage src(245, 149, QImage::Format_RGB32);
  ComposeBackBuffer(*left_, *right_, 0, 0, src);
  StretchNearest(src, odd);
  for (int y = 0; y < 223; ++y)
    for (int x = 0; x < 367; ++x) ASSERT_NE(odd.pixel(x, y), QColor(Qt::magenta).rgb()) << x << "," << y;
  EXPECT_EQ(test::DecodeColumn(odd.pixel(366, 0)), 244);
}

}  // namespace
}  // namespace crewmap::map
