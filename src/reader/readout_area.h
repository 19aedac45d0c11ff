#pragma once
// Where on the screen a game window's coordinate read-out may lie, so that
// our own windows can keep clear of it.
#include "platform/window_source.h"

namespace crewmap::reader {

// The screen rectangle that holds the read-out of a game window with outer
// rectangle `outer` (screen pixels, frame included). The read-out's place is
// known in client coordinates only; the client area starts inside the outer
// rectangle by the frame's left border and title bar, which are not known
// here. The rectangle therefore covers every such start from none up to
// kMaxFrameLeft across and kMaxFrameTop down, and a pixel of outline around
// the glyphs. Empty (width 0) when the outer rectangle is empty.
platform::PixelRect ReadoutOnScreen(const platform::WindowRect& outer);

// The same for the read-out where the game draws it at other sizes: 78
// pixels left of and 272 above the client area's bottom-right corner, which
// lies inside the outer rectangle by the frame's right and bottom borders
// (up to kMaxFrameLeft each). Empty when the window is too small for it.
platform::PixelRect CornerReadoutOnScreen(const platform::WindowRect& outer);

// Frames are at most this thick left of and above the client area (a title
// bar at 200 % display scaling included).
inline constexpr int kMaxFrameLeft = 32;
inline constexpr int kMaxFrameTop = 72;

}  // namespace crewmap::reader
