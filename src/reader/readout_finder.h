#pragma once
// Where the read-out lies in one game window, and what it shows. The places,
// in order: the origin table's (read exactly as always), the one measured
// from the client area's bottom-right corner (the table's own rule, for every
// other size), and a place a search of the client area found. A searched
// place counts only once two captures in a row read a world position there
// that moved as a sailing ship moves, so that digits drawn elsewhere in the
// same font (a price, a clock) never become a position; it is then kept for
// the window and its size, and read directly until the window or size
// changes. The search reads the client area a band of rows per capture,
// from the bottom up, so that no capture holds the tick long, and starts
// again only some seconds after a pass found nothing.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_source.h"
#include "reader/origin.h"

namespace crewmap::reader {

enum class PlaceKind { Table, Corner, Found };

struct ReadoutPlace {
  PlaceKind kind = PlaceKind::Table;
  ReadoutOrigin origin;
};

// The client area's pixels as one capture reads them.
class ClientPixels {
 public:
  virtual ~ClientPixels() = default;
  // The twelve cells at `origin` by their probes, joined and validated as a
  // capture has always read them (where a copy can be had, every character
  // must also stand there as a whole glyph).
  virtual std::string ReadProbes(ReadoutOrigin origin) = 0;
  // The pixels of `rect`; `copyOnly`: only as one copy (a band of the
  // search), never pixel by pixel. False when they cannot be had.
  virtual bool Read(const platform::PixelRect& rect, platform::PixelBlock& block, bool copyOnly) = 0;
};

// What a capture knows of the window it reads.
struct WindowView {
  platform::WindowHandle window = 0;
  std::int32_t clientWidth = -1;  // -1: the client area's size is not known
  std::int32_t clientHeight = -1;
  ReadoutOrigin table;  // the origin table's place for the outer size
  bool operator==(const WindowView&) const = default;
};

struct FinderResult {
  std::string position;               // empty: nothing read
  std::optional<ReadoutPlace> place;  // where it was read
  bool confirming = false;            // a searched place waits for a reading that moved
};

// The place measured from the client area's bottom-right corner; none for
// an unknown or too small client area.
std::optional<ReadoutOrigin> CornerOrigin(std::int32_t clientWidth, std::int32_t clientHeight);

class ReadoutFinder {
 public:
  static constexpr std::int64_t kSearchPauseMs = 5000;  // after a pass that confirmed nothing
  static constexpr std::int64_t kBandPixels = 1 << 19;  // read per capture while searching
  static constexpr std::size_t kMaxCandidates = 16;

  FinderResult Read(ClientPixels& pixels, const WindowView& view, std::int64_t nowMs);

 private:
  struct Candidate {
    ReadoutOrigin origin;
    std::string last;  // its latest reading
  };
  void Restart(const WindowView& view, std::int64_t nowMs);
  std::string ReadAt(ClientPixels& pixels, const ReadoutPlace& place) const;
  FinderResult Confirm(ClientPixels& pixels);
  void SearchBand(ClientPixels& pixels, std::int64_t nowMs);
  // Nearer the client area's bottom-right corner first.
  bool Before(const ReadoutOrigin& a, const ReadoutOrigin& b) const;

  WindowView view_;
  bool probeTable_ = true;  // the table's place is the corner's: read it as always
  std::optional<ReadoutPlace> trusted_;  // the place that read last
  std::optional<ReadoutOrigin> found_;   // confirmed by the search for this window and size
  std::vector<Candidate> candidates_;
  std::int32_t bandBottom_ = 0;  // the search's next band ends above this row
  std::int64_t nextSearchMs_ = 0;
};

}  // namespace crewmap::reader
