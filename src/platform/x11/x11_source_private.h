#pragma once
// What the files of the X11 window source share: Xlib's display type behind
// the header's opaque one, and the shared-memory segment of large copies.
// Only the backend's own files include this.
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <sys/shm.h>

#include <cstddef>

#include "platform/x11/x11_window_source.h"

namespace crewmap::platform {

inline Display* Dpy(_XDisplay* d) { return reinterpret_cast<Display*>(d); }

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

}  // namespace crewmap::platform
