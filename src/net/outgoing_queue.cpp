#include "net/outgoing_queue.h"

namespace crewmap::net {

std::ptrdiff_t OutgoingQueue::LastAbout(int slot) const {
  for (std::size_t i = lines_.size(); i-- > 0;)
    if (lines_[i].slot == slot) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

void OutgoingQueue::Erase(std::size_t at) {
  bytes_ -= lines_[at].line.size();
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at));
}

void OutgoingQueue::Push(Traffic kind, int slot, std::string line) {
  if (kind == Traffic::Position) {
    // The sender's older unsent position goes. The new one is added at the
    // end, after any control line queued meanwhile, so that it never
    // overtakes a leave notice about its own slot.
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (lines_[i].kind != Traffic::Position || lines_[i].slot != slot) continue;
      Erase(i);
      // Leave notices on both sides of it now follow one another: one says
      // all the other says.
      std::ptrdiff_t before = -1, after = -1;
      for (std::size_t j = i; j-- > 0;)
        if (lines_[j].slot == slot) { before = static_cast<std::ptrdiff_t>(j); break; }
      for (std::size_t j = i; j < lines_.size(); ++j)
        if (lines_[j].slot == slot) { after = static_cast<std::ptrdiff_t>(j); break; }
      if (before >= 0 && after >= 0 && lines_[static_cast<std::size_t>(before)].kind == Traffic::Leave &&
          lines_[static_cast<std::size_t>(after)].kind == Traffic::Leave)
        Erase(static_cast<std::size_t>(after));
      break;
    }
  } else if (kind == Traffic::Leave && slot >= 0) {
    const std::ptrdiff_t last = LastAbout(slot);
    if (last >= 0 && lines_[static_cast<std::size_t>(last)].kind == Traffic::Leave) return;  // folded
  }
  bytes_ += line.size();
  lines_.push_back(Entry{kind, slot, std::move(line)});
}

std::string OutgoingQueue::Pop() {
  if (lines_.empty()) return {};
  std::string line = std::move(lines_.front().line);
  bytes_ -= line.size();
  lines_.pop_front();
  return line;
}

std::int64_t OutgoingQueue::Observe(bool waiting, bool progressed, std::int64_t nowMs) {
  if (!waiting) {
    waitingSinceMs_ = -1;
    return -1;
  }
  if (waitingSinceMs_ < 0 || progressed) waitingSinceMs_ = nowMs;
  const std::int64_t left = waitingSinceMs_ + bounds_.graceMs - nowMs;
  return left > 0 ? left : 0;
}

void OutgoingQueue::Reset() {
  lines_.clear();
  bytes_ = 0;
  waitingSinceMs_ = -1;
}

}  // namespace crewmap::net
