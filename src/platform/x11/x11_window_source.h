#pragma once
// The X11 backend of the window source: Xlib over its own display connection.
// Titles come from _NET_WM_NAME (UTF-8), else WM_NAME; the outer rectangle is
// that of the window manager's frame; each pixel read is one 1 x 1 GetImage,
// and a block read one GetImage of the whole rectangle (a large one through
// shared memory where the server offers it).
// Requests that can go together (the pixels of one step of the glyph
// decision, the windows of one level of the lookup) are sent together through
// the connection's XCB side, so they cost one round trip instead of one each.
// X protocol errors are caught and turned into failures, never fatal; so is
// the loss of the connection (the server going away).
//
// The X server hands a closed client's window ids to the next client, so a
// held id can come to name some other program's window. Handles returned by
// FindWindowByTitle therefore carry a generation in their upper 32 bits and
// die with their window (watched through DestroyNotify): a dead handle never
// reads another window. A plain window id (upper bits zero) is accepted too,
// unwatched.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/window_source.h"

struct _XDisplay;  // Xlib's Display, kept out of this header

namespace crewmap::platform {

class X11WindowSource final : public WindowSource {
 public:
  // Opens the display named by $DISPLAY; without one every call fails.
  X11WindowSource();
  ~X11WindowSource() override;
  X11WindowSource(const X11WindowSource&) = delete;
  X11WindowSource& operator=(const X11WindowSource&) = delete;

  // True while the display connection is open and has not broken.
  bool Connected() const;
  // Block reads copied through shared memory so far: none where the server
  // lacks the extension or the first such copy failed (reads then go
  // through the socket for good).
  std::uint64_t SharedCopies() const { return sharedCopies_; }

  WindowHandle FindWindowByTitle(std::string_view title) override;
  DeviceContext GetDC(WindowHandle window) override;
  bool GetWindowRect(WindowHandle window, WindowRect& rect) override;
  // The window's own size; minimised when the window manager has iconified
  // it (WM_STATE) or it is not viewable at all (unmapped).
  bool GetClientArea(WindowHandle window, ClientArea& area) override;
  std::uint32_t GetPixel(DeviceContext dc, std::int32_t x, std::int32_t y) override;
  void GetPixels(DeviceContext dc, const PixelPoint* points, std::size_t count, std::uint32_t* colors) override;
  // One GetImage of the rectangle. Where the server refuses it (part of the
  // rectangle lies outside the window or off the screen), the part inside
  // both is asked for instead; an unviewable window reads all invalid.
  bool ReadBlock(DeviceContext dc, const PixelRect& rect, PixelBlock& block) override;
  void ReleaseDC(WindowHandle window, DeviceContext dc) override;

 private:
  // What a live context needs to read and convert pixels.
  struct Context {
    WindowHandle handle = 0;     // checked for destruction after each read
    unsigned long drawable = 0;  // the X window
    unsigned long redMask = 0;
    unsigned long greenMask = 0;
    unsigned long blueMask = 0;
    unsigned long colormap = 0;  // for visuals without colour masks
    void* visual = nullptr;      // Xlib's Visual, for shared-memory copies
    int depth = 0;
  };
  struct SharedImage;  // a shared-memory segment for large copies (MIT-SHM)

  WindowHandle Track(unsigned long xid);
  // The window id of a handle; false when its window has been destroyed.
  // Call after a round trip, so that a destruction has been reported.
  bool Resolve(WindowHandle handle, unsigned long& xid);
  void DrainEvents();
  bool DecodeWmName(unsigned long type, int format, std::string raw, std::string& title);
  std::uint32_t ToColorRef(const Context& context, unsigned long pixel);
  // Fetches one GetImage of `part` (inside `block`'s rectangle) into the
  // block; false when the server refuses it or its data cannot be decoded.
  bool FetchImage(const Context& context, const PixelRect& part, PixelBlock& block);
  // The same through shared memory, which spares the server and us a copy
  // through the socket; false when the extension cannot be used or the
  // server refuses.
  bool FetchShared(const Context& context, const PixelRect& part, PixelBlock& block);
  // Converts image data of `part` (rows `stride` bytes apart) into the block.
  bool Decode(const Context& context, const PixelRect& part, const std::uint8_t* data, std::size_t stride,
              int bitsPerPixel, PixelBlock& block);

  ::_XDisplay* display_ = nullptr;
  bool broken_ = false;  // the connection was lost; every call now fails
  unsigned long root_ = 0;
  unsigned long netWmName_ = 0;
  unsigned long utf8String_ = 0;
  unsigned long netFrameExtents_ = 0;
  unsigned long wmState_ = 0;
  bool lsbFirst_ = true;                        // byte order of image data
  std::unordered_map<int, int> bitsPerPixel_;   // by depth
  std::unordered_map<int, int> scanlinePad_;    // by depth, in bits
  DeviceContext nextContext_ = 1;
  std::uint64_t nextGeneration_ = 1;
  // Handles of windows watched for destruction, with their window ids; a
  // handle leaves when its window is destroyed.
  std::unordered_map<WindowHandle, unsigned long> tracked_;
  std::unordered_map<DeviceContext, Context> contexts_;
  std::unique_ptr<SharedImage> shared_;  // null: shared memory is not used
  std::uint64_t sharedCopies_ = 0;
};

}  // namespace crewmap::platform
