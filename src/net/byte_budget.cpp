#include "net/byte_budget.h"

#include <algorithm>
#include <limits>

namespace crewmap::net {

void ByteBudget::Refill(std::int64_t nowMs) {
  if (lastMs_ >= 0 && nowMs > lastMs_) {
    const std::int64_t earnedMilli = (nowMs - lastMs_) * rate_.perSecond + carryMilli_;
    tokens_ = std::min(rate_.burst, tokens_ + earnedMilli / 1000);
    carryMilli_ = tokens_ == rate_.burst ? 0 : earnedMilli % 1000;
  }
  if (lastMs_ < 0 || nowMs > lastMs_) lastMs_ = nowMs;
}

std::int64_t ByteBudget::Available(std::int64_t nowMs) {
  if (!Limited()) return std::numeric_limits<std::int64_t>::max() / 2;
  Refill(nowMs);
  return std::max<std::int64_t>(tokens_, 0);
}

std::int64_t ByteBudget::MsUntil(std::int64_t bytes, std::int64_t nowMs) {
  if (!Limited()) return 0;
  Refill(nowMs);
  const std::int64_t missing = std::min(bytes, rate_.burst) - tokens_;
  if (missing <= 0) return 0;
  return (missing * 1000 - carryMilli_ + rate_.perSecond - 1) / rate_.perSecond;
}

void ByteBudget::Reset() {
  tokens_ = rate_.burst;
  lastMs_ = -1;
  carryMilli_ = 0;
}

}  // namespace crewmap::net
