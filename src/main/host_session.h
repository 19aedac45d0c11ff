#pragma once
// The host's handling of one received line, apart from the sockets: what is
// stored in the sender's slot and what is relayed to the members.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/slots.h"

namespace crewmap::main {

// Stores the report `piece` (code page 932 bytes, without CR LF) received on
// socket n at `nowMs` (steady clock) in Slots(n), a non-empty position with
// that stamp, and returns the relay line to send, the piece's bytes
// untouched behind the two-digit slot. A line without meaning (no TAB)
// changes nothing and gives no relay.
std::optional<std::string> StoreHostReport(net::SlotTable& Slots, int n, std::string_view piece,
                                           std::int64_t nowMs);

}  // namespace crewmap::main
