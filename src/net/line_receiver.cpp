#include "net/line_receiver.h"

#include "net/messages.h"

namespace crewmap::net {

bool IsBlankPiece(std::string_view piece) {
  return piece.find_first_not_of(' ') == std::string_view::npos;
}

std::vector<std::string> LineReceiver::Feed(std::string_view bytes) {
  std::vector<std::string> lines;
  pending_.append(bytes);
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = pending_.find(kLineEnd, start);
    if (end == std::string::npos) break;
    const std::string_view piece(pending_.data() + start, end - start);
    if (discarding_) {
      discarding_ = false;  // the over-long line ends here
    } else if (piece.size() <= kMaxLine && !IsBlankPiece(piece)) {
      lines.emplace_back(piece);
    }
    start = end + kLineEnd.size();
  }
  pending_.erase(0, start);
  if (discarding_ || pending_.size() > kMaxLine) {
    // Keep a final CR only: it may be the first half of the CR LF that ends
    // the over-long line.
    discarding_ = true;
    const bool endsInCr = !pending_.empty() && pending_.back() == '\r';
    pending_.clear();
    if (endsInCr) pending_.push_back('\r');
  }
  return lines;
}

void LineReceiver::Reset() {
  pending_.clear();
  discarding_ = false;
}

}  // namespace crewmap::net
