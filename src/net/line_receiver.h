#pragma once
// Splits what arrives on one connection into message lines at CR LF.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace crewmap::net {

// One per connection. An arrival may end in the middle of a line: that
// unterminated rest is kept and joined to the next arrival. A line may be at
// most kMaxLine bytes; a longer one is dropped up to its CR LF and the lines
// after it are handled as usual, so a misbehaving peer cannot grow memory.
class LineReceiver {
 public:
  static constexpr std::size_t kMaxLine = 4096;

  // The complete lines of this arrival (plus any kept rest), in order,
  // without their CR LF, untrimmed; empty lines and lines of spaces only are
  // left out.
  std::vector<std::string> Feed(std::string_view bytes);

  // Forgets the kept rest (for a new connection).
  void Reset();
  std::size_t PendingBytes() const { return pending_.size(); }

 private:
  std::string pending_;
  bool discarding_ = false;  // inside an over-long line, up to its CR LF
};

// True for the empty text and for text of spaces only.
bool IsBlankPiece(std::string_view piece);

}  // namespace crewmap::net
