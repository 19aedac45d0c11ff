// The number is a selection on the X server itself ("CREWMAP_INSTANCE_<n>"),
// owned by a window of a connection this process keeps open: the server
// drops it when the process goes, and no other server can see it.
#include <X11/Xlib.h>

#include <string>

#include "platform/instance_number.h"

namespace crewmap::platform {

int ClaimInstanceNumber(int count) {
  static Display* const display = XOpenDisplay(nullptr);  // open for the process's life
  static int held = -1;
  if (held >= 0 || !display) return held < 0 ? 0 : held;
  const Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  for (int n = 0; n < count && held < 0; ++n) {
    const Atom selection = XInternAtom(display, ("CREWMAP_INSTANCE_" + std::to_string(n)).c_str(), False);
    // Looked at and taken with the server held, so two instances starting
    // together never take the same number.
    XGrabServer(display);
    if (XGetSelectionOwner(display, selection) == None) XSetSelectionOwner(display, selection, owner, CurrentTime);
    const bool ours = XGetSelectionOwner(display, selection) == owner;
    XUngrabServer(display);
    XSync(display, False);
    if (ours) held = n;
  }
  return held < 0 ? 0 : held;
}

}  // namespace crewmap::platform
