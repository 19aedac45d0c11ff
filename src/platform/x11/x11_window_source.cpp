#include "platform/x11/x11_window_source.h"

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>
#include <mutex>
#include <set>

namespace crewmap::platform {
namespace {

// Xlib's default error handler ends the process. Errors on our connections
// are expected (a window vanishes between two calls, a read lies outside the
// window) and each call that can fail reports it through its return value, so
// the handler only swallows them. Errors on other connections in the process
// go to whatever handler was there before.
std::mutex gHandlerMutex;
std::set<Display*>* gOurDisplays = nullptr;
XErrorHandler gPreviousHandler = nullptr;
bool gHandlerInstalled = false;

int OnXError(Display* display, XErrorEvent* event) {
  XErrorHandler previous = nullptr;
  {
    std::lock_guard lock(gHandlerMutex);
    if (gOurDisplays && gOurDisplays->count(display)) return 0;
    previous = gPreviousHandler;
  }
  // Never fall back to Xlib's default: it would end the process.
  return previous ? previous(display, event) : 0;
}

// A lost connection: Xlib reports it here and then calls the display's exit
// handler, which by default ends the process. For our connections both only
// take note; the source then fails every call.
XIOErrorHandler gPreviousIoHandler = nullptr;

int OnXIOError(Display* display) {
  XIOErrorHandler previous = nullptr;
  {
    std::lock_guard lock(gHandlerMutex);
    if (gOurDisplays && gOurDisplays->count(display)) return 0;
    previous = gPreviousIoHandler;
  }
  return previous ? previous(display) : 0;
}

void OnXIOErrorExit(Display*, void* brokenFlag) { *static_cast<bool*>(brokenFlag) = true; }

void RegisterDisplay(Display* display) {
  std::lock_guard lock(gHandlerMutex);
  if (!gOurDisplays) gOurDisplays = new std::set<Display*>;
  gOurDisplays->insert(display);
  if (!gHandlerInstalled) {
    gPreviousHandler = XSetErrorHandler(OnXError);
    gPreviousIoHandler = XSetIOErrorHandler(OnXIOError);
    gHandlerInstalled = true;
  }
}

void UnregisterDisplay(Display* display) {
  std::lock_guard lock(gHandlerMutex);
  if (gOurDisplays) gOurDisplays->erase(display);
}

Display* Dpy(_XDisplay* d) { return reinterpret_cast<Display*>(d); }

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

// One colour component from a pixel by its visual mask, scaled to 8 bits.
std::uint32_t Component(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1u)) ++shift;
  int bits = 0;
  while ((mask >> (shift + bits)) & 1u) ++bits;
  const unsigned long value = (pixel & mask) >> shift;
  if (bits >= 8) return static_cast<std::uint32_t>(value >> (bits - 8));
  const unsigned long max = (1ul << bits) - 1;
  return static_cast<std::uint32_t>((value * 255 + max / 2) / max);
}

// The shift of an 8-bit colour mask (0xFF << shift), or -1 for any other mask.
int ByteShift(unsigned long mask) {
  for (int shift = 0; shift + 8 <= static_cast<int>(8 * sizeof mask); ++shift)
    if (mask == 0xFFul << shift) return shift;
  return -1;
}

// Most windows of a client's own tree lie within a few levels of the root:
// the client itself, or a window manager frame (possibly nested once) around it.
constexpr int kSearchDepth = 3;

}  // namespace

X11WindowSource::X11WindowSource() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return;
  RegisterDisplay(display);
  XSetIOErrorExitHandler(display, OnXIOErrorExit, &broken_);
  display_ = reinterpret_cast<_XDisplay*>(display);
  root_ = DefaultRootWindow(display);
  netWmName_ = XInternAtom(display, "_NET_WM_NAME", False);
  utf8String_ = XInternAtom(display, "UTF8_STRING", False);
  netFrameExtents_ = XInternAtom(display, "_NET_FRAME_EXTENTS", False);
  wmState_ = XInternAtom(display, "WM_STATE", False);
  // How the server lays out image data, for decoding GetImage replies.
  const xcb_setup_t* setup = xcb_get_setup(XGetXCBConnection(display));
  lsbFirst_ = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
    bitsPerPixel_[it.data->depth] = it.data->bits_per_pixel;
    scanlinePad_[it.data->depth] = it.data->scanline_pad;
  }
  if (XShmQueryExtension(display)) shared_ = std::make_unique<SharedImage>();
}

