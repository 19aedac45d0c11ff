#include "net/line_receiver.h"

namespace crewmap::net {

bool IsBlankPiece(std::string_view piece) {
  return piece.find_first_not_of(' ') == std::string_view::npos;
}

std::vector<std::string> LineReceiver::Feed(std::string_view bytes) {
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (discarding_) {
      // Skip up to and including the CR LF that ends the over-long line.
      for (; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (afterCr_ && c == '\n') {
          ++lineEnds_;
          discarding_ = false;
          afterCr_ = false;
          ++i;
          break;
        }
        afterCr_ = c == '\r';
      }
      continue;
    }
    // Only the new bytes are searched; a CR kept at the end of the rest may
    // meet its LF as the first new byte.
    std::size_t lf = bytes.find('\n', i);
    while (lf != std::string_view::npos) {
      const bool crBefore = lf > i ? bytes[lf - 1] == '\r' : (!pending_.empty() && pending_.back() == '\r');
      if (crBefore) break;
      lf = bytes.find('\n', lf + 1);
    }
    const std::size_t take = (lf == std::string_view::npos ? bytes.size() : lf + 1) - i;
    pending_.append(bytes.data() + i, take);
    i += take;
    if (lf != std::string_view::npos) {
      ++lineEnds_;
      const std::size_t length = pending_.size() - 2;  // without CR LF
      if (length <= maxLine_ && !IsBlankPiece(std::string_view(pending_).substr(0, length)))
        lines.emplace_back(pending_, 0, length);
      pending_.clear();
      continue;
    }
    // No line end in the rest of this arrival. A final CR does not count
    // against the bound: it may be the first half of the CR LF.
    const bool endsInCr = !pending_.empty() && pending_.back() == '\r';
    if (pending_.size() - (endsInCr ? 1 : 0) > maxLine_) {
      discarding_ = true;
      afterCr_ = endsInCr;
      pending_.clear();
    }
  }
  return lines;
}

void LineReceiver::Reset() {
  pending_.clear();
  discarding_ = false;
  afterCr_ = false;
}

}  // namespace crewmap::net
