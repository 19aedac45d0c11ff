#pragma once
// Window properties read straight from the X server (kept apart from Qt
// headers, whose names clash with Xlib's macros).
#include <optional>
#include <string>
#include <vector>

namespace crewmap::navi::test {

// The atom names in the window's atom-list property `name` (empty if unset).
std::vector<std::string> AtomNames(unsigned long window, const char* name);

// The decorations field of _MOTIF_WM_HINTS, when the hints ask for it.
std::optional<long> MotifDecorations(unsigned long window);

// Whether top-level window `upper` lies above `lower` in the root's stacking
// order (false when either is not a child of the root).
bool StackedAbove(unsigned long upper, unsigned long lower);

}  // namespace crewmap::navi::test
