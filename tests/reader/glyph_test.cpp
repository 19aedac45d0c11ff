// The glyph decision: the captured strip, exact colours, the decision table,
// how many pixels it reads, and that no pixel values can upset it.
#include "reader/glyph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/window_source.h"
#include "readout_canvas.h"

namespace crewmap::reader {
namespace {

using test::ReadoutCanvas;
constexpr std::uint32_t kInvalid = platform::kInvalidColor;

// Pixel reads over a map of explicit pixels (everything else `fill`),
// counting the reads and remembering where they were.
struct ProbeSheet {
  std::uint32_t fill = test::kSea;
  std::map<std::pair<std::int64_t, std::int64_t>, std::uint32_t> pixels;
  mutable std::vector<std::pair<std::int64_t, std::int64_t>> reads;

  PixelRead Reader() const {
    return [this](std::int32_t x, std::int32_t y) {
      reads.emplace_back(x, y);
      const auto it = pixels.find({x, y});
      return it == pixels.end() ? fill : it->second;
    };
  }
};

TEST(ReadGlyph, CapturedStripReadsCellByCell) {
  // The 73 x 17 capture: cells at x = 9 + 6k, y = 4, the last two blank.
  ReadoutCanvas strip(73, 17);
  strip.DrawReadout("14602,5579", 9, 4);
  const PixelRead read = [&strip](std::int32_t x, std::int32_t y) { return strip.At(x, y); };

  const std::vector<std::string> expected = {"1", "4", "6", "0", "2", ",", "5", "5", "7", "9", "", ""};
  std::string joined;
  for (int k = 0; k < 12; ++k) {
    const std::string got = ReadGlyph(read, 9 + 6 * k, 4);
    EXPECT_EQ(got, expected[static_cast<std::size_t>(k)]) << "cell " << k;
    joined += got;
  }
  EXPECT_EQ(joined, "14602,5579");
  // The comma's P1 in the strip is exact black (its outline).
  EXPECT_EQ(strip.At(9 + 6 * 5 + 1, 4 + 8), 0u);
}

TEST(ReadGlyph, EveryGlyphOfTheFontIncludingThreeAndEight) {
  const std::string all = "0123456789,";
  ReadoutCanvas canvas(6 * 12 + 4, 14);
  canvas.DrawReadout(all, 1, 2);
  const PixelRead read = [&canvas](std::int32_t x, std::int32_t y) { return canvas.At(x, y); };
  for (std::size_t k = 0; k < all.size(); ++k)
    EXPECT_EQ(ReadGlyph(read, 1 + 6 * static_cast<int>(k), 2), std::string(1, all[k]));
}

// Probe offsets, named as in the decision.
constexpr std::pair<int, int> P1{1, 8}, P2{2, 9}, P3{2, 8}, P4{3, 8}, P5{4, 8}, P6{1, 0}, P7{1, 3}, P8{1, 4},
    P9{4, 4};

struct DecisionRow {
  const char* name;
  std::vector<std::pair<std::pair<int, int>, std::uint32_t>> facts;  // unset probes: sea colour
  std::string expected;
  std::size_t minReads;
  std::size_t maxReads;
};

class DecisionTable : public ::testing::TestWithParam<DecisionRow> {};

TEST_P(DecisionTable, FirstMatchingRowDecides) {
  const DecisionRow& row = GetParam();
  ProbeSheet sheet;
  const int x = 100;
  const int y = 50;
  for (const auto& [probe, color] : row.facts) sheet.pixels[{x + probe.first, y + probe.second}] = color;
  EXPECT_EQ(ReadGlyph(sheet.Reader(), x, y), row.expected);
  EXPECT_GE(sheet.reads.size(), row.minReads);
  EXPECT_LE(sheet.reads.size(), row.maxReads);
}

constexpr std::uint32_t W = 0x00FFFFFFu;
constexpr std::uint32_t B = 0x00000000u;

INSTANTIATE_TEST_SUITE_P(
    Rows, DecisionTable,
    ::testing::Values(
        DecisionRow{"comma", {{P2, W}, {P1, B}}, ",", 2, 2},
        DecisionRow{"tail_without_black", {{P2, W}}, "", 2, 2},
        DecisionRow{"tail_over_white", {{P2, W}, {P1, W}, {P3, W}, {P4, W}}, "", 2, 2},
        DecisionRow{"comma_dark_red", {{P2, W}, {P1, 0x00000001u}}, "", 2, 2},
        DecisionRow{"comma_invalid_p1", {{P2, W}, {P1, kInvalid}}, "", 2, 2},
        DecisionRow{"two", {{P1, W}, {P3, W}, {P4, W}}, "2", 2, 2},
        DecisionRow{"one", {{P4, W}}, "1", 4, 5},
        DecisionRow{"four", {{P5, W}}, "4", 5, 5},
        DecisionRow{"blank", {}, "", 5, 5},
        DecisionRow{"seven", {{P3, W}, {P5, W}}, "7", 4, 5},
        DecisionRow{"five", {{P3, W}, {P4, W}, {P6, W}, {P8, W}, {P9, W}}, "5", 5, 6},
        DecisionRow{"zero", {{P3, W}, {P4, W}, {P8, W}, {P9, W}}, "0", 8, 9},
        DecisionRow{"six", {{P3, W}, {P4, W}, {P8, W}, {P7, W}}, "6", 8, 9},
        DecisionRow{"nine", {{P3, W}, {P4, W}, {P9, W}, {P7, W}}, "9", 8, 9},
        DecisionRow{"eight", {{P3, W}, {P4, W}, {P7, W}}, "8", 8, 9},
        DecisionRow{"three", {{P3, W}, {P4, W}}, "3", 8, 9},
        DecisionRow{"three_black_everywhere_else", {{P1, B}, {P2, B}, {P3, W}, {P4, W}, {P5, B}, {P6, B}}, "3", 8,
                    9}),
    [](const ::testing::TestParamInfo<DecisionRow>& info) { return std::string(info.param.name); });

TEST(ReadGlyph, OffByOneWhiteNeverCountsAsWhite) {
  // A whole font drawn in almost-white, one channel at a time.
  for (const std::uint32_t nearWhite : {0x00FFFFFEu, 0x00FFFEFFu, 0x00FEFFFFu, 0x01FFFFFFu}) {
    ReadoutCanvas canvas(80, 14);
    canvas.DrawReadout("0123456789,", 1, 2);
    for (int y = 0; y < canvas.Height(); ++y)
      for (int x = 0; x < canvas.Width(); ++x)
        if (canvas.At(x, y) == W) canvas.Set(x, y, nearWhite);
    const PixelRead read = [&canvas](std::int32_t x, std::int32_t y) { return canvas.At(x, y); };
    for (int k = 0; k < 11; ++k) EXPECT_EQ(ReadGlyph(read, 1 + 6 * k, 2), "") << std::hex << nearWhite << " cell " << k;
  }
}

TEST(ReadGlyph, UnreadablePixelsGiveEmpty) {
  const PixelRead invalid = [](std::int32_t, std::int32_t) { return kInvalid; };
  const PixelRead white = [](std::int32_t, std::int32_t) { return W; };
  const PixelRead black = [](std::int32_t, std::int32_t) { return B; };
  for (const auto& [x, y] : std::vector<std::pair<std::int32_t, std::int32_t>>{
           {0, 0}, {-5, -5}, {std::numeric_limits<std::int32_t>::min(), 0}, {0, std::numeric_limits<std::int32_t>::min()}}) {
    EXPECT_EQ(ReadGlyph(invalid, x, y), "");
    EXPECT_EQ(ReadGlyph(white, x, y), "");  // P2 and P1 both white: neither "," nor "2"
    EXPECT_EQ(ReadGlyph(black, x, y), "");
  }
}

TEST(ReadGlyph, CellsAtTheEndOfTheCoordinateRangeDoNotOverflow) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  std::vector<std::pair<std::int32_t, std::int32_t>> seen;
  const PixelRead read = [&seen](std::int32_t x, std::int32_t y) {
    seen.emplace_back(x, y);
    return W;
  };
  // Every probe lies beyond 32 bits, so nothing is read and the cell is blank.
  EXPECT_EQ(ReadGlyph(read, kMax, kMax), "");
  EXPECT_TRUE(seen.empty());
  // Probes that do fit are read at their true place, not at a wrapped one.
  EXPECT_EQ(ReadGlyph(read, kMax - 4, 0), "");
  for (const auto& [x, y] : seen) EXPECT_GE(x, kMax - 4);
}

TEST(ReadGlyph, PixelSoupAlwaysGivesOneOfTheTwelveTexts) {
  const std::set<std::string> allowed = {"", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ","};
  const std::set<std::pair<int, int>> probes = {P1, P2, P3, P4, P5, P6, P7, P8, P9};
  std::mt19937 rng(20240607);
  // Mostly the two exact colours, so every branch is taken often; the rest
  // near misses, the invalid colour and anything at all.
  const std::uint32_t palette[] = {W, W, W, B, B, 0x00FFFFFEu, 0x00010000u, kInvalid, test::kSea};
  std::map<std::string, int> seenResults;
  for (int cell = 0; cell < 100000; ++cell) {
    const std::int32_t x = static_cast<std::int32_t>(rng()) / 2;
    const std::int32_t y = static_cast<std::int32_t>(rng()) / 2;
    std::vector<std::pair<std::int64_t, std::int64_t>> reads;
    const PixelRead read = [&](std::int32_t px, std::int32_t py) -> std::uint32_t {
      reads.emplace_back(px, py);
      const std::uint32_t pick = rng() % 10;
      return pick < 9 ? palette[pick] : static_cast<std::uint32_t>(rng());
    };
    const std::string got = ReadGlyph(read, x, y);
    ASSERT_TRUE(allowed.count(got)) << got;
    ++seenResults[got];
    ASSERT_GE(reads.size(), 2u);
    ASSERT_LE(reads.size(), 9u);
    std::set<std::pair<int, int>> distinct;
    for (const auto& [px, py] : reads) {
      const std::pair<int, int> offset{static_cast<int>(px - x), static_cast<int>(py - y)};
      ASSERT_TRUE(probes.count(offset)) << "read outside the probes: " << offset.first << "," << offset.second;
      distinct.insert(offset);
    }
    ASSERT_EQ(distinct.size(), reads.size()) << "a probe was read twice";
  }
  EXPECT_EQ(seenResults.size(), allowed.size()) << "every result should turn up in the soup";
}

// The same decision through a window source's device context.
class CanvasSource final : public platform::WindowSource {
 public:
  explicit CanvasSource(const ReadoutCanvas& canvas) : canvas_(canvas) {}
  platform::WindowHandle FindWindowByTitle(std::string_view) override { return 0; }
  platform::DeviceContext GetDC(platform::WindowHandle) override { return 7; }
  bool GetWindowRect(platform::WindowHandle, platform::WindowRect&) override { return false; }
  std::uint32_t GetPixel(platform::DeviceContext dc, std::int32_t x, std::int32_t y) override {
    ++reads;
    return dc == 7 ? canvas_.At(x, y) : kInvalid;
  }
  void GetPixels(platform::DeviceContext dc, const platform::PixelPoint* points, std::size_t count,
                 std::uint32_t* colors) override {
    ++batches;
    largestBatch = std::max(largestBatch, count);
    WindowSource::GetPixels(dc, points, count, colors);
  }
  void ReleaseDC(platform::WindowHandle, platform::DeviceContext) override {}
  int reads = 0;
  int batches = 0;
  std::size_t largestBatch = 0;

