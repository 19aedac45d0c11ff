#include "ui/list_scroll.h"

#include <algorithm>

namespace crewmap::ui {

int TopRowShowing(int row, int top, int fullRows) {
  fullRows = std::max(fullRows, 1);
  if (row < top) return row;
  if (row >= top + fullRows) return row - fullRows + 1;
  return top;
}

int LastTopRow(int count, int fullRows) { return std::max(count - std::max(fullRows, 1), 0); }

}  // namespace crewmap::ui
