#include "x11_props.h"

#include <algorithm>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace crewmap::navi::test {
namespace {

struct Connection {
  Display* display = XOpenDisplay(nullptr);
  ~Connection() {
    if (display) XCloseDisplay(display);
  }
};

}  // namespace

std::vector<std::string> AtomNames(unsigned long window, const char* name) {
  std::vector<std::string> names;
  Connection x;
  if (!x.display) return names;
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(x.display, window, XInternAtom(x.display, name, False), 0, 64, False,
                         XA_ATOM, &type, &format, &count, &after, &data) == Success &&
      data) {
    const Atom* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count; ++i) {
      char* atomName = XGetAtomName(x.display, atoms[i]);
      names.emplace_back(atomName);
      XFree(atomName);
    }
    XFree(data);
  }
  return names;
}

std::optional<long> MotifDecorations(unsigned long window) {
  Connection x;
  if (!x.display) return std::nullopt;
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  const Atom motif = XInternAtom(x.display, "_MOTIF_WM_HINTS", False);
  std::optional<long> decorations;
  if (XGetWindowProperty(x.display, window, motif, 0, 5, False, AnyPropertyType, &type, &format,
                         &count, &after, &data) == Success &&
      data) {
    // flags, functions, decorations, input mode, status; bit 1 of flags
    // says the decorations field is in use.
    const long* hints = reinterpret_cast<const long*>(data);
    if (format == 32 && count >= 3 && (hints[0] & 2)) decorations = hints[2];
    XFree(data);
  }
  return decorations;
}

bool StackedAbove(unsigned long upper, unsigned long lower) {
  Connection x;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!x.display || !XQueryTree(x.display, DefaultRootWindow(x.display), &root, &parent, &children, &count)) return false;
  const std::vector<Window> order(children, children + count);  // bottom first
  if (children) XFree(children);
  const auto up = std::find(order.begin(), order.end(), upper), low = std::find(order.begin(), order.end(), lower);
  return up != order.end() && low < up;
}

}  // namespace crewmap::navi::test