 private:
  const ReadoutCanvas& canvas_;
};

TEST(ReadGlyph, ReadsThroughTheGivenDeviceContext) {
  ReadoutCanvas canvas(30, 14);
  canvas.DrawReadout("8,3", 2, 2);
  CanvasSource source(canvas);
  EXPECT_EQ(ReadGlyph(source, 7, 2, 2), "8");
  EXPECT_EQ(ReadGlyph(source, 7, 8, 2), ",");
  EXPECT_EQ(ReadGlyph(source, 7, 14, 2), "3");
  EXPECT_EQ(ReadGlyph(source, 8, 2, 2), "");  // another context reads nothing valid
  EXPECT_LE(source.reads, 4 * 9);
}

TEST(ReadGlyph, ThePixelsOfOneStepAreAskedForTogether) {
  // "8" needs every step: {P1, P2}, {P3, P4, P5}, {P6}, {P7, P8, P9}.
  ReadoutCanvas canvas(30, 14);
  canvas.DrawReadout("8,", 2, 2);
  CanvasSource source(canvas);
  EXPECT_EQ(ReadGlyph(source, 7, 2, 2), "8");
  EXPECT_EQ(source.batches, 4);
  EXPECT_EQ(source.reads, 9);
  EXPECT_EQ(source.largestBatch, 3u);
  // The comma is decided by the first step alone.
  source.batches = source.reads = 0;
  EXPECT_EQ(ReadGlyph(source, 7, 8, 2), ",");
  EXPECT_EQ(source.batches, 1);
  EXPECT_EQ(source.reads, 2);
}

// The rectangle a block read copies holds every pixel any decision probes, and
// one that would leave the 32-bit range is empty (the caller reads singly).
TEST(ProbeArea, HoldsEveryProbeOfEveryCellAndNothingBeyondTheirColumnsAndRows) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 2000; ++trial) {
    // Random white/black/other pixels drive the decision down every branch.
    ProbeSheet sheet;
    for (int dx = 0; dx < 6; ++dx)
      for (int dy = 0; dy < 10; ++dy) {
        const std::uint32_t colors[] = {kWhite, kBlack, test::kSea};
        sheet.pixels[{100 + dx, 50 + dy}] = colors[rng() % 3];
      }
    ReadGlyph(sheet.Reader(), 100, 50);
    const platform::PixelRect area = ProbeArea(100, 50, 1, 6);
    for (const auto& [x, y] : sheet.reads) {
      EXPECT_GE(x, area.left);
      EXPECT_LT(x, area.left + area.width);
      EXPECT_GE(y, area.top);
      EXPECT_LT(y, area.top + area.height);
    }
  }
  const platform::PixelRect twelve = ProbeArea(722, 328, 12, 6);
  EXPECT_EQ(twelve.left, 723);
  EXPECT_EQ(twelve.top, 328);
  EXPECT_EQ(twelve.width, 70);  // columns 723 to 792
  EXPECT_EQ(twelve.height, 10);
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(ProbeArea(kMax - 4, 0, 1, 6).width, 4);
  EXPECT_EQ(ProbeArea(kMax - 3, 0, 1, 6).width, 0);
  EXPECT_EQ(ProbeArea(0, kMax - 8, 1, 6).width, 0);
  EXPECT_EQ(ProbeArea(0, 0, 0, 6).width, 0);
  // A block read answers like single reads, invalid beyond its rectangle.
  platform::PixelBlock block;
  block.Reset(twelve, kWhite);
  EXPECT_EQ(block.At(723, 328), kWhite);
  EXPECT_EQ(block.At(792, 337), kWhite);
  const std::pair<std::int32_t, std::int32_t> outside[] = {{722, 328}, {793, 328}, {723, 327},
                                                           {723, 338}, {kMax, kMax}, {-kMax, 0}};
  for (const auto& [x, y] : outside) EXPECT_EQ(block.At(x, y), kInvalid) << x << "," << y;
}

}  // namespace
}  // namespace crewmap::reader
