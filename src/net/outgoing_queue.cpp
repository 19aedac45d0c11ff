#include "net/outgoing_queue.h"

namespace crewmap::net {

std::int64_t OutgoingQueue::Observe(std::size_t unsent, std::int64_t nowMs) {
  if (unsent < bounds_.hardBytes) {
    overSinceMs_ = -1;
    return -1;
  }
  if (overSinceMs_ < 0) overSinceMs_ = nowMs;
  const std::int64_t left = overSinceMs_ + bounds_.graceMs - nowMs;
  return left > 0 ? left : 0;
}

}  // namespace crewmap::net
