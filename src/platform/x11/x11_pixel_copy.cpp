// Reading pixels: device contexts, single pixels by GetImage, and blocks by
// one GetImage through the socket or through shared memory (MIT-SHM).
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
#include <vector>

#include "platform/x11/x11_source_private.h"
#include "platform/x11/x11_window_source.h"

namespace crewmap::platform {

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
    if (FetchShared(context, part, block)) {
      ++sharedCopies_;
      return true;
    }
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

}  // namespace crewmap::platform
