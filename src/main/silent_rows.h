#pragma once
// Rows a member no longer hears of. The host announces every departure, but
// a member misses those while it is not connected (its own connection
// lost, or the host restarted and knows nothing of the old group): rows
// from then would stay on the list, the map and the overlay's ring for good.
// Plain rules over the slot table, tested without a window.
#include <cstdint>
#include <optional>

#include "net/slots.h"

namespace crewmap::main {

// How long a row that nobody vouches for may stay unheard. A member still
// there is heard again soon after its host is back: its loss shows within
// 30 s, it retries every 30 s at most, and then relays come every second.
// Three minutes leave room for that and for a host that is restarted by
// hand, while a ghost goes long before the evening is over.
inline constexpr std::int64_t kSilentRowMs = 180000;

// Empties the rows of slots 0..9 last heard (relayed; a slot never stamped
// counts as just heard) more than `silenceMs` before `nowMs`, except those
// heard at or after `vouchedSinceMs`: on the present connection the host
// tells when a member leaves, and a member whose capture fails is never
// relayed yet still there. Nothing for `vouchedSinceMs` while not connected.
// Returns how many rows went.
int DropSilentRows(net::SlotTable& Slots, std::optional<std::int64_t> vouchedSinceMs, std::int64_t nowMs,
                   std::int64_t silenceMs);

}  // namespace crewmap::main