// The segment is marked for removal as soon as the server has attached it,
// so it goes when both sides let go, also when this process dies.
struct X11WindowSource::SharedImage {
  XShmSegmentInfo info{};
  std::size_t size = 0;
  bool attached = false;
  ~SharedImage() {
    if (info.shmaddr) shmdt(info.shmaddr);
  }
};

X11WindowSource::~X11WindowSource() {
  if (!display_) return;
  Display* display = Dpy(display_);
  if (shared_ && shared_->attached && !broken_) XShmDetach(display, &shared_->info);
  shared_.reset();
  // Closing a broken connection would talk to the lost server again; its
  // memory and socket are left behind instead.
  if (!broken_) XCloseDisplay(display);
  UnregisterDisplay(display);
}

bool X11WindowSource::Connected() const {
  return display_ != nullptr && !broken_ && !xcb_connection_has_error(XGetXCBConnection(Dpy(display_)));
}

void X11WindowSource::DrainEvents() {
  Display* display = Dpy(display_);
  // Only what has already arrived (also what came in with XCB replies): no
  // round trip here.
  while (XEventsQueued(display, QueuedAfterReading) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != DestroyNotify) continue;
    const Window gone = event.xdestroywindow.window;
    for (auto it = tracked_.begin(); it != tracked_.end();) {
      if (it->second == gone) it = tracked_.erase(it);  // an unknown handle counts as dead
      else ++it;
    }
  }
}

WindowHandle X11WindowSource::Track(unsigned long xid) {
  DrainEvents();
  for (const auto& [handle, watched] : tracked_)
    if (watched == xid) return handle;
  Display* display = Dpy(display_);
  XSelectInput(display, xid, StructureNotifyMask);
  // The window may have gone just before we started watching it.
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, xid, &attributes)) return 0;
  const WindowHandle handle = (nextGeneration_++ << 32) | xid;
  tracked_[handle] = xid;
  return handle;
}

bool X11WindowSource::Resolve(WindowHandle handle, unsigned long& xid) {
  if ((handle >> 32) == 0) {
    xid = static_cast<unsigned long>(handle);
    return true;
  }
  DrainEvents();
  const auto it = tracked_.find(handle);
  if (it == tracked_.end()) return false;
  xid = it->second;
  return true;
}

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

DeviceContext X11WindowSource::GetDC(WindowHandle window) {
  if (!Connected()) return 0;
  Display* display = Dpy(display_);
  // The null handle stands for the whole screen.
  unsigned long target = root_;
  if (window != 0 && !Resolve(window, target)) return 0;
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, target, &attributes) || !attributes.visual) return 0;
  // The round trip above has brought in any destruction that came first.
  unsigned long check = 0;
  if (window != 0 && !Resolve(window, check)) return 0;
  Context context;
  context.handle = window;
  context.drawable = target;
  context.redMask = attributes.visual->red_mask;
  context.greenMask = attributes.visual->green_mask;
  context.blueMask = attributes.visual->blue_mask;
  context.colormap = attributes.colormap;
  context.visual = attributes.visual;
  context.depth = attributes.depth;
  const DeviceContext id = nextContext_++;
  contexts_.emplace(id, context);
  return id;
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

std::uint32_t X11WindowSource::ToColorRef(const Context& context, unsigned long pixel) {
  if (context.redMask || context.greenMask || context.blueMask) {
    return Component(pixel, context.redMask) | Component(pixel, context.greenMask) << 8 |
           Component(pixel, context.blueMask) << 16;
  }
  // Indexed visuals: ask the colour map.
  XColor color{};
  color.pixel = pixel;
  if (!XQueryColor(Dpy(display_), context.colormap, &color)) return kInvalidColor;
  return static_cast<std::uint32_t>(color.red >> 8) | static_cast<std::uint32_t>(color.green >> 8) << 8 |
         static_cast<std::uint32_t>(color.blue >> 8) << 16;
}

std::uint32_t X11WindowSource::GetPixel(DeviceContext dc, std::int32_t x, std::int32_t y) {
  std::uint32_t color = kInvalidColor;
  const PixelPoint point{x, y};
  GetPixels(dc, &point, 1, &color);
  return color;
}

