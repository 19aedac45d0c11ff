// Finding a window by its title in the window tree, and its outer rectangle
// and client area: the window properties read and decoded on the way.
#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/x11/x11_source_private.h"
#include "platform/x11/x11_window_source.h"

namespace crewmap::platform {
namespace {

// Children of a window, bottom of the stacking order first; false when the
// window is gone.
bool ChildrenOf(Display* display, Window window, std::vector<Window>& children, Window* parent = nullptr) {
  Window rootReturn = 0;
  Window parentReturn = 0;
  Window* list = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &rootReturn, &parentReturn, &list, &count)) return false;
  children.assign(list, list + count);
  if (list) XFree(list);
  if (parent) *parent = parentReturn;
  return true;
}

// The raw bytes of a property of the given type (AnyPropertyType allowed).
bool ReadProperty(Display* display, Window window, Atom property, Atom type, std::string& bytes,
                  Atom* actualTypeOut = nullptr, int* formatOut = nullptr) {
  Atom actualType = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  // Titles and frame extents are short; 64 K 32-bit units is plenty.
  if (XGetWindowProperty(display, window, property, 0, 65536, False, type, &actualType, &format, &items,
                         &after, &data) != Success)
    return false;
  const bool found = actualType != None && data != nullptr;
  if (found) {
    const std::size_t unit = format == 8 ? 1 : format == 16 ? sizeof(short) : sizeof(long);
    bytes.assign(reinterpret_cast<const char*>(data), items * unit);
    if (actualTypeOut) *actualTypeOut = actualType;
    if (formatOut) *formatOut = format;
  }
  if (data) XFree(data);
  return found;
}

std::string Latin1ToUtf8(const std::string& latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (const unsigned char c : latin1) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Most windows of a client's own tree lie within a few levels of the root:
// the client itself, or a window manager frame (possibly nested once) around it.
constexpr int kSearchDepth = 3;

}  // namespace

bool X11WindowSource::DecodeWmName(unsigned long type, int format, std::string raw, std::string& title) {
  if (format != 8) return false;
  if (type == XA_STRING) {
    title = Latin1ToUtf8(raw);
    return true;
  }
  if (type == utf8String_) {
    title = std::move(raw);
    return true;
  }
  // COMPOUND_TEXT and the like: let Xlib convert what it can.
  XTextProperty property{reinterpret_cast<unsigned char*>(raw.data()), type, format, raw.size()};
  char** list = nullptr;
  int count = 0;
  const int status = Xutf8TextPropertyToTextList(Dpy(display_), &property, &list, &count);
  const bool ok = status >= Success && count > 0 && list;
  if (ok) title = list[0];
  if (list) XFreeStringList(list);
  return ok;
}

WindowHandle X11WindowSource::FindWindowByTitle(std::string_view title) {
  if (!Connected()) return 0;
  xcb_connection_t* c = XGetXCBConnection(Dpy(display_));

  // The window tree down to kSearchDepth, one round trip per level: the
  // titles and children of every window of a level are asked for together.
  struct Node {
    xcb_window_t id;
    int depth;
    bool titled = false;
    std::string title;
    std::vector<std::size_t> children;  // topmost first
    Node(xcb_window_t window, int level) : id(window), depth(level) {}
  };
  std::vector<Node> nodes;
  nodes.emplace_back(static_cast<xcb_window_t>(root_), 0);
  std::vector<std::size_t> level{0};
  while (!level.empty()) {
    struct Pending {
      xcb_get_property_cookie_t netName;
      xcb_get_property_cookie_t wmName;
      xcb_query_tree_cookie_t tree;
      bool descend;
    };
    std::vector<Pending> pending;
    pending.reserve(level.size());
    for (const std::size_t n : level) {
      const Node& node = nodes[n];
      Pending p{};
      p.descend = node.depth < kSearchDepth;
      if (node.depth > 0) {
        p.netName = xcb_get_property(c, 0, node.id, static_cast<xcb_atom_t>(netWmName_),
                                     static_cast<xcb_atom_t>(utf8String_), 0, 65536);
        p.wmName = xcb_get_property(c, 0, node.id, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 65536);
      }
      if (p.descend) p.tree = xcb_query_tree(c, node.id);
      pending.push_back(p);
    }
    std::vector<std::size_t> next;
    for (std::size_t i = 0; i < level.size(); ++i) {
      const std::size_t n = level[i];
      const Pending& p = pending[i];
      if (nodes[n].depth > 0) {
        xcb_generic_error_t* netError = nullptr;
        xcb_generic_error_t* wmError = nullptr;
        xcb_get_property_reply_t* net = xcb_get_property_reply(c, p.netName, &netError);
        xcb_get_property_reply_t* wm = xcb_get_property_reply(c, p.wmName, &wmError);
        std::free(netError);
        std::free(wmError);
        std::string found;
        if (net && net->type != XCB_NONE) {
          found.assign(static_cast<const char*>(xcb_get_property_value(net)),
                       static_cast<std::size_t>(xcb_get_property_value_length(net)));
          nodes[n].titled = true;
        } else if (wm && wm->type != XCB_NONE) {
          std::string raw(static_cast<const char*>(xcb_get_property_value(wm)),
                          static_cast<std::size_t>(xcb_get_property_value_length(wm)));
          nodes[n].titled = DecodeWmName(wm->type, wm->format, std::move(raw), found);
        }
        nodes[n].title = std::move(found);
        std::free(net);
        std::free(wm);
      }
      if (!p.descend) continue;
      xcb_generic_error_t* treeError = nullptr;
      xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, p.tree, &treeError);
      std::free(treeError);
      if (!tree) continue;  // the window has gone meanwhile
      const xcb_window_t* kids = xcb_query_tree_children(tree);
      const int count = xcb_query_tree_children_length(tree);
      // The server lists children bottom first; search topmost first, as a
      // lookup by title on the desktop would find them.
      for (int k = count - 1; k >= 0; --k) {
        nodes[n].children.push_back(nodes.size());
        next.push_back(nodes.size());
        nodes.emplace_back(kids[k], nodes[n].depth + 1);
      }
      std::free(tree);
    }
    level = std::move(next);
  }

  // Depth first, topmost first: a window's own title before its children's.
  std::vector<std::size_t> stack(nodes[0].children.rbegin(), nodes[0].children.rend());
  while (!stack.empty()) {
    const Node& node = nodes[stack.back()];
    stack.pop_back();
    if (node.titled && node.title == title) return Track(node.id);
    stack.insert(stack.end(), node.children.rbegin(), node.children.rend());
  }
  return 0;
}

