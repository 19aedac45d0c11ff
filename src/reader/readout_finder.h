#pragma once
// Where the read-out lies in one game window, and what it shows. The places,
// in order: the origin table's (where a copy can be had, read whole; else
// by the probes alone, as always), the one measured from the client area's
// bottom-right corner (the table's own rule, for every other size), and a
// place a search of the client area found. A searched place counts only once
// three captures in a row read a world position there that moved each time
// as a sailing ship moves, so that digits drawn elsewhere in the
// same font (a price, a clock) never become a position; it is then kept for
// the window and its size, and read directly until the window or size
// changes, or until it stops changing as a ship's position does. The search
// reads the client area a band of rows per capture, from the bottom up, so
// that no capture holds the tick long, and starts again only some seconds
// after a pass found nothing. At every place a reading that jumped is held
// back (ReadingGuard).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_source.h"
#include "reader/origin.h"
#include "reader/reading_guard.h"

namespace crewmap::reader {

enum class PlaceKind { Table, Corner, Found };

struct ReadoutPlace {
  PlaceKind kind = PlaceKind::Table;
  ReadoutOrigin origin;
};

// What one place shows.
struct PlaceReading {
  std::string position;  // validated; empty when nothing valid stands there
  bool covered = false;  // a read-out stands there, part of it hidden
  bool whole = true;     // false: read by the probes alone, nothing else is known
};

// The client area's pixels as one capture reads them.
class ClientPixels {
 public:
  virtual ~ClientPixels() = default;
  // The twelve cells at `origin` by their probes, joined and validated as a
  // capture has always read them (where a copy can be had, every character
  // must also stand there as a whole glyph and every other cell be plainly
  // empty: ReadCells).
  virtual PlaceReading ReadProbes(ReadoutOrigin origin) = 0;
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
  bool confirming = false;            // a searched place waits for readings that moved
  bool covered = false;               // a read-out at a known place is partly hidden
  bool held = false;                  // a reading jumped and is held back
};

// The place measured from the client area's bottom-right corner; none for
// an unknown or too small client area.
std::optional<ReadoutOrigin> CornerOrigin(std::int32_t clientWidth, std::int32_t clientHeight);

class ReadoutFinder {
 public:
  static constexpr std::int64_t kSearchPauseMs = 5000;  // after a pass that confirmed nothing
  static constexpr std::int64_t kBandPixels = 1 << 19;  // read per capture while searching
  static constexpr std::size_t kMaxCandidates = 16;      // read on every capture
  static constexpr std::size_t kSetAsidePlaces = 256;    // remembered beyond those
  static constexpr int kMovesToConfirm = 2;  // steps in a row a searched place must move
  // A confirmed searched place that makes kLoneSteps steps in a row that each
  // stand between rests of kRestCaptures unchanged captures is dropped: a
  // ship that weighs anchor sails on, a counter steps and waits.
  static constexpr int kRestCaptures = 3;
  static constexpr int kLoneSteps = 2;

  FinderResult Read(ClientPixels& pixels, const WindowView& view, std::int64_t nowMs);
  // A capture that could not look (the window is minimised): no read-out in view.
  void NothingShown() { guard_.Absent(); }

 private:
  struct Candidate {
    ReadoutOrigin origin;
    std::string last;  // its latest reading
    int moves = 0;     // steps in a row it moved as a ship moves
    int still = 0;     // readings that did not change: the more, the later it is tried
  };
  // How the confirmed searched place has changed lately.
  struct Pace {
    std::string last;
    int rest = 0;            // captures since it last changed
    bool afterRest = false;  // its last change came after a rest
    int lone = 0;            // lone steps in a row
  };
  void Restart(const WindowView& view, std::int64_t nowMs);
  PlaceReading ReadAt(ClientPixels& pixels, const ReadoutPlace& place) const;
  // The hold-back rule and the searched place's pace, for a place that read.
  FinderResult Judge(const ReadoutPlace& place, PlaceReading reading, std::int64_t nowMs);
  bool KeepsPace(const std::string& text);
  FinderResult Confirm(ClientPixels& pixels);
  void SearchBand(ClientPixels& pixels, std::int64_t nowMs);
  // Nearer the client area's bottom-right corner first.
  bool Before(const ReadoutOrigin& a, const ReadoutOrigin& b) const;

  WindowView view_;
  bool probeTable_ = true;  // the table's place is the corner's: read it as always
  std::optional<ReadoutPlace> trusted_;  // the place that read last
  std::optional<ReadoutOrigin> found_;   // confirmed by the search for this window and size
  std::vector<Candidate> candidates_;
  std::vector<Candidate> setAside_;  // cut from the candidates, with what they read then
  Pace pace_;
  ReadingGuard guard_;
  std::int32_t bandBottom_ = 0;  // the search's next band ends above this row
  std::int64_t nextSearchMs_ = 0;
};

}  // namespace crewmap::reader
