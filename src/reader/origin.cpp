#include "reader/origin.h"

namespace crewmap::reader {
namespace {

// The read-out sits at a fixed distance from the bottom-right corner of a
// client area of the nominal size: origin = bound - 78 across, bound - 272 down.
struct Row {
  std::int64_t bound;
  std::int32_t origin;
};
constexpr Row kWidthRows[] = {{1280, 1202}, {1152, 1074}, {1024, 946}, {800, 722}};
constexpr Row kHeightRows[] = {{960, 688}, {864, 592}, {768, 496}, {600, 328}};

template <std::size_t N>
std::int32_t FirstRow(const Row (&rows)[N], std::int64_t size) {
  for (const Row& row : rows)
    if (size >= row.bound) return row.origin;
  return 0;
}

}  // namespace

std::int32_t XOriginForWidth(std::int64_t width) { return FirstRow(kWidthRows, width); }
std::int32_t YOriginForHeight(std::int64_t height) { return FirstRow(kHeightRows, height); }

ReadoutOrigin OriginForSize(std::int64_t width, std::int64_t height) {
  return {XOriginForWidth(width), YOriginForHeight(height)};
}

}  // namespace crewmap::reader
