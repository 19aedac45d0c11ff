// Composition of the back buffer and its way to the map area, pixel by pixel.
#include "map/map_drawing.h"

#include <gtest/gtest.h>

#include <cmath>

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

// The one-pass stretched view must show exactly what composing the whole
// back buffer and stretching it shows, for every zoom factor and for views
// inside a half, across the seam, across the eastern edge, wider than the
// world and taller than it.
TEST_F(MapDrawing, ScaledViewEqualsTheFullCompositionStretched) {
  struct View {
    std::int32_t viewX, viewY;
  };
  const View views[] = {{0, 0}, {100, 200}, {2300, 50}, {2395, 7}, {3000, 1000}, {4700, 2174},
                        {4791, 1}, {-208, 0}, {-4, -4}, {1000, 2300}};
  const QSize areas[] = {{366, 222}, {367, 223}, {1920, 1080}};
  const double zooms[] = {0.5, 0.75, 1.5, 2, 4, 8};
  ScaledViewScratch scratch;  // one set of buffers across all calls, as the window keeps it
  const HalfSizeLevel level = MakeHalfSizeLevel(*left_, *right_);
  for (const QSize area : areas) {
    for (double zoom : zooms) {
      // The visible size as the window computes it: round(pixels / zoom).
      const auto w = static_cast<std::int32_t>(std::nearbyint(area.width() / zoom));
      const auto h = static_cast<std::int32_t>(std::nearbyint(area.height() / zoom));
      for (const View& v : views) {
        QImage back(w, h, QImage::Format_RGB32);
        ComposeBackBuffer(*left_, *right_, v.viewX, v.viewY, back);
        QImage want(area, QImage::Format_RGB32);
        StretchNearest(back, want);
        QImage got(area, QImage::Format_RGB32);
        got.fill(Qt::magenta);
        DrawViewScaled(*left_, *right_, v.viewX, v.viewY, w, h, got, scratch);
        ASSERT_EQ(got, want) << "zoom " << zoom << " area " << area.width() << "x" << area.height() << " view "
                             << v.viewX << "," << v.viewY;
        // One piece alone, as Qt paints an uncovered part of the area into
        // the window's buffer: that piece of the whole, and nothing around it.
        // Fault caught (also from the level): a piece drawn from the area's
        // left edge instead of its own.
        const auto drawsPieceOnly = [&](const HalfSizeLevel* from) {
          const QRect piece(area.width() / 3, area.height() / 4, area.width() / 2, area.height() / 3);
          got.fill(Qt::magenta);
          DrawViewRect(*left_, *right_, v.viewX, v.viewY, w, h, area.width(), area.height(), piece,
                       got.bits() + piece.top() * got.bytesPerLine() + piece.left() * 4, got.bytesPerLine(), scratch,
                       from);
          QImage pieceOnly(area, QImage::Format_RGB32);
          pieceOnly.fill(Qt::magenta);
          for (int y = piece.top(); y <= piece.bottom(); ++y)
            for (int x = piece.left(); x <= piece.right(); ++x) pieceOnly.setPixel(x, y, want.pixel(x, y));
          return got == pieceOnly;
        };
        ASSERT_TRUE(drawsPieceOnly(nullptr)) << "piece, zoom " << zoom << " view " << v.viewX << "," << v.viewY;
        // With the half-size level (used at zoom 0.5 only): the view from
        // the even origin at or before this one, the odd pixel of each tie.
        if (zoom == 0.5) {
          ComposeBackBuffer(*left_, *right_, v.viewX - (v.viewX & 1), v.viewY - (v.viewY & 1), back);
          StretchNearest(back, want);
        }
        got.fill(Qt::magenta);
        DrawViewScaled(*left_, *right_, v.viewX, v.viewY, w, h, got, scratch, &level);
        ASSERT_EQ(got, want) << "level, zoom " << zoom << " area " << area.width() << "x" << area.height()
                             << " view " << v.viewX << "," << v.viewY;
        ASSERT_TRUE(drawsPieceOnly(&level)) << "level piece, zoom " << zoom << " view " << v.viewX << "," << v.viewY;
      }
    }
  }
}