void X11WindowSource::GetPixels(DeviceContext dc, const PixelPoint* points, std::size_t count,
                                std::uint32_t* colors) {
  std::fill(colors, colors + count, kInvalidColor);
  if (!Connected() || count == 0) return;
  const auto it = contexts_.find(dc);
  if (it == contexts_.end()) return;
  const Context& context = it->second;
  xcb_connection_t* c = XGetXCBConnection(Dpy(display_));

  // One 1 x 1 GetImage per pixel, all sent before the first reply is awaited.
  // A read outside the window, of an unmapped or of a destroyed window is
  // refused by the server and stays invalid.
  constexpr std::size_t kInline = 16;
  xcb_get_image_cookie_t inlineCookies[kInline];
  bool inlineSent[kInline];
  std::vector<xcb_get_image_cookie_t> heapCookies;
  std::vector<char> heapSent;
  xcb_get_image_cookie_t* cookies = inlineCookies;
  bool* sent = inlineSent;
  if (count > kInline) {
    heapCookies.resize(count);
    heapSent.resize(count);
    cookies = heapCookies.data();
    sent = reinterpret_cast<bool*>(heapSent.data());
  }
  for (std::size_t i = 0; i < count; ++i) {
    const PixelPoint& p = points[i];
    // Request coordinates are 16-bit on the wire: anything beyond would wrap
    // around to a different, readable pixel. No window is that large.
    sent[i] = p.x >= 0 && p.y >= 0 && p.x <= INT16_MAX && p.y <= INT16_MAX;
    if (sent[i])
      cookies[i] = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, static_cast<xcb_drawable_t>(context.drawable),
                                 static_cast<std::int16_t>(p.x), static_cast<std::int16_t>(p.y), 1, 1, ~0u);
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (!sent[i]) continue;
    xcb_generic_error_t* error = nullptr;
    xcb_get_image_reply_t* reply = xcb_get_image_reply(c, cookies[i], &error);
    std::free(error);
    if (!reply) continue;
    const auto bpp = bitsPerPixel_.find(reply->depth);
    const int bytes = bpp == bitsPerPixel_.end() ? 0 : bpp->second / 8;
    const std::uint8_t* data = xcb_get_image_data(reply);
    if (bytes >= 1 && bytes <= 4 && bpp->second % 8 == 0 && xcb_get_image_data_length(reply) >= bytes) {
      unsigned long pixel = 0;
      for (int b = 0; b < bytes; ++b) {
        const std::uint8_t byte = data[lsbFirst_ ? b : bytes - 1 - b];
        pixel |= static_cast<unsigned long>(byte) << (8 * b);
      }
      colors[i] = ToColorRef(context, pixel);
    }
    std::free(reply);
  }
  // A window that died before these reads may have handed its id on.
  unsigned long xid = 0;
  if (context.handle != 0 && !Resolve(context.handle, xid)) std::fill(colors, colors + count, kInvalidColor);
}

bool X11WindowSource::FetchImage(const Context& context, const PixelRect& part, PixelBlock& block) {
  // Bands of a client area go through shared memory; the few pixels of a
  // read-out are not worth it.
  constexpr std::int64_t kSharedFrom = 4096;
  if (shared_ && std::int64_t{part.width} * part.height >= kSharedFrom) {
    if (FetchShared(context, part, block)) return true;
  }
  xcb_connection_t* c = XGetXCBConnection(Dpy(display_));
  xcb_generic_error_t* error = nullptr;
  xcb_get_image_reply_t* reply = xcb_get_image_reply(
      c,
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, static_cast<xcb_drawable_t>(context.drawable),
                    static_cast<std::int16_t>(part.left), static_cast<std::int16_t>(part.top),
                    static_cast<std::uint16_t>(part.width), static_cast<std::uint16_t>(part.height), ~0u),
      &error);
  std::free(error);
  if (!reply) return false;
  const auto bpp = bitsPerPixel_.find(reply->depth);
  const auto pad = scanlinePad_.find(reply->depth);
  bool ok = bpp != bitsPerPixel_.end() && pad != scanlinePad_.end() && pad->second > 0;
  if (ok) {
    const std::size_t rowBits = static_cast<std::size_t>(part.width) * static_cast<std::size_t>(bpp->second);
    const std::size_t padBits = static_cast<std::size_t>(pad->second);
    const std::size_t stride = (rowBits + padBits - 1) / padBits * padBits / 8;
    ok = static_cast<std::size_t>(xcb_get_image_data_length(reply)) >= stride * static_cast<std::size_t>(part.height) &&
         Decode(context, part, xcb_get_image_data(reply), stride, bpp->second, block);
  }
  std::free(reply);
  // A server that gives by socket what it refused through shared memory
  // cannot use our segment (another machine, say): stop asking it so.
  if (ok && shared_ && std::int64_t{part.width} * part.height >= kSharedFrom) {
    if (shared_->attached) XShmDetach(Dpy(display_), &shared_->info);
    shared_.reset();
  }
  return ok;
}

