#include "reader/capture.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/steady_ms.h"
#include "reader/glyph.h"
#include "reader/origin.h"
#include "reader/validation.h"
#include "reader/whole_glyphs.h"

namespace crewmap::reader {
namespace {

// The game window's client area through the capture's live context.
class ContextPixels final : public ClientPixels {
 public:
  ContextPixels(platform::WindowSource& source, platform::DeviceContext dc, PixelFetch fetch)
      : source_(source), dc_(dc), fetch_(fetch) {}

  PlaceReading ReadProbes(ReadoutOrigin origin) override {
    // One request for every pixel of the twelve cells and their outline; the
    // copy answers exactly as single reads would. The probes of each cell
    // must read what stands there whole (a glyph, or nothing in a plainly
    // empty cell), so that a busy picture where the game shows no read-out
    // never passes for one, nor a read-out partly covered for a shorter one.
    // Without a copy, the probes are read one by one, as they always were.
    PlaceReading reading;
    platform::PixelBlock block;
    const platform::PixelRect area = WholeGlyphArea(origin);
    if (fetch_ == PixelFetch::Block && area.width > 0 && source_.ReadBlock(dc_, area, block)) {
      const CellsRead cells = ReadCells(block, origin);
      reading.covered = cells.show == CellsShow::Covered;
      if (cells.show != CellsShow::Readout) return reading;
      const PixelRead fromCopy = [&block](std::int32_t x, std::int32_t y) { return block.At(x, y); };
      for (std::size_t i = 0; i < kCellCount; ++i) {
        const std::string probed = ReadGlyph(fromCopy, origin.x + kCellPitch * static_cast<int>(i), origin.y);
        if (probed != (i < cells.text.size() ? cells.text.substr(i, 1) : std::string())) return reading;
      }
      reading.position = ValidatePosition(cells.text);
      return reading;
    }
    std::string joined;
    for (int i = 0; i < kCellCount; ++i) joined += ReadGlyph(source_, dc_, origin.x + kCellPitch * i, origin.y);
    reading.position = ValidatePosition(joined);
    reading.whole = false;
    return reading;
  }

  bool Read(const platform::PixelRect& rect, platform::PixelBlock& block, bool copyOnly) override {
    if (fetch_ == PixelFetch::Block && source_.ReadBlock(dc_, rect, block)) return true;
    if (copyOnly) return false;
    std::vector<platform::PixelPoint> points;
    points.reserve(static_cast<std::size_t>(rect.width) * static_cast<std::size_t>(rect.height));
    for (std::int32_t y = 0; y < rect.height; ++y)
      for (std::int32_t x = 0; x < rect.width; ++x) points.push_back({rect.left + x, rect.top + y});
    // The block's rows lie one after the other, in the points' order.
    block.Reset(rect, platform::kInvalidColor);
    source_.GetPixels(dc_, points.data(), points.size(), block.Row(0));
    return true;
  }

 private:
  platform::WindowSource& source_;
  platform::DeviceContext dc_;
  PixelFetch fetch_;
};

}  // namespace

CoordinateCapture::CoordinateCapture(platform::WindowSource& source, CaptureControls& controls,
                                     PixelFetch fetch, std::function<std::int64_t()> clock)
    : source_(source), controls_(controls), fetch_(fetch), clock_(clock ? std::move(clock) : SteadyNowMs) {}

CaptureOutcome CoordinateCapture::CapturePosition() {
  // "Lock" keeps the window found earlier, but only once one was found.
  // The lookup result is kept even when nothing was found: the null handle
  // then reads the screen's top-left corner, which fails validation.
  const bool locked = controls_.LockTicked();
  if (!locked || GameWindow == 0) GameWindow = source_.FindWindowByTitle(kGameTitle);

  GameDC = source_.GetDC(GameWindow);
  if (GameDC == 0) {
    controls_.ShowCaptureFailure(kCaptureFailureText);
    CaptureOutcome failed;
    failed.locked = locked && GameWindow != 0;
    return failed;
  }

  // A failed query leaves the rectangle at zero, so both origins become 0.
  platform::WindowRect rect{};
  source_.GetWindowRect(GameWindow, rect);
  const std::int64_t width = std::int64_t{rect.right} - rect.left;
  const std::int64_t height = std::int64_t{rect.bottom} - rect.top;
  CaptureOutcome out;
  out.ok = true;
  out.width = static_cast<std::int32_t>(std::clamp<std::int64_t>(width, 0, INT32_MAX));
  out.height = static_cast<std::int32_t>(std::clamp<std::int64_t>(height, 0, INT32_MAX));
  const WindowView view{GameWindow, -1, -1, OriginForSize(width, height)};
  ContextPixels pixels(source_, GameDC, fetch_);

  platform::ClientArea client;
  const bool known = GameWindow != 0 && source_.GetClientArea(GameWindow, client);
  if (GameWindow == 0) {
    out.state = CaptureState::NoWindow;
    out.position = pixels.ReadProbes(view.table).position;
  } else if (known && client.minimised) {
    out.state = CaptureState::Minimised;
    finder_.NothingShown();
  } else {
    WindowView sized = view;
    if (known) {
      sized.clientWidth = out.width = client.width;
      sized.clientHeight = out.height = client.height;
    }
    FinderResult found = finder_.Read(pixels, sized, clock_());
    out.position = std::move(found.position);
    out.state = !out.position.empty() ? CaptureState::Reading
                : found.held          ? CaptureState::Held
                : found.covered       ? CaptureState::Covered
                : found.confirming    ? CaptureState::Confirming
                                      : CaptureState::NotFound;
    if (found.place) out.place = *found.place;
  }

  source_.ReleaseDC(GameWindow, GameDC);
  GameDC = 0;
  return out;
}

}  // namespace crewmap::reader