TEST_F(MapDrawing, ScaledViewTallerAndWiderThanTheWorld) {
  // Zoom 0.5 on a 2560 x 1600 area: 5120 x 3200 map pixels, more than the
  // whole world both ways; the columns wrap and the rows beyond the poles
  // are sea.
  ScaledViewScratch scratch;
  QImage got(2560, 1600, QImage::Format_RGB32);
  const std::int32_t viewX = 4000, viewY = -402;
  DrawViewScaled(*left_, *right_, viewX, viewY, 5120, 3200, got, scratch);
  for (int y = 0; y < 1600; ++y) {
    const int mapRow = viewY + 2 * y + 1;  // the row under the pixel's centre
    for (int x = 0; x < 2560; x += 7) {
      const QRgb want =
          mapRow < 0 || mapRow >= 2396 ? SeaColour : test::ColumnCodedColour((viewX + 2 * x + 1) % 4792, mapRow);
      ASSERT_EQ(got.pixel(x, y), want) << x << "," << y;
    }
  }
}

TEST_F(MapDrawing, ScaledViewOfMissingOrSmallPicturesShowsSea) {
  ScaledViewScratch scratch;
  const QImage small = test::ColumnCodedHalf(false, 100, 100);
  struct Case {
    const QImage* left;
    const QImage* right;
    std::int32_t viewX, viewY, w, h;
    QSize area;
  };
  const QImage none;
  const Case cases[] = {
      {&small, right_, 50, 0, 300, 200, {150, 100}},       // zoom 0.5 past a small left half
      {&small, &small, 4000, -30, 2000, 400, {1000, 200}},  // zoom 0.5, small pictures both sides
      {&small, &small, 4001, 31, 2000, 400, {1000, 200}},
      {&small, right_, 4700, 90, 200, 30, {400, 60}},      // zoom 2 across the eastern edge
      {&none, &none, 0, 0, 244, 148, {366, 222}},          // no pictures at all
      {right_, right_, 2300, 0, 488, 296, {366, 222}},     // one image as both halves
      {left_, left_, 4700, 0, 183, 111, {366, 222}},
  };
  for (const Case& c : cases) {
    QImage back(c.w, c.h, QImage::Format_RGB32);
    ComposeBackBuffer(*c.left, *c.right, c.viewX, c.viewY, back);
    QImage want(c.area, QImage::Format_RGB32);
    StretchNearest(back, want);
    QImage got(c.area, QImage::Format_RGB32);
    got.fill(Qt::magenta);
    DrawViewScaled(*c.left, *c.right, c.viewX, c.viewY, c.w, c.h, got, scratch);
    ASSERT_EQ(got, want) << c.viewX << " " << c.w;
    const HalfSizeLevel level = MakeHalfSizeLevel(*c.left, *c.right);
    if (c.w == 2 * c.area.width() && c.h == 2 * c.area.height()) {
      ComposeBackBuffer(*c.left, *c.right, c.viewX - (c.viewX & 1), c.viewY - (c.viewY & 1), back);
      StretchNearest(back, want);
    }
    got.fill(Qt::magenta);
    DrawViewScaled(*c.left, *c.right, c.viewX, c.viewY, c.w, c.h, got, scratch, &level);
    ASSERT_EQ(got, want) << "level " << c.viewX << " " << c.w;
  }
  {
    // A level made from other pictures is not used.
    const HalfSizeLevel stale = MakeHalfSizeLevel(small, small);
    EXPECT_FALSE(stale.MadeFrom(*left_, *right_));
    QImage want(200, 100, QImage::Format_RGB32), got(200, 100, QImage::Format_RGB32);
    QImage back(400, 200, QImage::Format_RGB32);
    ComposeBackBuffer(*left_, *right_, 10, 10, back);
    StretchNearest(back, want);
    DrawViewScaled(*left_, *right_, 10, 10, 400, 200, got, scratch, &stale);
    EXPECT_EQ(got, want);
  }
  // The small picture's own pixels still show; past it, sea.
  QImage got(150, 100, QImage::Format_RGB32);
  DrawViewScaled(small, *right_, 50, 0, 300, 200, got, scratch);
  EXPECT_EQ(got.pixel(0, 0), test::ColumnCodedColour(51, 1));
  EXPECT_EQ(got.pixel(24, 49), test::ColumnCodedColour(99, 99));
  EXPECT_EQ(got.pixel(25, 0), SeaColour);
  EXPECT_EQ(got.pixel(0, 50), SeaColour);
  // An empty view is all sea; an empty destination is left alone.
  DrawViewScaled(*left_, *right_, 0, 0, 0, 0, got, scratch);
  EXPECT_EQ(got.pixel(149, 99), SeaColour);
  QImage empty;
  DrawViewScaled(*left_, *right_, 0, 0, 10, 10, empty, scratch);
  EXPECT_TRUE(empty.isNull());
}

}  // namespace
}  // namespace crewmap::map
