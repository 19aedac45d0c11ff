#pragma once
// Scrolling rules of a list box whose rows all have the same height: which
// row is at the top so that a given row is in view. Plain C++, so the rules
// are tested without a window.
namespace crewmap::ui {

// The top row that keeps the view where it is if `row` is already fully in
// view, and otherwise scrolls by the least amount to bring it in: `row`
// becomes the top row (scrolling up) or the last fully visible row
// (scrolling down). `fullRows` is the number of rows that fit whole (at
// least 1 is assumed).
int TopRowShowing(int row, int top, int fullRows);

// The highest top row: the last row at the bottom of the view, or 0 when
// every row fits.
int LastTopRow(int count, int fullRows);

}  // namespace crewmap::ui
