#include "net/relay_budget.h"

#include <algorithm>

namespace crewmap::net {

bool RelayBudget::Take(std::int64_t nowMs) {
  const std::int64_t full = std::int64_t{rate_.burst} * 1000;
  if (lastMs_ >= 0 && nowMs > lastMs_)
    tokensMilli_ = std::min(full, tokensMilli_ + (nowMs - lastMs_) * rate_.perSecond);
  if (lastMs_ < 0 || nowMs > lastMs_) lastMs_ = nowMs;
  if (tokensMilli_ < 1000) return false;
  tokensMilli_ -= 1000;
  return true;
}

void RelayBudget::Reset() {
  tokensMilli_ = std::int64_t{rate_.burst} * 1000;
  lastMs_ = -1;
}

}  // namespace crewmap::net