bool X11WindowSource::FetchShared(const Context& context, const PixelRect& part, PixelBlock& block) {
  Display* display = Dpy(display_);
  XImage* image = XShmCreateImage(display, static_cast<Visual*>(context.visual), static_cast<unsigned>(context.depth),
                                  ZPixmap, nullptr, &shared_->info, static_cast<unsigned>(part.width),
                                  static_cast<unsigned>(part.height));
  if (!image) return false;
  const std::size_t bytes = static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(image->height);
  if (bytes > shared_->size) {
    // A larger segment: the old one goes.
    if (shared_->attached) XShmDetach(display, &shared_->info);
    if (shared_->info.shmaddr) shmdt(shared_->info.shmaddr);
    shared_->info = {};
    shared_->size = 0;
    shared_->attached = false;
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    void* address = id >= 0 ? shmat(id, nullptr, 0) : reinterpret_cast<void*>(-1);
    if (address != reinterpret_cast<void*>(-1)) {
      shared_->info.shmid = id;
      shared_->info.shmaddr = static_cast<char*>(address);
      shared_->info.readOnly = False;
      shared_->attached = XShmAttach(display, &shared_->info) != 0;
      XSync(display, False);
      shared_->size = bytes;
    }
    if (id >= 0) shmctl(id, IPC_RMID, nullptr);
  }
  bool ok = shared_->attached && shared_->size >= bytes;
  if (ok) {
    image->data = shared_->info.shmaddr;
    ok = XShmGetImage(display, static_cast<Drawable>(context.drawable), image, part.left, part.top, AllPlanes) != 0 &&
         Decode(context, part, reinterpret_cast<const std::uint8_t*>(image->data),
                static_cast<std::size_t>(image->bytes_per_line), image->bits_per_pixel, block);
  }
  image->data = nullptr;  // the segment is ours, not the image's
  XDestroyImage(image);
  return ok;
}

bool X11WindowSource::Decode(const Context& context, const PixelRect& part, const std::uint8_t* data,
                             std::size_t stride, int bitsPerPixel, PixelBlock& block) {
  if (bitsPerPixel % 8 != 0 || bitsPerPixel < 8 || bitsPerPixel > 32) return false;
  const int bytes = bitsPerPixel / 8;
  // Converting costs a round trip per colour only on visuals without colour
  // masks; the few colours of the read-out repeat. The common 8-bit-per-
  // component visuals are converted by shifts alone: a whole client area
  // is copied when the read-out is searched for.
  std::unordered_map<unsigned long, std::uint32_t> converted;
  const int red = ByteShift(context.redMask), green = ByteShift(context.greenMask),
            blue = ByteShift(context.blueMask);
  const bool byShifts = red >= 0 && green >= 0 && blue >= 0;
  // The usual 32-bit little-endian 0x00RRGGBB: only red and blue swap.
  const bool swapOnly = byShifts && bytes == 4 && lsbFirst_ && red == 16 && green == 8 && blue == 0;
  const PixelRect& whole = block.Rect();
  for (std::int32_t y = 0; y < part.height; ++y) {
    const std::uint8_t* src = data + static_cast<std::size_t>(y) * stride;
    std::uint32_t* dst = block.Row(part.top - whole.top + y) + (part.left - whole.left);
    if (swapOnly) {
      for (std::int32_t x = 0; x < part.width; ++x) {
        std::uint32_t p;
        std::memcpy(&p, src + 4 * static_cast<std::size_t>(x), 4);
        dst[x] = (p >> 16 & 0xFFu) | (p & 0xFF00u) | (p & 0xFFu) << 16;
      }
      continue;
    }
    for (std::int32_t x = 0; x < part.width; ++x, src += bytes) {
      unsigned long pixel = 0;
      for (int b = 0; b < bytes; ++b)
        pixel |= static_cast<unsigned long>(src[lsbFirst_ ? b : bytes - 1 - b]) << (8 * b);
      if (byShifts) {
        dst[x] = static_cast<std::uint32_t>((pixel >> red & 0xFFu) | (pixel >> green & 0xFFu) << 8 |
                                            (pixel >> blue & 0xFFu) << 16);
        continue;
      }
      const auto known = converted.find(pixel);
      dst[x] = known != converted.end() ? known->second : (converted[pixel] = ToColorRef(context, pixel));
    }
  }
  return true;
}

