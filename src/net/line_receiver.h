#pragma once
// Splits what arrives on one connection into message lines at CR LF.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace crewmap::net {

// One per connection. An arrival may end in the middle of a line: that
// unterminated rest is kept and joined to the next arrival. A line may be at
// most maxLine bytes (without its CR LF); a longer one is dropped up to its
// CR LF and the lines after it are handled as usual, so a misbehaving peer
// cannot grow memory. The work per arrival is proportional to that arrival:
// the kept rest is never searched again.
class LineReceiver {
 public:
  // The longest line a member accepts.
  static constexpr std::size_t kMaxLine = 4096;
  // The longest report a host accepts: with the relay's "NN:" prefix in
  // front it is still a line every member accepts.
  static constexpr std::size_t kMaxReport = kMaxLine - 3;

  explicit LineReceiver(std::size_t maxLine = kMaxLine) : maxLine_(maxLine) {}

  // The complete lines of this arrival (plus any kept rest), in order,
  // without their CR LF, untrimmed; empty lines and lines of spaces only are
  // left out.
  std::vector<std::string> Feed(std::string_view bytes);

  // Forgets the kept rest (for a new connection).
  void Reset();
  std::size_t PendingBytes() const { return pending_.size(); }
  std::size_t MaxLine() const { return maxLine_; }
  // CR LFs seen since construction: every line end, of blank, kept and
  // over-long lines alike (a peer that sends lines is taking part).
  std::uint64_t LineEnds() const { return lineEnds_; }

 private:
  std::size_t maxLine_;
  std::string pending_;      // the unterminated rest (possibly ending in the CR of a CR LF)
  bool discarding_ = false;  // inside an over-long line, up to its CR LF
  bool afterCr_ = false;     // while discarding: the last byte seen was CR
  std::uint64_t lineEnds_ = 0;
};

// True for the empty text and for text of spaces only.
bool IsBlankPiece(std::string_view piece);

}  // namespace crewmap::net
