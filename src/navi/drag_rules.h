#pragma once
// Window placement rules of the navigation window, in twips (15 per pixel).
// Plain C++ so the decisions are tested without a window.
#include <cstdint>

namespace crewmap::navi {

// The cursor's distance from a window edge when a drag starts:
// cursor pixels x 15 - window edge (twips), rounded to an integer.
std::int32_t DragOffset(double cursorPixels, double windowEdgeTwips);

// A window edge during a drag: cursor pixels x 15 - offset, but never so far
// that the window passes the screen's far edge (bottom or right). There is no
// lower bound: the window may leave the screen past the top and left edges.
double DragEdge(double cursorPixels, std::int32_t offset, double screenEndTwips,
                double windowExtentTwips);

// The first placement along one axis: the design position, moved back so the
// whole window lies between the screen's start and end where it fits.
double PlaceOnScreen(double designTwips, double screenStartTwips, double screenEndTwips,
                     double windowExtentTwips);

}  // namespace crewmap::navi