bool X11WindowSource::ReadBlock(DeviceContext dc, const PixelRect& rect, PixelBlock& block) {
  if (!Connected() || rect.width <= 0 || rect.height <= 0) return false;
  const auto it = contexts_.find(dc);
  if (it == contexts_.end()) return false;
  const Context& context = it->second;
  block.Reset(rect, kInvalidColor);

  // Request coordinates are 16-bit on the wire, so only the part of the
  // rectangle in [0, INT16_MAX] can be asked for; single reads refuse the
  // rest. Widths are 16-bit too.
  const auto clip = [](const PixelRect& r, std::int64_t left, std::int64_t top, std::int64_t right,
                       std::int64_t bottom) {
    const std::int64_t l = std::max<std::int64_t>(r.left, left);
    const std::int64_t t = std::max<std::int64_t>(r.top, top);
    const std::int64_t rr = std::min<std::int64_t>(std::int64_t{r.left} + r.width, right);
    const std::int64_t b = std::min<std::int64_t>(std::int64_t{r.top} + r.height, bottom);
    if (rr <= l || b <= t) return PixelRect{};
    return PixelRect{static_cast<std::int32_t>(l), static_cast<std::int32_t>(t), static_cast<std::int32_t>(rr - l),
                     static_cast<std::int32_t>(b - t)};
  };
  constexpr std::int64_t kWire = std::int64_t{INT16_MAX} + 1;
  const PixelRect wire = clip(rect, 0, 0, kWire, kWire);
  if (wire.width == 0) return true;  // nothing a single read could read either
  if (wire.width > UINT16_MAX || wire.height > UINT16_MAX) return false;

  // Mostly the whole rectangle lies inside the window and on the screen: one
  // request. Otherwise the server refuses it, and the window's viewability,
  // size and place on the screen tell which part single reads could read.
  if (!FetchImage(context, wire, block)) {
    xcb_connection_t* c = XGetXCBConnection(Dpy(display_));
    const auto drawable = static_cast<xcb_window_t>(context.drawable);
    const auto root = static_cast<xcb_window_t>(root_);
    const auto attributesCookie = xcb_get_window_attributes(c, drawable);
    const auto geometryCookie = xcb_get_geometry(c, drawable);
    const auto screenCookie = xcb_get_geometry(c, root);
    const auto placeCookie = xcb_translate_coordinates(c, drawable, root, 0, 0);
    xcb_generic_error_t* errors[4] = {};
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(c, attributesCookie, &errors[0]);
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, geometryCookie, &errors[1]);
    xcb_get_geometry_reply_t* screen = xcb_get_geometry_reply(c, screenCookie, &errors[2]);
    xcb_translate_coordinates_reply_t* place = xcb_translate_coordinates_reply(c, placeCookie, &errors[3]);
    for (xcb_generic_error_t* e : errors) std::free(e);
    bool ok = attributes && geometry && screen && place;
    if (ok && attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
      // Inside the window, and inside the screen seen from the window.
      PixelRect part = clip(wire, 0, 0, geometry->width, geometry->height);
      part = clip(part, -std::int64_t{place->dst_x}, -std::int64_t{place->dst_y},
                  std::int64_t{screen->width} - place->dst_x, std::int64_t{screen->height} - place->dst_y);
      // A window clipped by its parent is refused here too: read singly then.
      if (part.width > 0) ok = FetchImage(context, part, block);
    }
    // An unviewable window (unmapped, minimised) reads all invalid, as single
    // reads of it do.
    std::free(attributes);
    std::free(geometry);
    std::free(screen);
    std::free(place);
    if (!ok) return false;
  }
  // A window that died before the copy may have handed its id on.
  unsigned long xid = 0;
  if (context.handle != 0 && !Resolve(context.handle, xid)) block.Reset(rect, kInvalidColor);
  return true;
}

void X11WindowSource::ReleaseDC(WindowHandle /*window*/, DeviceContext dc) { contexts_.erase(dc); }

std::unique_ptr<WindowSource> CreateSystemWindowSource() { return std::make_unique<X11WindowSource>(); }

}  // namespace crewmap::platform
