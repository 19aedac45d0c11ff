// The glyph decision over arbitrary pixels, at any cell origin.
//
// Input: the cell origin (two 32-bit values, mostly small), then one byte per
// pixel of the 6 x 10 cell choosing white, black, unreadable or another
// colour.
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "reader/glyph.h"

namespace {

constexpr int kCellWidth = 6;
constexpr int kCellHeight = 10;

// The probes the decision may read, as offsets from the cell origin.
bool IsProbe(std::int64_t dx, std::int64_t dy) {
  static constexpr int kProbes[][2] = {{1, 8}, {2, 9}, {2, 8}, {3, 8}, {4, 8}, {1, 0}, {1, 3}, {1, 4}, {4, 4}};
  for (const auto& p : kProbes)
    if (p[0] == dx && p[1] == dy) return true;
  return false;
}

std::int32_t Origin(std::uint32_t raw) {
  // Mostly ordinary places; sometimes the ends of the 32-bit range.
  if ((raw & 0xC0000000u) == 0xC0000000u) return static_cast<std::int32_t>(raw);
  if ((raw & 0xC0000000u) == 0x80000000u) return std::numeric_limits<std::int32_t>::max() - static_cast<std::int32_t>(raw % 16);
  return static_cast<std::int32_t>(raw % 4096);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace crewmap::reader;
  crewmap::fuzz::InputReader input(data, size);
  const std::int32_t x = Origin(input.U32());
  const std::int32_t y = Origin(input.U32());
  std::array<std::uint32_t, kCellWidth * kCellHeight> cell{};
  for (std::uint32_t& colour : cell) {
    const std::uint8_t b = input.Byte();
    switch (b % 5) {
      case 0: colour = kWhite; break;
      case 1: colour = kBlack; break;
      case 2: colour = crewmap::platform::kInvalidColor; break;
      case 3: colour = 0x00FFFFFEu; break;  // nearly white is not white
      default: colour = static_cast<std::uint32_t>(b) * 0x010101u; break;
    }
  }

  std::vector<std::pair<std::int32_t, std::int32_t>> reads;
  const PixelRead one = [&](std::int32_t px, std::int32_t py) -> std::uint32_t {
    const std::int64_t dx = std::int64_t{px} - x;
    const std::int64_t dy = std::int64_t{py} - y;
    FUZZ_CHECK(IsProbe(dx, dy));
    reads.emplace_back(px, py);
    return cell[static_cast<std::size_t>(dy * kCellWidth + dx)];
  };
  const std::string glyph = ReadGlyph(one, x, y);
  FUZZ_CHECK(glyph.empty() || glyph == "," || (glyph.size() == 1 && glyph[0] >= '0' && glyph[0] <= '9'));
  // Between two and nine reads, unless the cell lies at the end of the range.
  const bool inRange = x <= std::numeric_limits<std::int32_t>::max() - kCellWidth &&
                       y <= std::numeric_limits<std::int32_t>::max() - kCellHeight;
  if (inRange) FUZZ_CHECK(reads.size() >= 2 && reads.size() <= 9);

  // Reading a step's pixels together decides the same from the same reads.
  const auto oneByOne = reads;
  reads.clear();
  const PixelStepRead together = [&](const crewmap::platform::PixelPoint* points, std::size_t count,
                                     std::uint32_t* colours) {
    FUZZ_CHECK(count >= 1 && count <= 3);
    for (std::size_t i = 0; i < count; ++i) colours[i] = one(points[i].x, points[i].y);
  };
  FUZZ_CHECK(ReadGlyph(together, x, y) == glyph);
  FUZZ_CHECK(reads == oneByOne);
  return 0;
}
