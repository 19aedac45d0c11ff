// The X11 window source's display connection: opening and closing it, the
// X error handlers that keep its failures from ending the process, and the
// handles of windows watched for their destruction.
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <xcb/xcb.h>

#include <memory>
#include <mutex>
#include <set>

#include "platform/x11/x11_source_private.h"
#include "platform/x11/x11_window_source.h"

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

std::unique_ptr<WindowSource> CreateSystemWindowSource() { return std::make_unique<X11WindowSource>(); }

}  // namespace crewmap::platform
