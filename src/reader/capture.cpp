#include "reader/capture.h"

#include "reader/glyph.h"
#include "reader/origin.h"
#include "reader/validation.h"

namespace crewmap::reader {

CoordinateCapture::CoordinateCapture(platform::WindowSource& source, CaptureControls& controls,
                                     PixelFetch fetch)
    : source_(source), controls_(controls), fetch_(fetch) {}

CaptureOutcome CoordinateCapture::CapturePosition() {
  // "Lock" keeps the window found earlier, but only once one was found.
  // The lookup result is kept even when nothing was found: the null handle
  // then reads the screen's top-left corner, which fails validation.
  if (!controls_.LockTicked() || GameWindow == 0) GameWindow = source_.FindWindowByTitle(kGameTitle);

  GameDC = source_.GetDC(GameWindow);
  if (GameDC == 0) {
    controls_.ShowCaptureFailure(kCaptureFailureText);
    return {};
  }

  // A failed query leaves the rectangle at zero, so both origins become 0.
  platform::WindowRect rect{};
  source_.GetWindowRect(GameWindow, rect);
  const std::int64_t width = std::int64_t{rect.right} - rect.left;
  const std::int64_t height = std::int64_t{rect.bottom} - rect.top;
  const ReadoutOrigin origin = OriginForSize(width, height);

  // One request for every pixel the twelve decisions may probe; the copy
  // answers exactly as single reads would. Without a copy, read one by one.
  std::string joined;
  platform::PixelBlock block;
  const platform::PixelRect area = ProbeArea(origin.x, origin.y, kCellCount, kCellPitch);
  if (fetch_ == PixelFetch::Block && area.width > 0 && source_.ReadBlock(GameDC, area, block)) {
    const PixelRead fromCopy = [&block](std::int32_t x, std::int32_t y) { return block.At(x, y); };
    for (int i = 0; i < kCellCount; ++i) joined += ReadGlyph(fromCopy, origin.x + kCellPitch * i, origin.y);
  } else {
    for (int i = 0; i < kCellCount; ++i)
      joined += ReadGlyph(source_, GameDC, origin.x + kCellPitch * i, origin.y);
  }

  source_.ReleaseDC(GameWindow, GameDC);
  GameDC = 0;

  return {true, ValidatePosition(joined)};
}

}  // namespace crewmap::reader