bool X11WindowSource::GetWindowRect(WindowHandle window, WindowRect& rect) {
  if (!Connected() || window == 0) return false;
  Display* display = Dpy(display_);
  unsigned long xid = 0;
  if (!Resolve(window, xid)) return false;
  // The frame is the ancestor just below the root; its position is then in
  // root coordinates.
  Window top = xid;
  std::vector<Window> children;
  for (int guard = 0; guard < 64; ++guard) {
    Window parent = 0;
    if (!ChildrenOf(display, top, children, &parent)) return false;
    if (parent == root_ || parent == 0) break;
    top = parent;
  }
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, top, &attributes)) return false;
  if (!Resolve(window, xid)) return false;
  std::int64_t left = attributes.x;
  std::int64_t topEdge = attributes.y;
  std::int64_t right = left + attributes.width + 2 * attributes.border_width;
  std::int64_t bottom = topEdge + attributes.height + 2 * attributes.border_width;
  // A window manager that draws frames without reparenting announces them.
  if (top == xid) {
    Atom type = None;
    int format = 0;
    std::string raw;
    if (ReadProperty(display, top, netFrameExtents_, XA_CARDINAL, raw, &type, &format) && format == 32 &&
        raw.size() >= 4 * sizeof(long)) {
      const long* extents = reinterpret_cast<const long*>(raw.data());  // left, right, top, bottom
      left -= extents[0];
      right += extents[1];
      topEdge -= extents[2];
      bottom += extents[3];
    }
  }
  const auto clamp32 = [](std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
  };
  rect = {clamp32(left), clamp32(topEdge), clamp32(right), clamp32(bottom)};
  return true;
}

bool X11WindowSource::GetClientArea(WindowHandle window, ClientArea& area) {
  if (!Connected() || window == 0) return false;
  unsigned long xid = 0;
  if (!Resolve(window, xid)) return false;
  // One round trip: viewability, size and the window manager's state together.
  xcb_connection_t* c = XGetXCBConnection(Dpy(display_));
  const auto drawable = static_cast<xcb_window_t>(xid);
  const auto attributesCookie = xcb_get_window_attributes(c, drawable);
  const auto geometryCookie = xcb_get_geometry(c, drawable);
  const auto stateCookie =
      xcb_get_property(c, 0, drawable, static_cast<xcb_atom_t>(wmState_), static_cast<xcb_atom_t>(wmState_), 0, 1);
  xcb_generic_error_t* errors[3] = {};
  xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(c, attributesCookie, &errors[0]);
  xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, geometryCookie, &errors[1]);
  xcb_get_property_reply_t* state = xcb_get_property_reply(c, stateCookie, &errors[2]);
  for (xcb_generic_error_t* e : errors) std::free(e);
  const bool ok = attributes && geometry && Resolve(window, xid);
  if (ok) {
    constexpr std::uint32_t kIconicState = 3;
    const bool iconic = state && state->format == 32 && xcb_get_property_value_length(state) >= 4 &&
                        *static_cast<const std::uint32_t*>(xcb_get_property_value(state)) == kIconicState;
    area = {geometry->width, geometry->height, iconic || attributes->map_state != XCB_MAP_STATE_VIEWABLE};
  }
  std::free(attributes);
  std::free(geometry);
  std::free(state);
  return ok;
}

}  // namespace crewmap::platform
